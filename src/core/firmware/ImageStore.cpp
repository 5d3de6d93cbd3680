#include "ImageStore.h"

#include "link/DebugLog.h"
#include "presets/FileAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace q48 {

QString ImageStore::imagePath(const QString &libDir, int i)
{
    return QDir(libDir).filePath(QString::fromLatin1(firmwareIds[i]));
}

bool ImageStore::loadAllImages(const QString &libDir, const std::atomic<bool> *stop)
{
    failure.clear();
    for (int i = 0; i < kImageCount; ++i) {
        if (stop && stop->load())
            return false;
        imageLoaded[i] = loadImage(libDir, i);
        if (!imageLoaded[i])
            return false;
    }
    return true;
}

bool ImageStore::loadImage(const QString &libDir, int i)
{
    if (i < 0 || i >= kImageCount)
        return false;
    const QString path = imagePath(libDir, i);
    const QString shown = FileAccess::displayPath(path);
    const auto refuse = [&](const QString &why) {
        failure = why;
        qCWarning(lcFiles).noquote() << why;
        return false;
    };

    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return refuse(QStringLiteral("The firmware file \"%1\" is missing.").arg(shown));
    const qint64 length = info.size();
    if (length < kImageTrailerSize)
        return refuse(
            QStringLiteral("The firmware file \"%1\" is too short: %2 bytes.").arg(shown).arg(length));
    if (length > kMaxImageFileSize)
        return refuse(QStringLiteral("The firmware file \"%1\" is too large: %2 bytes, at most %3.")
                          .arg(shown)
                          .arg(length)
                          .arg(kMaxImageFileSize));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(
            QStringLiteral("Could not open the firmware file \"%1\": %2.").arg(shown, file.errorString()));
    // The last two bytes of an image file are not part of the image.
    const QByteArray raw = file.read(length - kImageTrailerSize);
    if (raw.size() != length - kImageTrailerSize)
        return refuse(QStringLiteral("Could not read the firmware file \"%1\".").arg(shown));
    imageRaw[i] = raw;
    packImage(i);
    return true;
}

void ImageStore::packImage(int i)
{
    if (i < 0 || i >= kImageCount)
        return;
    if (imageBuf[i].size() != kImageBufferSize)
        imageBuf[i] = QByteArray(kImageBufferSize, '\0');
    const int n = int(std::min<qsizetype>(imageRaw[i].size(), kImageBufferSize));
    const int packets = (n + kImagePacketSize - 1) / kImagePacketSize;
    char *buf = imageBuf[i].data();
    std::memcpy(buf, imageRaw[i].constData(), size_t(n));
    std::memset(buf + n, 0xFF, size_t(packets * kImagePacketSize - n));
    packNum[i] = packets;
}

QByteArray ImageStore::packet(int i, int n) const
{
    if (i < 0 || i >= kImageCount || n < 0 || n >= packNum[i] || imageBuf[i].size() != kImageBufferSize)
        return {};
    return imageBuf[i].mid(qsizetype(n) * kImagePacketSize, kImagePacketSize);
}

} // namespace q48
