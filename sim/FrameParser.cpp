#include "FrameParser.h"

#include "CommandCodes.h"

namespace q48::sim {

namespace {
constexpr int kHeadSize = kOffsetSubCode + 1;

int byteAt(const QByteArray &a, int i)
{
    return static_cast<unsigned char>(a.at(i));
}
} // namespace

FrameParser::FrameParser(int utype, Handlers handlers) : utype_(utype), handlers_(std::move(handlers)) {}

int FrameParser::expectedSize(const QByteArray &head, int utype)
{
    const int command = byteAt(head, kOffsetCommand);
    const int sub = byteAt(head, kOffsetSubCode);
    if (command == CMD_WRITE_PRESET && sub >= 1 && sub <= 4)
        return kPresetFrameSize[sub] + (sub == 4 ? utype : 0);
    if (command == CMD_MEMORY_IMPORT && sub >= 1 && sub <= 5)
        return kMemoryPacketSize[sub];
    if (command == CMD_FW_DATA || command == CMD_FW_DATA_MAIN)
        return kFirmwarePacketFrameSize;
    const int length = byteAt(head, kOffsetLength);
    return length >= kMinFrameSize ? length : -1;
}

void FrameParser::feed(const QByteArray &bytes)
{
    buffer_.append(bytes);
    process();
}

void FrameParser::dropStale()
{
    if (buffer_.isEmpty())
        return;
    ++malformed_;
    ++dropped_;
    buffer_.remove(0, 1);
    process();
}

void FrameParser::reset()
{
    buffer_.clear();
}

void FrameParser::process()
{
    // Consumed bytes are removed once at the end; a 4 KiB frame must not cost a memmove per byte.
    qsizetype pos = 0;
    const auto skip = [&](bool malformed) {
        ++pos;
        ++dropped_;
        if (malformed)
            ++malformed_;
    };
    while (pos < buffer_.size()) {
        const qsizetype avail = buffer_.size() - pos;
        const int first = byteAt(buffer_, int(pos));
        if (first != kSignature[0]) {
            if (first == FW_END_BYTE) {
                ++pos;
                if (handlers_.endByte)
                    handlers_.endByte();
            } else {
                skip(false);
            }
            continue;
        }
        if ((avail > 1 && byteAt(buffer_, int(pos + 1)) != kSignature[1]) ||
            (avail > 2 && byteAt(buffer_, int(pos + 2)) != kSignature[2])) {
            skip(false);
            continue;
        }
        if (avail < kHeadSize)
            break;
        const QByteArray head = buffer_.mid(pos, kHeadSize);
        const int size = expectedSize(head, utype_);
        if (size < 0) {
            skip(true);
            continue;
        }
        if (avail < size)
            break;
        if (byteAt(buffer_, int(pos + size - 1)) != kEndMark) {
            skip(true);
            continue;
        }
        const QByteArray frame = buffer_.mid(pos, size);
        pos += size;
        if (handlers_.frame)
            handlers_.frame(frame);
    }
    buffer_.remove(0, pos);
}

} // namespace q48::sim
