#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>

namespace q48 {

// Messages and codes the core sends to the open feature windows.
inline constexpr int WM_USER = 0x0400;
inline constexpr int WM_LINK_NOTIFY = WM_USER + 399;     // 1423
inline constexpr int WM_FIRMWARE_RESULT = WM_USER + 400; // 1424

enum LinkEvent : int {
    LN_PRESET_LISTS_READ = 405,
    LN_EXPORT_PACKET = 406,
    LN_TRANSFER_STATE = 407,
    LN_PRESET_WRITTEN = 408,
    LN_PRESET_READ = 409,
    LN_PRESET_FILE_REJECTED = 410,
    LN_IMPORT_PACKET = 411,
    LN_FIRMWARE_PROGRESS = 412, // plus the extra byte of the device's request
};

enum FirmwareResult : int {
    FW_RESULT_FAILED = 0,
    FW_RESULT_DONE = 1,
    FW_RESULT_NOT_READY = 2,
};

inline const QString kFirmwareWindowClass = QStringLiteral("TFirmwareWindow");
inline const QString kPresetWindowClass = QStringLiteral("TPrsetSaveLoadForm");

// A window that takes notifications while it is open.
class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    virtual long handleNotify(int message, qintptr wParam, qintptr lParam) = 0;
};

// The open windows by class name. Delivery is synchronous; a notification for a class
// with no open window is lost, as the callers expect.
class WindowRegistry {
public:
    void registerWindow(const QString &className, NotifyTarget *target);
    void unregisterWindow(NotifyTarget *target);
    bool isOpen(const QString &className) const;
    long notifyWindow(const QString &className, int message, qintptr wParam, qintptr lParam);

private:
    QHash<QString, NotifyTarget *> m_windows;
};

// Keeps a window registered for exactly as long as it lives.
class WindowRegistration {
public:
    WindowRegistration(WindowRegistry &registry, const QString &className, NotifyTarget *target);
    ~WindowRegistration();
    WindowRegistration(const WindowRegistration &) = delete;
    WindowRegistration &operator=(const WindowRegistration &) = delete;

private:
    WindowRegistry &m_registry;
    NotifyTarget *m_target;
};

// The fixed notifications of the feature handlers.
class Notifier {
public:
    explicit Notifier(WindowRegistry &registry) : m_registry(registry) {}

    WindowRegistry &registry() { return m_registry; }

    void notifyFirmwareResult(int image, int result);
    void notifyFirmwareProgress(int packet, int extra);
    void notifyPresetListsRead();
    void notifyExportPacket(int packet);
    void notifyTransferState(int state);
    void notifyPresetWritten(int kind);
    void notifyPresetRead();
    void notifyImportPacket(int packet);
    void notifyPresetFileRejected();

private:
    WindowRegistry &m_registry;
};

} // namespace q48
