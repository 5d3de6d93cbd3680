#pragma once

#include <QByteArray>

#include <array>

namespace q48 {

// The 30 memory export frames in packet order, whole and envelope included, in five areas:
// scene (packets 1..24), DSP Channel (25, 26), DFX (27, 28), GEQ (29), current scene (30).
class MemoryImage {
public:
    struct Area {
        const char *name;
        int subCode;
        int firstPacket;
        int lastPacket;
        int frameSize;
        int offset; // within the image
    };

    static constexpr int kPacketCount = 30;
    static constexpr int kSize = 113768;
    static constexpr std::array<Area, 5> areas = {{
        {"sceneArea", 4, 1, 24, 4012, 0},
        {"dspChannelArea", 1, 25, 26, 2796, 96288},
        {"dfxArea", 3, 27, 28, 2300, 96288 + 5592},
        {"geqArea", 2, 29, 29, 3276, 96288 + 5592 + 4600},
        {"currentSceneArea", 5, 30, 30, 4012, 96288 + 5592 + 4600 + 3276},
    }};

    MemoryImage();

    // Stores an export frame by the first area matching sub-code, packet number and the
    // frame's size; false (and nothing stored) when none matches.
    bool storeExportPacket(int subCode, int packet, const QByteArray &frame);

    // The stored frame of packet 1..30; empty for any other number.
    QByteArray packetFrame(int packet) const;

    // The area that holds a packet, or nullptr for a number outside 1..30.
    static const Area *areaOfPacket(int packet);
    // Where a packet's frame starts within the image, or -1.
    static int packetOffset(int packet);

    const QByteArray &bytes() const { return m_bytes; }
    // Takes a whole image; false (and nothing changed) unless it has exactly kSize bytes.
    bool setBytes(const QByteArray &bytes);

private:
    QByteArray m_bytes;
};

} // namespace q48
