// Test entry for the X11 capture tests: a private Xvfb in the layout of this binary, then Qt on it.
#include "x11_desktop.h"

#include <QApplication>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    std::unique_ptr<pxh::test::TX11Desktop> desktop;
    try {
        desktop = std::make_unique<pxh::test::TX11Desktop>(pxh::test::BuildLayout());
    } catch (const std::exception& e) {
        fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
