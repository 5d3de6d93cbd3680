#include "link/WindowRegistry.h"

#include <gtest/gtest.h>

#include <QList>

#include <functional>

using namespace q48;

namespace {

struct Note {
    int message;
    qintptr wParam;
    qintptr lParam;
    bool operator==(const Note &) const = default;
};

struct RecordingWindow : NotifyTarget {
    QList<Note> notes;
    long handleNotify(int message, qintptr wParam, qintptr lParam) override
    {
        notes.append({message, wParam, lParam});
        return 7;
    }
};

struct NotifyCase {
    const char *name;
    std::function<void(Notifier &)> call;
    QString windowClass;
    Note expected;
};

void PrintTo(const NotifyCase &c, std::ostream *os)
{
    *os << c.name;
}

class NotifierDelivery : public ::testing::TestWithParam<NotifyCase> {};

TEST_P(NotifierDelivery, ReachesOnlyItsWindowAtOnce)
{
    const NotifyCase &c = GetParam();
    WindowRegistry registry;
    Notifier notifier(registry);
    RecordingWindow firmware, presets;
    WindowRegistration a(registry, kFirmwareWindowClass, &firmware);
    WindowRegistration b(registry, kPresetWindowClass, &presets);

    c.call(notifier);
    // Synchronous: the window has handled it by the time the call returns.
    RecordingWindow &target = c.windowClass == kFirmwareWindowClass ? firmware : presets;
    RecordingWindow &other = c.windowClass == kFirmwareWindowClass ? presets : firmware;
    EXPECT_EQ(target.notes, QList<Note>{c.expected});
    EXPECT_TRUE(other.notes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Notifier, NotifierDelivery,
                         ::testing::Values(NotifyCase{"firmware result",
                                                      [](Notifier &n) {
                                                          n.notifyFirmwareResult(2, FW_RESULT_DONE);
                                                      },
                                                      kFirmwareWindowClass,
                                                      {1424, 2, 1}},
                                           NotifyCase{"firmware progress",
                                                      [](Notifier &n) { n.notifyFirmwareProgress(5, 3); },
                                                      kFirmwareWindowClass,
                                                      {1423, 5, 415}},
                                           NotifyCase{"preset lists read",
                                                      [](Notifier &n) { n.notifyPresetListsRead(); },
                                                      kPresetWindowClass,
                                                      {1423, 0, 405}},
                                           NotifyCase{"export packet",
                                                      [](Notifier &n) { n.notifyExportPacket(17); },
                                                      kPresetWindowClass,
                                                      {1423, 17, 406}},
                                           NotifyCase{"transfer state",
                                                      [](Notifier &n) { n.notifyTransferState(1); },
                                                      kPresetWindowClass,
                                                      {1423, 1, 407}},
                                           NotifyCase{"preset written",
                                                      [](Notifier &n) { n.notifyPresetWritten(3); },
                                                      kPresetWindowClass,
                                                      {1423, 3, 408}},
                                           NotifyCase{"preset read",
                                                      [](Notifier &n) { n.notifyPresetRead(); },
                                                      kPresetWindowClass,
                                                      {1423, 0, 409}},
                                           NotifyCase{"preset file rejected",
                                                      [](Notifier &n) { n.notifyPresetFileRejected(); },
                                                      kPresetWindowClass,
                                                      {1423, 0, 410}},
                                           NotifyCase{"import packet",
                                                      [](Notifier &n) { n.notifyImportPacket(30); },
                                                      kPresetWindowClass,
                                                      {1423, 30, 411}}));

TEST(WindowRegistry, NotificationForAClosedWindowIsLost)
{
    WindowRegistry registry;
    RecordingWindow window;
    {
        WindowRegistration open(registry, kPresetWindowClass, &window);
        EXPECT_TRUE(registry.isOpen(kPresetWindowClass));
        EXPECT_EQ(registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, 0, LN_PRESET_READ), 7);
    }
    EXPECT_FALSE(registry.isOpen(kPresetWindowClass));
    EXPECT_EQ(registry.notifyWindow(kPresetWindowClass, WM_LINK_NOTIFY, 0, LN_PRESET_READ), 0);
    Notifier(registry).notifyFirmwareResult(0, FW_RESULT_FAILED);
    EXPECT_EQ(window.notes.size(), 1);
}

} // namespace
