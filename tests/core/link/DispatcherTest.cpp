#include "link/Dispatcher.h"
#include "link/CommandCodes.h"

#include <gtest/gtest.h>

#include <QList>
#include <QSet>

using namespace q48;

namespace {

QByteArray frameOf(int command, int size)
{
    QByteArray f(size, '\0');
    if (size > kOffsetCommand)
        f[kOffsetCommand] = char(command);
    return f;
}

// Every handler slot records which command reached it.
struct RecordingDispatcher {
    Dispatcher dispatcher;
    QList<QPair<int, int>> calls; // (slot the handler was set for, command in the frame)

    RecordingDispatcher()
    {
        for (int command = 0; command < 256; ++command)
            dispatcher.setHandler(quint8(command), [this, command](const QByteArray &f) {
                calls.append({command, quint8(f.at(kOffsetCommand))});
            });
    }
};

TEST(Dispatcher, RoutesOnlyTheDeviceReplies)
{
    const QSet<int> routed = {24, 47, 48, 50, 51, 240, 241, 242, 250, 251};
    for (int command = 0; command < 256; ++command) {
        RecordingDispatcher r;
        EXPECT_EQ(Dispatcher::isRouted(quint8(command)), routed.contains(command)) << command;
        r.dispatcher.dispatchFrame(frameOf(command, 20));
        EXPECT_EQ(r.calls.size(), routed.contains(command) ? 1 : 0) << command;
    }
}

TEST(Dispatcher, FirmwarePairsShareOneHandler)
{
    Dispatcher d;
    QList<int> seen;
    EXPECT_TRUE(d.setHandler(CMD_FW_BEGIN_MAIN, [&](const QByteArray &f) { seen << 1000 + quint8(f[8]); }));
    EXPECT_TRUE(d.setHandler(CMD_FW_BEGIN, [&](const QByteArray &f) { seen << quint8(f[8]); }));
    EXPECT_TRUE(d.setHandler(CMD_FW_DATA, [&](const QByteArray &f) { seen << quint8(f[8]); }));
    for (int command : {240, 250, 241, 251})
        d.dispatchFrame(frameOf(command, 15));
    EXPECT_EQ(seen, QList<int>({240, 250, 241, 251}));
}

TEST(Dispatcher, UnroutedCodesTakeNoHandler)
{
    Dispatcher d;
    for (int command : {0, 22, 23, 35, 49, 248, 249, 255})
        EXPECT_FALSE(d.setHandler(quint8(command), [](const QByteArray &) {})) << command;
}

TEST(Dispatcher, CommandWithoutHandlerIsDropped)
{
    Dispatcher d;
    int calls = 0;
    d.setHandler(CMD_PRESET_WRITTEN, [&](const QByteArray &) { ++calls; });
    d.dispatchFrame(frameOf(CMD_READ_PRESET, 69));
    d.dispatchFrame(frameOf(CMD_PRESET_WRITTEN, 12));
    EXPECT_EQ(calls, 1);
}

struct MinimumCase {
    int command;
    int minimum; // one past the last byte the handler reads
};

class DispatcherShortFrames : public ::testing::TestWithParam<MinimumCase> {};

TEST_P(DispatcherShortFrames, FrameShorterThanItsFieldsIsIgnoredWhole)
{
    const auto [command, minimum] = GetParam();
    EXPECT_EQ(Dispatcher::minimumFrameSize(quint8(command)), minimum);
    RecordingDispatcher r;
    for (int size = 0; size < minimum; ++size)
        r.dispatcher.dispatchFrame(frameOf(command, size));
    EXPECT_TRUE(r.calls.isEmpty());
    r.dispatcher.dispatchFrame(frameOf(command, minimum));
    EXPECT_EQ(r.calls.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Dispatcher, DispatcherShortFrames,
                         ::testing::Values(MinimumCase{24, 10}, MinimumCase{47, 11}, MinimumCase{48, 11},
                                           MinimumCase{50, 10}, MinimumCase{51, 10}, MinimumCase{240, 13},
                                           MinimumCase{250, 13}, MinimumCase{241, 14}, MinimumCase{251, 14},
                                           MinimumCase{242, 12}));

TEST(Dispatcher, HandlerMayReplaceItselfWhileRunning)
{
    Dispatcher d;
    QList<int> seen;
    d.setHandler(CMD_PRESET_WRITTEN, [&](const QByteArray &) {
        seen << 1;
        d.setHandler(CMD_PRESET_WRITTEN, [&](const QByteArray &) { seen << 2; });
        seen << 3;
    });
    d.dispatchFrame(frameOf(CMD_PRESET_WRITTEN, 12));
    d.dispatchFrame(frameOf(CMD_PRESET_WRITTEN, 12));
    EXPECT_EQ(seen, QList<int>({1, 3, 2}));
}

} // namespace
