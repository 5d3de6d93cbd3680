#pragma once

#include "firmware/FirmwareCatalogue.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QString>

#include <functional>

namespace q48 {

class Dispatcher;
class FrameSink;
class ImageLoader;
class ImageStore;
class LinkCore;
class Notifier;
class UserPrompts;

// The link side of firmware programming: the pre-flight check, the frames sent to the device
// and the answers to its ready replies and packet requests. The device paces everything; this
// object only answers. The window side of a run is FirmwareRun.
class FirmwareProgrammer {
public:
    using DiscardInput = std::function<void()>;

    FirmwareProgrammer(FrameSink &sink, Notifier &notifier, UserPrompts &prompts, ImageLoader &loader,
                       DiscardInput discardInput = {});
    // Sends through the link, notifies its open windows and discards its input.
    FirmwareProgrammer(LinkCore &core, UserPrompts &prompts, ImageLoader &loader);

    // Image being programmed, 0..3; survives the firmware window.
    int dindex() const { return m_dindex; }
    void setDindex(int index) { m_dindex = index; }

    // The pre-flight check of the Program button. Waits for the image check, then returns
    // whether a run may start; when it may not, the user has been told why and nothing changed.
    bool btnTotalClick();

    // True while the link is up; otherwise tells the user that programming stopped before
    // image i, so a link lost during a run (the device dropping it while it restarts) is not
    // left as a silent stall.
    bool ensureLinkFor(int i);

    void sendPrepareFrame();
    void sendStartFrame(int i);
    // The packet frame, or FW_END_BYTE alone when the image has no packet n.
    void sendImagePacket(int i, int n);

    void handleFirmwareReady(const QByteArray &frame);
    void handleFirmwareRequest(const QByteArray &frame);
    // Routes 240/250 and 241/251 here.
    void registerHandlers(Dispatcher &dispatcher);

    // Drops what the device sent but the tool has not handled; used while it restarts.
    void discardInput();

    // 0 for an image that was not loaded.
    int packNum(int i) const;
    const ImageStore &store() const;
    bool isLinkConnected() const;

    // How long the pre-flight waits for an image check still running.
    void setCheckTimeout(int milliseconds) { m_checkTimeoutMs = milliseconds; }

    static QByteArray prepareFrame();
    static QByteArray startFrame(int i, int packetCount);
    // `data` holds the packet's 1024 bytes.
    static QByteArray packetFrame(int i, int n, QByteArrayView data);

private:
    FrameSink &m_sink;
    Notifier &m_notifier;
    UserPrompts &m_prompts;
    ImageLoader &m_loader;
    DiscardInput m_discardInput;
    int m_dindex = 0;
    int m_checkTimeoutMs = 30000;
    // Pending events run after a packet at most this often; a serial packet takes longer anyway.
    static constexpr int kPumpIntervalMs = 4;
    QElapsedTimer m_lastPump;
};

} // namespace q48
