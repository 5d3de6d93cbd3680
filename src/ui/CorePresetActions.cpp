#include "CorePresetActions.h"

#include "ServiceCore.h"

namespace q48 {

bool CorePresetActions::isConnected() const
{
    return m_core.link.isLinkConnected();
}

void CorePresetActions::requestPresetList(int kind)
{
    m_core.presets.requestPresetList(kind);
}

void CorePresetActions::sendPresetName(int kind, int slot, int channel)
{
    m_core.presets.sendPresetName(kind, slot, channel);
}

void CorePresetActions::sendDeletePreset(int kind, int slot)
{
    m_core.presets.sendDeletePreset(kind, slot);
}

void CorePresetActions::requestPreset(int kind, int slot)
{
    m_core.presets.requestPreset(kind, slot);
}

bool CorePresetActions::readPresetFile(int kind)
{
    return m_core.presetFiles.readPresetFile(kind).ok();
}

void CorePresetActions::sendPresetData(int kind, int channel)
{
    m_core.presets.sendPresetData(kind, channel);
}

bool CorePresetActions::memoryExport()
{
    return m_core.memory.memExptBtnClick();
}

bool CorePresetActions::memoryImport()
{
    return m_core.memory.memImptBtnClick();
}

} // namespace q48
