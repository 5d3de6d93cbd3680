#pragma once

// Numeric facts of the mixer protocol. Plain constants only: the simulator includes this
// header too, and must share nothing with the core but numbers.

#include <cstdint>

namespace q48 {

inline constexpr std::uint8_t kSignature[3] = {0x01, 0x20, 0x03};
inline constexpr std::uint8_t kEndMark = 0x40;
inline constexpr int kDeviceNumber = 1;

inline constexpr int kOffsetLength = 3;
inline constexpr int kOffsetMarker = 4;
inline constexpr int kOffsetDeviceNumber = 6;
inline constexpr int kOffsetCommand = 8;
inline constexpr int kOffsetSubCode = 9;
inline constexpr int kOffsetPayload = 10;

inline constexpr int kMinFrameSize = 11;
inline constexpr int kMaxFrameSize = 4012;
inline constexpr int kMaxShortFrameSize = 255;

enum Command : std::uint8_t {
    CMD_SAVE_PRESET_NAME = 22,
    CMD_DELETE_PRESET = 23,
    CMD_PRESET_LIST = 24,
    CMD_WRITE_PRESET = 35,
    CMD_MEMORY_EXPORT = 47,
    CMD_MEMORY_IMPORT_ACK = 48,
    CMD_MEMORY_IMPORT = 49,
    CMD_READ_PRESET = 50,
    CMD_PRESET_WRITTEN = 51,
    CMD_FW_BEGIN = 0xF0,
    CMD_FW_DATA = 0xF1,
    CMD_DSP_READ = 0xF2,
    CMD_FW_PREPARE = 0xF8,
    CMD_PROBE = 0xF9,
    CMD_FW_BEGIN_MAIN = 0xFA,
    CMD_FW_DATA_MAIN = 0xFB,
};

// Sent bare, not framed, in place of a firmware packet the image does not have.
inline constexpr std::uint8_t FW_END_BYTE = 0x04;

inline constexpr int kFirmwarePacketData = 1024;
inline constexpr int kFirmwarePacketFrameSize = 1040;
inline constexpr int kDspFrameSize = 269;
inline constexpr int kDspLastPacket = 321;

// Name list replies: 11 + 16 x slot count.
inline constexpr int kPresetListFrameSize[5] = {0, 779, 779, 1675, 395};
// Preset data frames by sub-code (1..4); the scene frame is one byte longer when utype is 1.
inline constexpr int kPresetFrameSize[5] = {0, 69, 44, 25, 3938};

// Memory export packets by block sub-code (1..5).
inline constexpr int kMemoryPacketSize[6] = {0, 2796, 3276, 2300, 4012, 4012};
inline constexpr int kMemoryPacketCount = 30;

// Discovery.
inline constexpr std::uint8_t kSearchDatagram[12] = {0x01, 0x02, 0x00, 0x0C, 0x00, 0x00,
                                                     0x00, 0x00, 0x00, 0x01, 0xFF, 0xFF};
inline constexpr int kDefaultSearchPort = 8000;
inline constexpr int kDefaultUdpPort = 8000;
inline constexpr int kDefaultTcpPort = 5000;
inline constexpr int kSerialBaud = 19200;

} // namespace q48
