#include "ByteLiterals.h"
#include "firmware/FirmwareRun.h"
#include "firmware/FirmwareProgrammer.h"
#include "firmware/ImageLoader.h"
#include "link/Dispatcher.h"

#include "FakePrompts.h"
#include "FirmwareRunSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace q48;
using namespace q48::test;

namespace {


// A 15-byte reply of the device: ready (0xF0/0xFA) or packet request / verdict (0xF1/0xFB).
QByteArray reply(int command, int image, int packet, int status, int extra = 0)
{
    return bytes({0x01, 0x20, 0x03, 0x0F, 0x00, 0x01, 0x00, 0x01, command, image, packet >> 8, packet & 0xFF,
                  status, extra, 0x40});
}

const QString kSuccess = QStringLiteral("Sucess to Program,Please Restart the Device~!");
const QString kFail = QStringLiteral("Fail to Program~!");

// A programmer over a recording sink and a lib folder of image files, with the firmware
// window's notifications going to `windows`.
class FirmwareFixture : public ::testing::Test {
protected:
    FakePrompts prompts;
    RecordingSink sink;
    WindowRegistry windows;
    Notifier notifier{windows};
    Dispatcher dispatcher;
    int discards = 0;
    std::unique_ptr<ImageLib> lib;
    std::unique_ptr<ImageLoader> loader;
    std::unique_ptr<FirmwareProgrammer> programmer;

