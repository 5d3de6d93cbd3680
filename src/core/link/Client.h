#pragma once

#include <QString>
#include <QtGlobal>

namespace q48 {

// One endpoint to the mixer, serial or TCP; the rest of the tool does not care which.
// Reception does not go through here: the owner of the port or socket feeds the assembler.
class Client {
public:
    virtual ~Client() = default;

    // Serial: the port name. TCP: "host:port", split at the first colon. Returns false
    // (and changes nothing) for a text it cannot use, e.g. a TCP target without a port.
    virtual bool setTarget(const QString &text) = 0;
    virtual QString target() const = 0;
    // Serial: opens synchronously. TCP: starts an asynchronous connect.
    virtual void open() = 0;
    virtual void close() = 0;
    // One whole frame per call; serial pauses 10 ms after writing. Returns the count
    // written, or -1.
    virtual qint32 write(const char *data, qint32 count) = 0;
    virtual qint32 read(char *data, qint32 count) = 0;
    virtual bool isConnected() const = 0;
    // Serial: always 0. TCP: bytes waiting.
    virtual qint32 available() const = 0;

    // Why the last open or write failed, in the words of the operating system; empty when
    // nothing failed.
    virtual QString errorString() const = 0;
};

} // namespace q48
