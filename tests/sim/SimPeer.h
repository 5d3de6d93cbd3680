#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QTcpSocket>

#include <memory>

namespace q48::test {

// The tool's end of a link to q48-sim, reduced to bytes: a loopback TCP socket or the slave side
// of the simulator's pseudo-terminal. Every read is bounded by a deadline.
class SimPeer {
public:
    static std::unique_ptr<SimPeer> tcp(quint16 port);
    static std::unique_ptr<SimPeer> serial(const QString &path);
    ~SimPeer();

    bool isOpen() const;
    void send(const QByteArray &bytes);

    // Next frame of `size` bytes, skipping bytes before its signature (counted in skipped());
    // empty when it does not arrive in time.
    QByteArray readFrame(int size, int timeoutMs = 5000);
    // Exactly n bytes as they come, or fewer on timeout.
    QByteArray readBytes(int n, int timeoutMs = 5000);
    // Whatever arrives within ms.
    QByteArray collect(int ms);
    // Number of separate arrivals seen while reading the last readBytes/readFrame.
    int arrivals() const { return arrivals_; }
    int skipped() const { return skipped_; }
    // True when the far end closed the connection within ms (TCP only).
    bool waitClosed(int ms);

private:
    SimPeer() = default;
    bool fill(const QDeadlineTimer &deadline);

    std::unique_ptr<QTcpSocket> socket_;
    int fd_ = -1;
    QByteArray buffer_;
    int arrivals_ = 0;
    int skipped_ = 0;
};

} // namespace q48::test
