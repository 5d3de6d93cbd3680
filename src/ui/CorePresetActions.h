#pragma once

#include "PresetActions.h"

namespace q48 {

class ServiceCore;

// The preset manager's actions carried out by the core.
class CorePresetActions : public PresetActions {
public:
    explicit CorePresetActions(ServiceCore &core) : m_core(core) {}

    bool isConnected() const override;
    void requestPresetList(int kind) override;
    void sendPresetName(int kind, int slot, int channel) override;
    void sendDeletePreset(int kind, int slot) override;
    void requestPreset(int kind, int slot) override;
    bool readPresetFile(int kind) override;
    void sendPresetData(int kind, int channel) override;
    bool memoryExport() override;
    bool memoryImport() override;

private:
    ServiceCore &m_core;
};

} // namespace q48
