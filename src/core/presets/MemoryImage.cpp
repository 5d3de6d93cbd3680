#include "MemoryImage.h"

#include <cstring>

namespace q48 {

static_assert(MemoryImage::areas.back().offset + MemoryImage::areas.back().frameSize == MemoryImage::kSize);

MemoryImage::MemoryImage() : m_bytes(kSize, '\0') {}

bool MemoryImage::storeExportPacket(int subCode, int packet, const QByteArray &frame)
{
    for (const Area &area : areas) {
        if (area.subCode == subCode && packet >= area.firstPacket && packet <= area.lastPacket &&
            frame.size() == area.frameSize) {
            const int at = area.offset + (packet - area.firstPacket) * area.frameSize;
            std::memcpy(m_bytes.data() + at, frame.constData(), size_t(area.frameSize));
            return true;
        }
    }
    return false;
}

const MemoryImage::Area *MemoryImage::areaOfPacket(int packet)
{
    for (const Area &area : areas)
        if (packet >= area.firstPacket && packet <= area.lastPacket)
            return &area;
    return nullptr;
}

int MemoryImage::packetOffset(int packet)
{
    const Area *area = areaOfPacket(packet);
    return area ? area->offset + (packet - area->firstPacket) * area->frameSize : -1;
}

QByteArray MemoryImage::packetFrame(int packet) const
{
    const Area *area = areaOfPacket(packet);
    if (!area)
        return {};
    return m_bytes.mid(packetOffset(packet), area->frameSize);
}

bool MemoryImage::setBytes(const QByteArray &bytes)
{
    if (bytes.size() != kSize)
        return false;
    m_bytes = bytes;
    return true;
}

} // namespace q48
