// Test entry point for the core thread tests: the main thread is the UI thread, with a Qt application.
#include "core/ui_bridge.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    pxh::RecordUiThread();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
