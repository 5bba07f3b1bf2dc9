// Entry of the desktop tests that run Qt in the test process: one private Xvfb for the binary (with openbox
// when PXH_DESKTOP_WINDOW_MANAGER is true), then Qt on it (offscreen when the desktop did not come up, so
// each test can skip or fail with the reason).
#include "desktop_test_main.h"

#include <QApplication>
#include <gtest/gtest.h>

#ifndef PXH_DESKTOP_WINDOW_MANAGER
#define PXH_DESKTOP_WINDOW_MANAGER false
#endif

namespace pxh::test {
namespace {
TestDesktop* GDesktop = nullptr;
}
TestDesktop& SharedDesktop() {
    return *GDesktop;
}
} // namespace pxh::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    pxh::test::TestDesktop desktop({.WindowManager = PXH_DESKTOP_WINDOW_MANAGER});
    pxh::test::GDesktop = &desktop;
    if (desktop.Ok()) {
        desktop.ApplyToThisProcess();
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
