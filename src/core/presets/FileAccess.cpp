#include "FileAccess.h"

#include "link/DebugLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace q48::FileAccess {

QString displayPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

namespace {
bool fail(QString *error, const QString &text)
{
    qCWarning(lcFiles).noquote() << text;
    if (error)
        *error = text;
    return false;
}
} // namespace

bool writeWholeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // Unbuffered, so that a short write shows in write() itself: a buffered flush that gets only
    // part of its block out reports no reason at all ("Unknown error").
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(
            error, QStringLiteral("Could not create \"%1\": %2.").arg(displayPath(path), file.errorString()));
    // A full disk takes part of a write without complaint; writing the rest then fails with
    // the reason.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    // commit() does not report a failed final flush (a full disk then leaves a cut file in
    // place of the old one), so flush and check the size first.
    if (written != bytes.size() || !file.flush() || file.size() != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error, QStringLiteral("Could not write \"%1\": %2.").arg(displayPath(path), reason));
    }
    if (!file.commit())
        return fail(error,
                    QStringLiteral("Could not write \"%1\": %2.").arg(displayPath(path), file.errorString()));
    return true;
}

bool readWholeFile(const QString &path, qint64 expectedSize, QByteArray *out, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists())
        return fail(error, QStringLiteral("The file \"%1\" does not exist.").arg(displayPath(path)));
    if (info.isDir())
        return fail(error, QStringLiteral("\"%1\" is a folder, not a file.").arg(displayPath(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error,
                    QStringLiteral("Could not open \"%1\": %2.").arg(displayPath(path), file.errorString()));
    // One byte more than expected shows a file that grew since its size was checked.
    const QByteArray bytes = file.read(expectedSize + 1);
    if (bytes.size() != expectedSize) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("it changed while it was read");
        return fail(error, QStringLiteral("Could not read \"%1\": %2.").arg(displayPath(path), reason));
    }
    *out = bytes;
    return true;
}

} // namespace q48::FileAccess
