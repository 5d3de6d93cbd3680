#include <QCoreApplication>
#include <gtest/gtest.h>

#ifdef Q48_TESTS_NEED_GUI
#include <QApplication>
#endif

// Tests drive Qt sockets, timers and windows, so every test program runs with one application object.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef Q48_TESTS_NEED_GUI
    // Listing the tests (CTest's discovery at build time) opens no window and may run without a display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