    // The check is started but not waited for: the pre-flight must wait for it.
    void load(const QList<qint64> &sizes)
    {
        lib = std::make_unique<ImageLib>(sizes);
        loader = std::make_unique<ImageLoader>();
        loader->startImageCheck(lib->path());
        programmer =
            std::make_unique<FirmwareProgrammer>(sink, notifier, prompts, *loader, [this] { ++discards; });
        programmer->registerHandlers(dispatcher);
    }
    void device(const QByteArray &frame) { dispatcher.dispatchFrame(frame); }
    QByteArray packet(int image, int n) const
    {
        return FirmwareProgrammer::packetFrame(image, n,
                                               expectedImage(lib->files[image]).mid(n * 1024, 1024));
    }
    QByteArray start(int image) const
    {
        return FirmwareProgrammer::startFrame(image, programmer->packNum(image));
    }
};

// --- Frames -----------------------------------------------------------------------------------

TEST(FirmwareFrames, PrepareAndStartFrames)
{
    EXPECT_EQ(FirmwareProgrammer::prepareFrame(),
              bytes({0x01, 0x20, 0x03, 0x0B, 0x00, 0x01, 0x00, 0x01, 0xF8, 0x00, 0x40}));
    EXPECT_EQ(
        FirmwareProgrammer::startFrame(0, 0x0102),
        bytes({0x01, 0x20, 0x03, 0x0F, 0x00, 0x01, 0x00, 0x01, 0xFA, 0x00, 0x01, 0x02, 0x01, 0x01, 0x40}));
    EXPECT_EQ(FirmwareProgrammer::startFrame(3, 0), bytes({0x01, 0x20, 0x03, 0x0F, 0x00, 0x01, 0x00, 0x01,
                                                           0xF0, 0x03, 0x00, 0x00, 0x01, 0x01, 0x40}));
}

TEST(FirmwareFrames, PacketFrameCarriesOneKilobyteOfImage)
{
    QByteArray data(1024, '\0');
    for (int k = 0; k < 1024; ++k)
        data[k] = char(k * 3);
    for (int image : {0, 2}) {
        const QByteArray f = FirmwareProgrammer::packetFrame(image, 0x0123, data);
        ASSERT_EQ(f.size(), 1040);
        EXPECT_EQ(f.left(8), bytes({0x01, 0x20, 0x03, 0x10, 0x00, 0x01, 0x00, 0x01}));
        EXPECT_EQ(quint8(f[8]), image == 0 ? 0xFB : 0xF1);
        EXPECT_EQ(f.mid(9, 3), bytes({image, 0x01, 0x23}));
        EXPECT_EQ(f.mid(12, 1024), data);
        EXPECT_EQ(f.mid(1036), bytes({0x00, 0x00, 0x00, 0x40}));
    }
}

// --- Pre-flight gate --------------------------------------------------------------------------

struct GateCase {
    const char *name;
    QList<qint64> sizes;
    bool connected;
    bool allowed;
    const char *message; // empty: none
};

class FirmwareGate : public FirmwareFixture, public ::testing::WithParamInterface<GateCase> {};

TEST_P(FirmwareGate, RefusedRunChangesNothing)
{
    const GateCase &c = GetParam();
    load(c.sizes);
    sink.connected = c.connected;
    DisplayRecorder display;
    FirmwareRun run(*programmer, display);
    programmer->setDindex(2); // where a previous run stopped

    EXPECT_EQ(run.program(), c.allowed);
    EXPECT_EQ(prompts.messages(), c.message[0] ? QStringList{QString::fromLatin1(c.message)} : QStringList{});
    if (c.allowed) {
        EXPECT_EQ(sink.frames, QList<QByteArray>({FirmwareProgrammer::prepareFrame(), start(0)}));
        EXPECT_EQ(programmer->dindex(), 0);
        EXPECT_TRUE(run.isRunning());
    } else {
        EXPECT_TRUE(sink.frames.isEmpty());
        EXPECT_TRUE(display.log.isEmpty()) << display.log.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(programmer->dindex(), 2);
        EXPECT_FALSE(run.isRunning());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Firmware, FirmwareGate,
    ::testing::Values(GateCase{"AllPresent", {3000, 1026, 2000, 1500}, true, true, ""},
                      GateCase{"TwoByteFileIsNotMissing", {3000, 1026, 2, 1500}, true, true, ""},
                      GateCase{"FirstImageMissing",
                               {-1, 1026, 2000, 1500},
                               true,
                               false,
                               "Please check the firware of MB0126001505,We found the file has lost!"},
                      GateCase{"LaterImageMissing",
                               {3000, 1026, 2000, -1},
                               true,
                               false,
                               "Please check the firware of DB0120001505,We found the file has lost!"},
                      GateCase{"EarliestMissingIsNamed",
                               {3000, -1, 2000, 1500},
                               true,
                               false,
                               "Please check the firware of KB0122001505,We found the file has lost!"},
                      GateCase{"NotConnected",
                               {3000, 1026, 2000, 1500},
                               false,
                               false,
                               "Please connect the Remote Device first~!"},
                      GateCase{"MissingReportedBeforeConnection",
                               {-1, 1026, 2000, 1500},
                               false,
                               false,
                               "Please check the firware of MB0126001505,We found the file has lost!"}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Device replies ---------------------------------------------------------------------------

struct RequestCase {
    const char *name;
    QByteArray frame;
    int sentPacket; // -1: nothing sent
    QList<NotifyRecorder::Message> notified;
};

class FirmwareRequest : public FirmwareFixture, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(FirmwareRequest, AnswersExactlyAsTheTableSays)
{
    const RequestCase &c = GetParam();
    load({3000, 1026, 40 * 1024 + 2, 2});
    ASSERT_TRUE(loader->waitForCheck(10000));
    NotifyRecorder window;
    WindowRegistration registration(windows, kFirmwareWindowClass, &window);

    device(c.frame);
    if (c.sentPacket < 0)
        EXPECT_TRUE(sink.frames.isEmpty());
    else
        EXPECT_EQ(sink.frames, QList<QByteArray>({packet(2, c.sentPacket)}));
    EXPECT_EQ(window.messages, c.notified);
}

INSTANTIATE_TEST_SUITE_P(
    Firmware, FirmwareRequest,
    ::testing::Values(
        RequestCase{"PacketAsked", reply(0xF1, 2, 5, 0), 5, {{WM_LINK_NOTIFY, 5, 412}}},
        RequestCase{"ExtraByteRidesOnProgress", reply(0xF1, 2, 39, 0, 7), 39, {{WM_LINK_NOTIFY, 39, 419}}},
        RequestCase{"MainCodeServesAnyImage", reply(0xFB, 2, 1, 0), 1, {{WM_LINK_NOTIFY, 1, 412}}},
        RequestCase{
            "CountReachedIsSuccess", reply(0xF1, 2, 40, 0), -1, {{WM_FIRMWARE_RESULT, 2, FW_RESULT_DONE}}},
        RequestCase{"BeyondCountIgnored", reply(0xF1, 2, 41, 0), -1, {}},
        RequestCase{
            "StatusOneIsFailure", reply(0xF1, 2, 3, 1), -1, {{WM_FIRMWARE_RESULT, 2, FW_RESULT_FAILED}}},
        RequestCase{"OtherStatusIgnored", reply(0xF1, 2, 3, 2), -1, {}},
        RequestCase{"ImageAboveThreeIgnored", reply(0xF1, 4, 0, 0), -1, {}},
        RequestCase{"ImageAboveThreeFailureIgnored", reply(0xF1, 4, 0, 1), -1, {}},
        RequestCase{"ShortReplyIgnored", reply(0xF1, 2, 5, 0).left(12) + bytes({0x40}), -1, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(FirmwareFixture, ReadyReplyStartsTheCurrentImageOnly)
{
    load({3000, 1026, 5000, 2});
    ASSERT_TRUE(loader->waitForCheck(10000));
    NotifyRecorder window;
    WindowRegistration registration(windows, kFirmwareWindowClass, &window);

    programmer->setDindex(1);
    device(reply(0xF0, 1, 0, 0));
    EXPECT_EQ(sink.frames, QList<QByteArray>({packet(1, 0)}));
    device(reply(0xF0, 2, 0, 0)); // names another image
    device(reply(0xFA, 1, 0, 1)); // refuses
    EXPECT_EQ(sink.frames.size(), 1);
    EXPECT_EQ(window.messages,
              (QList<NotifyRecorder::Message>{{WM_FIRMWARE_RESULT, 1, FW_RESULT_NOT_READY},
                                              {WM_FIRMWARE_RESULT, 1, FW_RESULT_NOT_READY}}));

    // An image of two bytes has no packets: the ready reply gets the end byte.
    programmer->setDindex(3);
    device(reply(0xF0, 3, 0, 0));
    EXPECT_EQ(sink.frames.last(), QByteArray(1, char(0x04)));
    EXPECT_EQ(programmer->packNum(3), 0);
}

// --- Runs -------------------------------------------------------------------------------------

class FirmwareRunFixture : public FirmwareFixture {
protected:
    DisplayRecorder display;
    std::unique_ptr<FirmwareRun> run;
    std::unique_ptr<WindowRegistration> registration;
    QList<QPair<int, int>> outcomes;

    void open(const QList<qint64> &sizes, int rebootMs = 200)
    {
        load(sizes);
        run = std::make_unique<FirmwareRun>(*programmer, display);
        FirmwareRun::Timings t;
        t.rebootDelayMs = rebootMs;
        t.imagePauseMs = 60;
        t.failurePauseMs = 60;
        t.sliceMs = 20;
        run->setTimings(t);
        registration = std::make_unique<WindowRegistration>(windows, kFirmwareWindowClass, run.get());
        QObject::connect(run.get(), &FirmwareRun::imageFinished, [this](int pos, int result) {
            outcomes.append({pos, result});
        });
    }
    // A well-behaved device for image i: ready, every packet asked for, then the verdict.
    void transfer(int image, int command = 0xF1)
    {
        device(reply(command - 1, image, 0, 0));
        const int count = programmer->packNum(image);
        for (int n = count == 0 ? 0 : 1; n <= count; ++n)
            device(reply(command, image, n, 0));
    }
};

TEST_F(FirmwareRunFixture, FullRunSendsImagesInOrderAndEndsOnSuccess)
{
    open({3000, 1026, 2, 70000});
    QSignalSpy finished(run.get(), &FirmwareRun::finished);
    ASSERT_TRUE(run->program());
    EXPECT_EQ(display.led, 0);
    EXPECT_EQ(display.maximum, 3);

    QElapsedTimer clock;
    clock.start();
    transfer(0, 0xFB);
    EXPECT_GE(clock.elapsed(), 200); // the reboot wait keeps its length
    EXPECT_GT(discards, 0);
    EXPECT_EQ(display.countdownValues.first(), 1);
    EXPECT_FALSE(display.countdownVisible);
    EXPECT_EQ(display.led, 1);
    transfer(1);
    transfer(2);
    transfer(3);

    QList<QByteArray> expected{FirmwareProgrammer::prepareFrame(), start(0)};
    for (int n = 0; n < 3; ++n)
        expected << packet(0, n);
    expected << start(1) << packet(1, 0) << start(2) << QByteArray(1, char(0x04)) << start(3);
    for (int n = 0; n < 69; ++n)
        expected << packet(3, n);
    EXPECT_EQ(sink.frames.size(), expected.size());
    EXPECT_TRUE(sink.frames == expected);

    EXPECT_EQ(finished.size(), 1);
    EXPECT_FALSE(run->isRunning());
    EXPECT_TRUE(run->isFinished());
    EXPECT_EQ(outcomes, (QList<QPair<int, int>>{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(display.status, kSuccess);
    EXPECT_EQ(display.led, 3);
    EXPECT_EQ(display.progress, 69);
    EXPECT_EQ(programmer->dindex(), 3);
    // Only the wait after image 0 shows the countdown.
    EXPECT_EQ(display.log.count(QStringLiteral("countdown on")), 1);
}

TEST_F(FirmwareRunFixture, FailuresDoNotStopTheRun)
{
    open({3000, 3000, 3000, 3000});
    ASSERT_TRUE(run->program());
    transfer(0, 0xFB);
    device(reply(0xF0, 1, 0, 0));
    device(reply(0xF1, 1, 1, 1)); // packet 0 of image 1 rejected
    EXPECT_EQ(run->imageState(1), FirmwareRun::failed);
    EXPECT_EQ(display.status, kFail);
    EXPECT_EQ(sink.frames.last(), start(2));

    device(reply(0xF0, 3, 0, 0)); // ready naming another image
    EXPECT_EQ(display.log.mid(display.log.size() - 4, 2),
              QStringList({QStringLiteral("status Device Not Ready~!"), QStringLiteral("status ") + kFail}));
    EXPECT_EQ(run->imageState(2), FirmwareRun::failed);

    device(reply(0xF0, 3, 0, 1));        // image 3 not ready
    EXPECT_EQ(display.status, kSuccess); // the last image ends on this text whatever happened
    EXPECT_TRUE(run->isFinished());
    EXPECT_EQ(
        outcomes,
        (QList<QPair<int, int>>{
            {0, FW_RESULT_DONE}, {1, FW_RESULT_FAILED}, {2, FW_RESULT_NOT_READY}, {3, FW_RESULT_NOT_READY}}));
}

TEST_F(FirmwareRunFixture, StrayAndRepeatedVerdictsStartNothing)
{
    open({3000, 3000, 3000, 3000});
    // No run yet: a verdict must not start programming.
    run->onResultMessage(1, FW_RESULT_DONE);
    EXPECT_TRUE(sink.frames.isEmpty());
    EXPECT_TRUE(display.log.isEmpty());

    ASSERT_TRUE(run->program());
    run->onResultMessage(0, 5);
    EXPECT_EQ(run->imageState(0), FirmwareRun::pending);
    transfer(0, 0xFB);
    const qsizetype sent = sink.frames.size();
    device(reply(0xFB, 0, 3, 0)); // the verdict again
    run->onResultMessage(0, FW_RESULT_FAILED);
    EXPECT_EQ(sink.frames.size(), sent);
    EXPECT_EQ(run->imageState(0), FirmwareRun::programmed);
    EXPECT_EQ(programmer->dindex(), 1);
}

TEST_F(FirmwareRunFixture, ProgramDuringAWaitStartsAgainFromImageZero)
{
    open({3000, 3000, 3000, 3000}, 3000);
    ASSERT_TRUE(run->program());
    QTimer::singleShot(100, [this] { EXPECT_TRUE(run->program()); });
    transfer(0, 0xFB);
    // Had the replaced wait gone on, image 0 would be marked and image 1 started.
    EXPECT_EQ(sink.frames.mid(sink.frames.size() - 2),
              QList<QByteArray>({FirmwareProgrammer::prepareFrame(), start(0)}));
    EXPECT_EQ(programmer->dindex(), 0);
    EXPECT_EQ(run->imageStates(), (std::array<FirmwareRun::ImageState, 4>{}));
    EXPECT_TRUE(outcomes.isEmpty());
    EXPECT_FALSE(display.countdownVisible);
    // The new run goes on normally.
    FirmwareRun::Timings t = run->timings();
    t.rebootDelayMs = 50;
    run->setTimings(t);
    transfer(0, 0xFB);
    EXPECT_EQ(sink.frames.last(), start(1));
}

TEST_F(FirmwareRunFixture, WaitsKeepEventsFlowingAndCountDownWholeSeconds)
{
    open({3000, 3000, 3000, 3000}, 2000);
    ASSERT_TRUE(run->program());
    bool ranDuringWait = false;
    bool scheduled = false;
    display.onCountdown = [&] {
        if (!scheduled)
            QTimer::singleShot(0, [&] { ranDuringWait = display.countdownVisible; });
        scheduled = true;
    };
    transfer(0, 0xFB);
    EXPECT_TRUE(ranDuringWait);
    EXPECT_EQ(display.countdownValues, QList<int>({2, 1}));
    EXPECT_EQ(display.log.filter(QStringLiteral("countdown")),
              QStringList({QStringLiteral("countdown on"), QStringLiteral("countdown off")}));
}

TEST_F(FirmwareRunFixture, LinkLostWhileTheDeviceRestartsIsReported)
{
    open({3000, 3000, 3000, 3000}, 300);
    QSignalSpy stopped(run.get(), &FirmwareRun::stopped);
    ASSERT_TRUE(run->program());
    QTimer::singleShot(50, [this] { sink.connected = false; });
    transfer(0, 0xFB);
    EXPECT_EQ(sink.frames.last(), packet(0, 2)) << "no start frame for image 1";
    ASSERT_EQ(stopped.size(), 1);
    EXPECT_EQ(stopped[0][0].toInt(), 1);
    EXPECT_FALSE(run->isRunning());
    EXPECT_FALSE(run->isFinished());
    EXPECT_EQ(run->imageState(1), FirmwareRun::pending);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("KB0122001505")));
    EXPECT_EQ(display.status, kFail);
}

TEST_F(FirmwareRunFixture, WindowClosedDuringAWaitEndsQuietly)
{
    open({3000, 3000, 3000, 3000}, 2000);
    ASSERT_TRUE(run->program());
    QTimer::singleShot(100, [this] {
        registration.reset();
        run.reset();
    });
    transfer(0, 0xFB);
    EXPECT_EQ(run, nullptr);
    const qsizetype sent = sink.frames.size();
    // Requests are still answered, but nothing further is started.
    device(reply(0xF0, 0, 0, 0));
    EXPECT_EQ(sink.frames.size(), sent + 1);
    EXPECT_EQ(sink.frames.last(), packet(0, 0));
}

} // namespace
