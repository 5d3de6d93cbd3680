#pragma once

// The floor the tool is measured against: a stop-and-wait client on plain blocking POSIX
// descriptors that does nothing but answer the device. No event loop, no dispatch, no windows.

#include "link/CommandCodes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace q48::bench {

class FloorClient {
public:
    FloorClient() = default;
    FloorClient(const FloorClient &) = delete;
    FloorClient &operator=(const FloorClient &) = delete;
    ~FloorClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool connectTcp(std::uint16_t port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
            return false;
        int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(m_fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    }

    // The simulator's pty, raw 8N1; every write is followed by the serial link's 10 ms pause.
    bool openSerial(const std::string &path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (m_fd < 0)
            return false;
        termios tio{};
        if (::tcgetattr(m_fd, &tio) != 0)
            return false;
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B19200);
        m_writePauseMs = 10;
        return ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }

    // Programs the four images of `packets` packets each; false on a refusal, a failure
    // verdict or 30 s without a reply.
    bool programFirmware(int packets)
    {
        std::vector<std::uint8_t> frame;
        std::vector<std::uint8_t> data(std::size_t(packets) * kFirmwarePacketData);
        for (std::size_t k = 0; k < data.size(); ++k)
            data[k] = std::uint8_t((k * 31) & 0x7F);
        if (!send(header(CMD_FW_PREPARE, 0, 11)))
            return false;
        for (int image = 0; image < 4; ++image) {
            const bool main = image == 0;
            std::vector<std::uint8_t> start = header(main ? CMD_FW_BEGIN_MAIN : CMD_FW_BEGIN, image, 15);
            start[10] = std::uint8_t(packets >> 8);
            start[11] = std::uint8_t(packets);
            start[12] = start[13] = 0x01;
            if (!send(start))
                return false;
            std::vector<std::uint8_t> packet =
                header(main ? CMD_FW_DATA_MAIN : CMD_FW_DATA, image, kFirmwarePacketFrameSize);
            for (;;) {
                if (!readFrame(frame, 30000) || frame.size() < 15)
                    return false;
                const int command = frame[kOffsetCommand];
                const int n = frame[10] * 256 + frame[11];
                if (frame[12] != 0)
                    return false;
                if (command == CMD_FW_BEGIN || command == CMD_FW_BEGIN_MAIN) {
                    if (!sendPacket(packet, data, 0))
                        return false;
                } else if (command == CMD_FW_DATA || command == CMD_FW_DATA_MAIN) {
                    if (n == packets)
                        break;
                    if (!sendPacket(packet, data, n))
                        return false;
                }
            }
        }
        return true;
    }

    // Asks for the whole memory and keeps the 30 frames; false when they do not all come.
    bool exportMemory(std::vector<std::vector<std::uint8_t>> &packets)
    {
        packets.assign(kMemoryPacketCount, {});
        if (!send(header(CMD_MEMORY_EXPORT, 0, 11)))
            return false;
        std::vector<std::uint8_t> frame;
        for (;;) {
            if (!readFrame(frame, 30000))
                return false;
            if (frame[kOffsetCommand] != CMD_MEMORY_EXPORT)
                continue;
            const int p = frame[10];
            if (p >= 1 && p <= kMemoryPacketCount)
                packets[p - 1] = frame;
            if (p == kMemoryPacketCount)
                break;
        }
        for (const auto &p : packets)
            if (p.empty())
                return false;
        return true;
    }

    // Sends the 30 frames back as import packets, each after the previous one's acknowledgement.
    bool importMemory(const std::vector<std::vector<std::uint8_t>> &packets)
    {
        std::vector<std::uint8_t> frame;
        for (int p = 1; p <= kMemoryPacketCount; ++p) {
            std::vector<std::uint8_t> out = packets[p - 1];
            out[kOffsetCommand] = CMD_MEMORY_IMPORT;
            if (!send(out))
                return false;
            do {
                if (!readFrame(frame, 30000))
                    return false;
            } while (frame[kOffsetCommand] != CMD_MEMORY_IMPORT_ACK || frame[10] != p);
        }
        return true;
    }

    long long bytesReceived() const { return m_bytesReceived; }
    long long writes() const { return m_writes; }

private:
    static std::vector<std::uint8_t> header(int command, int subCode, int size)
    {
        std::vector<std::uint8_t> f(std::size_t(size), 0);
        f[0] = kSignature[0];
        f[1] = kSignature[1];
        f[2] = kSignature[2];
        f[3] = std::uint8_t(size);
        f[5] = 0x01;
        f[7] = 0x01;
        f[kOffsetCommand] = std::uint8_t(command);
        f[kOffsetSubCode] = std::uint8_t(subCode);
        f[std::size_t(size) - 1] = kEndMark;
        return f;
    }

    bool sendPacket(std::vector<std::uint8_t> &packet, const std::vector<std::uint8_t> &image, int n)
    {
        packet[10] = std::uint8_t(n >> 8);
        packet[11] = std::uint8_t(n);
        std::memcpy(packet.data() + 12, image.data() + std::size_t(n) * kFirmwarePacketData,
                    kFirmwarePacketData);
        return send(packet);
    }

    bool send(const std::vector<std::uint8_t> &bytes)
    {
        std::size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + at, bytes.size() - at);
            if (n <= 0)
                return false;
            at += std::size_t(n);
        }
        ++m_writes;
        if (m_writePauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_writePauseMs));
        return true;
    }

    // Size of the frame at the buffer's start, 0 while unknown.
    std::size_t frameSize() const
    {
        if (m_buffer.size() < 10)
            return 0;
        const int command = m_buffer[kOffsetCommand];
        const int sub = m_buffer[kOffsetSubCode];
        if (command == CMD_MEMORY_EXPORT && sub >= 1 && sub <= 5)
            return std::size_t(kMemoryPacketSize[sub]);
        return m_buffer[kOffsetLength];
    }

    bool readFrame(std::vector<std::uint8_t> &frame, int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            // Skip to the next signature; the device sends nothing else outside a reboot.
            std::size_t skip = 0;
            while (skip < m_buffer.size() && m_buffer[skip] != kSignature[0])
                ++skip;
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(skip));
            const std::size_t size = frameSize();
            if (size >= std::size_t(kMinFrameSize) && m_buffer.size() >= size) {
                frame.assign(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(size));
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(size));
                return true;
            }
            if (m_buffer.size() >= 10 && size < std::size_t(kMinFrameSize)) {
                m_buffer.erase(m_buffer.begin());
                continue;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0)
                return false;
            std::uint8_t chunk[8192];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            m_bytesReceived += n;
            m_buffer.insert(m_buffer.end(), chunk, chunk + n);
        }
    }

    int m_fd = -1;
    int m_writePauseMs = 0;
    std::vector<std::uint8_t> m_buffer;
    long long m_bytesReceived = 0;
    long long m_writes = 0;
};

} // namespace q48::bench
