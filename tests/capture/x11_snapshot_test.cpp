// Root grabs on a real X server: pixel-exact rectangles, clamping, both grab paths, monitors, windows.
#include "capture/bitmap_helper.h"
#include "capture/x11_screen.h"
#include "x11_desktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstring>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace pxh {
namespace {

using test::PatternImage;
using test::TTestWindow;
using test::TX11Desktop;

class X11Snapshot : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        FScreen = std::make_unique<TX11Screen>(TX11Desktop::Instance()->Connection());
        ASSERT_TRUE(FScreen->ShmAvailable());
        FScreen->SetUseShm(GetParam());
    }
    QRect Root() const {
        const auto& layout = TX11Desktop::Instance()->Layout();
        return QRect(0, 0, layout.Width, layout.Height);
    }
    std::unique_ptr<TX11Screen> FScreen;
};

TEST_P(X11Snapshot, RectanglesArePixelExactAndClampedToTheRoot) {
    const QRect root = Root();
    const std::vector<QRect> cases = {
        root,                                                  // the whole screen
        QRect(17, 33, 301, 155),                               // inside
        QRect(root.right() - 99, root.bottom() - 49, 100, 50), // at the bottom-right corner
        QRect(-40, -30, 100, 80),                              // partly outside, top-left
        QRect(root.right() - 20, 100, 300, 40),                // partly outside, right
    };
    for (const QRect& area : cases) {
        QImage logical, physical;
        ASSERT_TRUE(TBitmapFHelper::SnapShotScreen(area, logical, physical, FScreen.get(), 1.0));
        const QRect clamped = area.intersected(root);
        EXPECT_EQ(physical, PatternImage(clamped)) << area.x() << "," << area.y();
        // Opaque, not merely equal after masking the X byte.
        EXPECT_EQ(qAlpha(physical.pixel(0, 0)), 255);
        EXPECT_EQ(logical, physical);
    }
}

TEST_P(X11Snapshot, OutsideTheRootIsAFailureThatKeepsTheOutputs) {
    QImage logical(2, 2, QImage::Format_RGB32), physical(3, 3, QImage::Format_RGB32);
    logical.fill(Qt::red);
    physical.fill(Qt::blue);
    const QImage keptLogical = logical, keptPhysical = physical;
    EXPECT_FALSE(TBitmapFHelper::SnapShotScreen(QRect(Root().width() + 5, 0, 50, 50), logical, physical,
                                                FScreen.get()));
    EXPECT_EQ(logical, keptLogical);
    EXPECT_EQ(physical, keptPhysical);
}

TEST_P(X11Snapshot, ScaledDisplayGivesTheLogicalCopy) {
    QImage logical, physical;
    ASSERT_TRUE(
        TBitmapFHelper::SnapShotScreen(QRect(10, 10, 300, 150), logical, physical, FScreen.get(), 1.5));
    EXPECT_EQ(physical.size(), QSize(300, 150));
    EXPECT_EQ(logical.size(), QSize(200, 100));
}

// Whole-screen grabs write into kept memory: a picture the caller still holds must never be overwritten.
TEST_P(X11Snapshot, AHeldPictureKeepsItsPixelsWhenTheScreenChangesAndIsGrabbedAgain) {
    const QImage held = FScreen->Grab(Root());
    ASSERT_EQ(held, PatternImage(Root()));
    TTestWindow window(TX11Desktop::Instance()->Connection(), QRect(10, 10, 200, 100), "cover");
    window.Map();
    for (int i = 0; i < 3; ++i) {
        const QImage again = FScreen->Grab(Root());
        EXPECT_EQ(again.pixel(20, 20), qRgb(0xFF, 0x00, 0xFF));
    }
    EXPECT_EQ(held, PatternImage(Root()));
}

INSTANTIATE_TEST_SUITE_P(Paths, X11Snapshot, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& AInfo) {
                             return AInfo.param ? "Shm" : "Plain";
                         });

TEST(X11Monitors, DesktopAndMonitorsFollowTheLayout) {
    TX11Screen screen(TX11Desktop::Instance()->Connection());
    const auto& layout = TX11Desktop::Instance()->Layout();
    EXPECT_EQ(screen.DesktopRect(), QRect(0, 0, layout.Width, layout.Height));
    const std::vector<TMonitorInfo> monitors = screen.Monitors();
    if (!layout.Monitors.empty()) {
        ASSERT_EQ(monitors.size(), layout.Monitors.size());
        for (std::size_t i = 0; i < monitors.size(); ++i) {
            EXPECT_EQ(monitors[i].Rect, layout.Monitors[i]);
        }
        // Qt sees the same displays, which the form relies on for its geometry.
        EXPECT_EQ(QGuiApplication::screens().size(), qsizetype(layout.Monitors.size()));
        // A grab of the second display alone.
        QImage logical, physical;
        ASSERT_TRUE(TBitmapFHelper::SnapShotScreen(monitors[1].Rect, logical, physical, &screen));
        EXPECT_EQ(physical, PatternImage(monitors[1].Rect));
    } else {
        ASSERT_EQ(monitors.size(), 1u);
        EXPECT_EQ(monitors[0].Rect, QRect(0, 0, layout.Width, layout.Height));
    }
}

TEST(X11Monitors, CursorImageComesThroughXFixes) {
    TX11Screen screen(TX11Desktop::Instance()->Connection());
    const std::optional<TCursorImage> cursor = screen.CursorImage();
    ASSERT_TRUE(cursor.has_value());
    EXPECT_FALSE(cursor->Image.isNull());
    EXPECT_EQ(cursor->Position, screen.PointerPosition());
}

TEST(X11WindowSnapshot, MappedPartlyOffScreenAndUnmapped) {
    xcb_connection_t* connection = TX11Desktop::Instance()->Connection();
    TX11Screen screen(connection);
    const QByteArray title = QStringLiteral("Größe – ウィンドウ").toUtf8();
    {
        TTestWindow window(connection, QRect(-30, 40, 120, 60), title + QByteArray("\0tail", 5));
        QImage bitmap;
        QString caption;
        EXPECT_FALSE(TBitmapFHelper::SnapShotWindow(window.Id(), bitmap, caption, &screen));
        EXPECT_TRUE(bitmap.isNull());
        window.Map();
        ASSERT_TRUE(TBitmapFHelper::SnapShotWindow(window.Id(), bitmap, caption, &screen));
        EXPECT_EQ(caption, QString::fromUtf8(title));
        EXPECT_EQ(bitmap.size(), QSize(90, 60));
        EXPECT_EQ(bitmap.pixel(45, 30), qRgb(0xFF, 0x00, 0xFF));
    }
    QImage bitmap;
    QString caption;
    EXPECT_FALSE(TBitmapFHelper::SnapShotWindow(0x7FFFFFF, bitmap, caption, &screen));
}

} // namespace
} // namespace pxh
