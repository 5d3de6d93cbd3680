#pragma once

#include "firmware/FirmwareCatalogue.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>

namespace q48 {

// The four firmware images as read from lib and laid out in whole 1024-byte packets.
class ImageStore {
public:
    // File bytes except the last two.
    std::array<QByteArray, kImageCount> imageRaw;
    // kImageBufferSize bytes once the image is loaded: the image, then 0xFF up to the end of
    // its last packet, then zeros. Empty for an image that was never loaded.
    std::array<QByteArray, kImageCount> imageBuf;
    std::array<int, kImageCount> packNum{};
    std::array<bool, kImageCount> imageLoaded{};
    // Why the check stopped, for the user; empty when all four loaded.
    QString failure;

    // Loads images 0..3 in order and stops at the first that fails; later flags keep their
    // value. `stop` ends the run early (false) when set by another thread.
    bool loadAllImages(const QString &libDir, const std::atomic<bool> *stop = nullptr);
    // False for a missing or unreadable file, a file shorter than the two trailing bytes, or
    // one too large for the buffer; the image is then left as it was.
    bool loadImage(const QString &libDir, int i);
    void packImage(int i);

    // The 1024 bytes of packet n of image i; empty when n is not below packNum[i].
    QByteArray packet(int i, int n) const;

    static QString imagePath(const QString &libDir, int i);
};

} // namespace q48
