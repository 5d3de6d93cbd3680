#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QString>

namespace q48::sim {

// Appends one JSON line per received frame, flushed at once so a test can read it while we run.
class RecordLog {
public:
    bool open(const QString &path, QString *error);
    bool isOpen() const { return file_.isOpen(); }
    // command and subCode are -1 for what is not a frame (a search datagram).
    void append(const QString &link, const QByteArray &bytes, int command, int subCode);

private:
    QFile file_;
    QElapsedTimer clock_;
};

} // namespace q48::sim
