#include "WindowRegistry.h"

namespace q48 {

void WindowRegistry::registerWindow(const QString &className, NotifyTarget *target)
{
    m_windows.insert(className, target);
}

void WindowRegistry::unregisterWindow(NotifyTarget *target)
{
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (it.value() == target)
            it = m_windows.erase(it);
        else
            ++it;
    }
}

bool WindowRegistry::isOpen(const QString &className) const { return m_windows.contains(className); }

long WindowRegistry::notifyWindow(const QString &className, int message, qintptr wParam, qintptr lParam)
{
    NotifyTarget *target = m_windows.value(className, nullptr);
    return target ? target->handleNotify(message, wParam, lParam) : 0;
}

WindowRegistration::WindowRegistration(WindowRegistry &registry, const QString &className,
                                       NotifyTarget *target)
    : m_registry(registry), m_target(target)
{
    m_registry.registerWindow(className, target);
}

WindowRegistration::~WindowRegistration() { m_registry.unregisterWindow(m_target); }

void Notifier::notifyFirmwareResult(int image, int result)
{
    m_registry.notifyWindow(kFirmwareWindowClass, WM_FIRMWARE_RESULT, image, result);
}

void Notifier::notifyFirmwareProgress(int packet, int extra)
{
    m_registry.notifyWindow(kFirmwareWindowClass, WM_LINK_NOTIFY, packet, LN_FIRMWARE_PROGRESS + extra);
}

void Notifier::notifyPresetListsRead()
{
    m_registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, 0, LN_PRESET_LISTS_READ);
}

void Notifier::notifyExportPacket(int packet)
{
    m_registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, packet, LN_EXPORT_PACKET);
}

void Notifier::notifyTransferState(int state)
{
    m_registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, state, LN_TRANSFER_STATE);
}

void Notifier::notifyPresetWritten(int kind)
{
    m_registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, kind, LN_PRESET_WRITTEN);
}

void Notifier::notifyPresetRead() { m_registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, 0, LN_PRESET_READ); }

void Notifier::notifyImportPacket(int packet)
{
    m_registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, packet, LN_IMPORT_PACKET);
}

void Notifier::notifyPresetFileRejected()
{
    m_registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, 0, LN_PRESET_FILE_REJECTED);
}

} // namespace q48
