#include "link/ResponseWatchdog.h"

#include "FakePrompts.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace q48;

namespace {

const QString kGiveUpText = QStringLiteral("No reponsed ,please recall once");

TEST(ResponseWatchdog, StartsDisabledWithTheDefaultInterval)
{
    test::FakePrompts prompts;
    ResponseWatchdog w(prompts);
    EXPECT_FALSE(w.isRunning());
    EXPECT_EQ(w.tmrchecker().interval(), 1000);
    EXPECT_EQ(w.waitCounter(), 0);
}

TEST(ResponseWatchdog, GivesUpOnTheFourthTickWithoutAPacket)
{
    test::FakePrompts prompts;
    ResponseWatchdog w(prompts);
    QSignalSpy gaveUp(&w, &ResponseWatchdog::gaveUp);
    w.startWatchdog();
    for (int tick = 1; tick <= 3; ++tick) {
        w.tmrcheckerTimer();
        EXPECT_EQ(w.waitCounter(), tick);
    }
    EXPECT_EQ(gaveUp.count(), 0);
    EXPECT_TRUE(prompts.asked.isEmpty());
    w.tmrcheckerTimer();
    EXPECT_EQ(gaveUp.count(), 1);
    EXPECT_FALSE(w.isRunning());
    EXPECT_EQ(w.waitCounter(), 0);
    EXPECT_EQ(prompts.messages(), QStringList{kGiveUpText});
}

TEST(ResponseWatchdog, APacketKeepsTheReadBackAlive)
{
    test::FakePrompts prompts;
    ResponseWatchdog w(prompts);
    QSignalSpy gaveUp(&w, &ResponseWatchdog::gaveUp);
    w.startWatchdog();
    for (int round = 0; round < 5; ++round) {
        for (int tick = 0; tick < 3; ++tick)
            w.tmrcheckerTimer();
        w.resetWaitCounter();
    }
    EXPECT_EQ(gaveUp.count(), 0);
    EXPECT_TRUE(w.isRunning());
}

// The message is modal: the timer must already be off while it shows, and the give-up
// signal must have run first.
class OrderPrompts : public test::FakePrompts {
public:
    ResponseWatchdog *watchdog = nullptr;
    bool runningAtMessage = true;
    int gaveUpAtMessage = -1;
    QSignalSpy *spy = nullptr;
    void message(const QString &text, const QString &title) override
    {
        runningAtMessage = watchdog->isRunning();
        gaveUpAtMessage = int(spy->count());
        FakePrompts::message(text, title);
    }
};

TEST(ResponseWatchdog, TimerDrivesItAndStopsBeforeTheMessage)
{
    OrderPrompts prompts;
    ResponseWatchdog w(prompts);
    QSignalSpy gaveUp(&w, &ResponseWatchdog::gaveUp);
    prompts.watchdog = &w;
    prompts.spy = &gaveUp;
    w.setInterval(10);
    w.startWatchdog();
    ASSERT_TRUE(gaveUp.wait(5000));
    EXPECT_FALSE(prompts.runningAtMessage);
    EXPECT_EQ(prompts.gaveUpAtMessage, 1);
    EXPECT_EQ(prompts.messages(), QStringList{kGiveUpText});
}

} // namespace
