#pragma once

#include <QByteArray>
#include <QString>

namespace q48 {

// Whole-file access for the tool's own files. Writes are atomic: a failed or interrupted write
// leaves no half-written file and keeps the file it was replacing. The error texts name the
// file and the reason, ready for the user.
namespace FileAccess {

bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error);

// Reads exactly `expectedSize` bytes; fails if the file is missing, unreadable, or has a
// different size by the time it is read.
bool readWholeFile(const QString &path, qint64 expectedSize, QByteArray *out, QString *error);

QString displayPath(const QString &path);

} // namespace FileAccess
} // namespace q48
