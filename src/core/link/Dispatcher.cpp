#include "Dispatcher.h"

#include "CommandCodes.h"
#include "DebugLog.h"

namespace q48 {

quint8 Dispatcher::slotOf(quint8 command)
{
    switch (command) {
    case CMD_FW_BEGIN_MAIN:
        return CMD_FW_BEGIN;
    case CMD_FW_DATA_MAIN:
        return CMD_FW_DATA;
    default:
        return command;
    }
}

int Dispatcher::minimumFrameSize(quint8 command)
{
    switch (slotOf(command)) {
    case CMD_PRESET_LIST:
    case CMD_READ_PRESET:
    case CMD_PRESET_WRITTEN:
        return kOffsetSubCode + 1;
    case CMD_MEMORY_EXPORT:
    case CMD_MEMORY_IMPORT_ACK:
        return 11; // packet number in byte 10
    case CMD_FW_BEGIN:
        return 13; // status in byte 12
    case CMD_FW_DATA:
        return 14; // extra value in byte 13
    case CMD_DSP_READ:
        return 12; // packet number in bytes 10 and 11
    default:
        return 0;
    }
}

bool Dispatcher::isRouted(quint8 command)
{
    return minimumFrameSize(command) > 0;
}

bool Dispatcher::setHandler(quint8 command, Handler handler)
{
    if (!isRouted(command))
        return false;
    m_handlers[slotOf(command)] = std::move(handler);
    return true;
}

void Dispatcher::dispatchFrame(const QByteArray &frame) const
{
    if (frame.size() <= kOffsetCommand)
        return;
    const quint8 command = quint8(frame.at(kOffsetCommand));
    const int needed = minimumFrameSize(command);
    if (needed == 0)
        return;
    if (frame.size() < needed) {
        debugLogNumber(QStringLiteral("frame too short for its command, dropped"), command);
        return;
    }
    // A copy, so a handler may replace itself while it runs.
    const Handler handler = m_handlers[slotOf(command)];
    if (handler)
        handler(frame);
}

} // namespace q48
