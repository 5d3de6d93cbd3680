#include "firmware/ImageLoader.h"
#include "FakePrompts.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace q48;
using namespace q48::test;

namespace {

QByteArray pattern(qint64 size, int seed)
{
    QByteArray out(size, '\0');
    for (qint64 k = 0; k < size; ++k)
        out[k] = char((k * 7 + seed) & 0x7F); // never 0xFF, so padding stands out
    return out;
}

class ImageFiles : public ::testing::Test {
protected:
    QTemporaryDir lib;

    QByteArray writeImage(int i, qint64 size)
    {
        const QByteArray bytes = pattern(size, i);
        QFile f(ImageStore::imagePath(lib.path(), i));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return bytes;
    }
    void writeAll(qint64 size = 3000)
    {
        for (int i = 0; i < kImageCount; ++i)
            writeImage(i, size);
    }
};

struct SizeCase {
    qint64 fileSize;
    bool loaded;
    int packets;
};

class ImageSize : public ImageFiles, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ImageSize, LaysTheFileOutInWholePackets)
{
    const SizeCase c = GetParam();
    const QByteArray file = writeImage(0, c.fileSize);
    ImageStore store;
    EXPECT_EQ(store.loadImage(lib.path(), 0), c.loaded);
    EXPECT_EQ(store.packNum[0], c.packets);
    if (!c.loaded) {
        EXPECT_TRUE(store.imageBuf[0].isEmpty());
        EXPECT_FALSE(store.failure.isEmpty());
        return;
    }
    const qint64 n = c.fileSize - 2; // the last two bytes are not part of the image
    const QByteArray &buf = store.imageBuf[0];
    ASSERT_EQ(buf.size(), kImageBufferSize);
    EXPECT_EQ(store.imageRaw[0], file.left(n));
    EXPECT_EQ(buf.left(n), file.left(n));
    EXPECT_EQ(buf.mid(n, c.packets * 1024 - n), QByteArray(c.packets * 1024 - n, char(0xFF)));
    EXPECT_EQ(buf.mid(c.packets * 1024), QByteArray(kImageBufferSize - c.packets * 1024, '\0'));
    EXPECT_EQ(store.packet(0, c.packets - 1).size(), c.packets > 0 ? 1024 : 0);
    EXPECT_TRUE(store.packet(0, c.packets).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ImageSize,
                         ::testing::Values(SizeCase{0, false, 0}, SizeCase{1, false, 0}, SizeCase{2, true, 0},
                                           SizeCase{1026, true, 1}, SizeCase{1027, true, 2},
                                           SizeCase{2050, true, 2}, SizeCase{1048578, true, 1024},
                                           SizeCase{1048579, false, 0}));

TEST_F(ImageFiles, CheckStopsAtTheFirstMissingImage)
{
    writeImage(0, 3000);
    writeImage(1, 3000);
    writeImage(3, 3000);
    ImageStore store;
    EXPECT_FALSE(store.loadAllImages(lib.path()));
    EXPECT_EQ(store.imageLoaded, (std::array<bool, 4>{true, true, false, false}));
    EXPECT_EQ(store.packNum, (std::array<int, 4>{3, 3, 0, 0}));
    EXPECT_TRUE(store.failure.contains("DA0120001505"));
}

TEST_F(ImageFiles, LoaderHandsBackAllFourImages)
{
    writeAll();
    FakePrompts prompts;
    ImageLoader loader(&prompts);
    QSignalSpy finished(&loader, &ImageLoader::checkFinished);
    EXPECT_FALSE(loader.isCheckDone());
    loader.startImageCheck(lib.path());
    ASSERT_TRUE(loader.waitForCheck(10000));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(finished[0][0].toBool());
    EXPECT_EQ(loader.store().imageLoaded, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_EQ(loader.store().imageRaw[3], pattern(2998, 3));
    EXPECT_TRUE(prompts.asked.isEmpty());
}

TEST_F(ImageFiles, LoaderToldOnceWhenAnImageIsLostOrUnusable)
{
    for (qint64 badSize : {-1, 1, kMaxImageFileSize + 1}) { // -1: no file at all
        SCOPED_TRACE(badSize);
        QTemporaryDir fresh;
        lib.swap(fresh);
        writeAll();
        QFile::remove(ImageStore::imagePath(lib.path(), 1));
        if (badSize >= 0)
            writeImage(1, badSize);

        FakePrompts prompts;
        ImageLoader loader(&prompts);
        QSignalSpy finished(&loader, &ImageLoader::checkFinished);
        loader.startImageCheck(lib.path());
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_FALSE(finished[0][0].toBool());
        EXPECT_TRUE(loader.isCheckDone());
        EXPECT_EQ(loader.store().imageLoaded, (std::array<bool, 4>{true, false, false, false}));
        ASSERT_EQ(prompts.asked.size(), 1);
        EXPECT_EQ(prompts.asked[0].text, "One of the firmware has been lost~!");
        EXPECT_EQ(prompts.asked[0].title, "Firmware Detected waring!");
    }
}

TEST_F(ImageFiles, LoaderCanBeDestroyedWhileChecking)
{
    writeAll(kMaxImageFileSize);
    FakePrompts prompts;
    {
        ImageLoader loader(&prompts);
        loader.startImageCheck(lib.path());
        loader.startImageCheck(lib.path()); // once per run
    }
    ImageLoader idle;
    EXPECT_FALSE(idle.waitForCheck(10)); // never started
    EXPECT_TRUE(prompts.asked.isEmpty());
}

} // namespace
