// The capture form on a real X server driven by xdotool: drags, Escape and a pinned area.
#include "capture/bitmap_helper.h"
#include "capture/capture_form.h"
#include "capture/x11_screen.h"
#include "x11_desktop.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

namespace pxh {
namespace {

using test::PatternImage;
using test::TTestWindow;
using test::TX11Desktop;

struct TOutcome {
    int Result = -1;
    QRect Rect;
    QImage Image;
};

QStringList Words(const QString& AText) {
    return AText.split(u' ', Qt::SkipEmptyParts);
}

class X11CaptureForm : public testing::Test {
protected:
    void SetUp() override {
        FScreen = std::make_unique<TX11Screen>(TX11Desktop::Instance()->Connection());
        FScreen->WarpPointer(QPoint(3, 3));
        // As the program does at start: the forms then open in a window prepared ahead.
        TCaptureForm::Prepare(QGuiApplication::primaryScreen()->virtualGeometry().size());
    }
    QRect Desktop() const {
        const auto& layout = TX11Desktop::Instance()->Layout();
        return QRect(0, 0, layout.Width, layout.Height);
    }
    // Opens the form, runs xdotool once it is on screen, and waits for it to close.
    TOutcome Capture(const QString& AXdotool, const std::function<void(TCaptureForm&)>& AWhileOpen = {}) {
        TCaptureForm form(FSettings);
        form.SetPickWindow(FPickWindow);
        EXPECT_TRUE(form.CreateSnapshot());
        QProcess xdotool;
        bool started = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!started && form.window()->windowHandle() && form.window()->windowHandle()->isExposed()) {
                started = true;
                xdotool.start(QStringLiteral("xdotool"), Words(AXdotool));
            }
            if (AWhileOpen) {
                AWhileOpen(form);
            }
        });
        poll.start(20);
        QTimer::singleShot(30000, &form, &QDialog::reject);
        TOutcome outcome;
        outcome.Result = form.exec();
        xdotool.waitForFinished(10000);
        EXPECT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
        outcome.Rect = form.ResultRect();
        outcome.Image = form.ResultImage();
        return outcome;
    }
    static QString Drag(QPoint AFrom, QPoint ATo, const QString& ABeforeRelease = {}) {
        const QPoint middle = (AFrom + ATo) / 2;
        return QStringLiteral(
                   "sleep 0.3 mousemove %1 %2 sleep 0.1 mousedown 1 sleep 0.1 mousemove %3 %4 sleep 0.1 "
                   "mousemove %5 %6 sleep 0.2 %7 mouseup 1")
            .arg(AFrom.x())
            .arg(AFrom.y())
            .arg(middle.x())
            .arg(middle.y())
            .arg(ATo.x())
            .arg(ATo.y())
            .arg(ABeforeRelease);
    }

    std::unique_ptr<TX11Screen> FScreen;
    TCaptureSettings FSettings;
    bool FPickWindow = false;
};

TEST_F(X11CaptureForm, WholeScreenSnapshotEqualsTheScreen) {
    QImage logical, physical;
    ASSERT_TRUE(TBitmapFHelper::SnapShotDesktop(logical, physical));
    EXPECT_EQ(physical, PatternImage(Desktop()));
}

TEST_F(X11CaptureForm, DraggedAreaIsTheResult) {
    const QRect desktop = Desktop();
    // Across the middle, which is the border between the two displays of the dual layout.
    const QPoint from(desktop.width() / 2 - 150, 100), to(desktop.width() / 2 + 170, 333);
    const TOutcome outcome = Capture(Drag(to, from));
    ASSERT_EQ(outcome.Result, QDialog::Accepted);
    const QRect expected(from, to);
    EXPECT_EQ(outcome.Rect, expected);
    EXPECT_EQ(outcome.Image, PatternImage(expected));
}

TEST_F(X11CaptureForm, PerMonitorCaptureStaysOnTheDisplayUnderThePointer) {
    const std::vector<TMonitorInfo> monitors = FScreen->Monitors();
    const QRect last = monitors.back().Rect;
    FScreen->WarpPointer(last.center());
    FSettings.PerMonitor = true;
    const QPoint from = last.topLeft() + QPoint(40, 50), to = last.topLeft() + QPoint(240, 150);
    const TOutcome outcome = Capture(Drag(from, to));
    ASSERT_EQ(outcome.Result, QDialog::Accepted);
    EXPECT_EQ(outcome.Rect, QRect(from, to));
    EXPECT_EQ(outcome.Image, PatternImage(QRect(from, to)));
}

TEST_F(X11CaptureForm, PerMonitorModeConfinesThePointerUntilTheFormCloses) {
    const std::vector<TMonitorInfo> monitors = FScreen->Monitors();
    if (monitors.size() < 2) {
        GTEST_SKIP() << "one display";
    }
    const QRect right = monitors[1].Rect;
    FScreen->WarpPointer(right.topLeft() + QPoint(100, 300));
    FSettings.PerMonitor = true;
    const TOutcome outcome =
        Capture(QStringLiteral("sleep 0.5 mousemove_relative -- -300 0 sleep 0.3 key Escape"));
    EXPECT_EQ(outcome.Result, QDialog::Rejected);
    EXPECT_EQ(FScreen->PointerPosition().x(), right.left());
    QProcess::execute(QStringLiteral("xdotool"), Words(QStringLiteral("mousemove_relative -- -300 0")));
    EXPECT_EQ(FScreen->PointerPosition().x(), right.left() - 300);
}

TEST_F(X11CaptureForm, EscapeGivesNoResult) {
    const TOutcome outcome = Capture(QStringLiteral("sleep 0.5 mousemove 200 200 sleep 0.1 key Escape"));
    EXPECT_EQ(outcome.Result, QDialog::Rejected);
    EXPECT_TRUE(outcome.Rect.isNull());
    EXPECT_TRUE(outcome.Image.isNull());
}

TEST_F(X11CaptureForm, ArrowKeysMoveThePointerByOnePixel) {
    const TOutcome outcome = Capture(
        QStringLiteral("sleep 0.5 mousemove 200 200 sleep 0.1 key Right key Right key Down key Left key Down "
                       "key Down sleep 0.2 key Escape"));
    EXPECT_EQ(outcome.Result, QDialog::Rejected);
    EXPECT_EQ(FScreen->PointerPosition(), QPoint(201, 203));
}

TEST_F(X11CaptureForm, PinnedAreaComesBackAtTheNextCapture) {
    const QPoint from(120, 140), to(420, 300);
    QProcess confirm;
    bool pinned = false;
    // Shift on release enters edit mode; the pin is pressed there, then Return confirms.
    const TOutcome first =
        Capture(Drag(from, to, QStringLiteral("keydown shift sleep 0.1")), [&](TCaptureForm& AForm) {
            if (!pinned && AForm.CaptureState() == TCaptureState::csEditArea) {
                pinned = true;
                AForm.findChild<QToolButton*>(QStringLiteral("btnPin"))->click();
                confirm.start(QStringLiteral("xdotool"),
                              Words(QStringLiteral("keyup shift sleep 0.2 key Return")));
            }
        });
    confirm.waitForFinished(10000);
    ASSERT_EQ(first.Result, QDialog::Accepted);
    EXPECT_EQ(first.Rect, QRect(from, to));
    EXPECT_TRUE(FSettings.CapturePinned);

    const TOutcome second = Capture(QStringLiteral("sleep 0.5 key Return"));
    ASSERT_EQ(second.Result, QDialog::Accepted);
    EXPECT_EQ(second.Rect, first.Rect);
    EXPECT_EQ(second.Image, PatternImage(first.Rect));
}

TEST_F(X11CaptureForm, ClickPicksTheWindowUnderThePointer) {
    const QRect frame(300, 200, 240, 130);
    TTestWindow window(TX11Desktop::Instance()->Connection(), frame, "picked");
    window.Map();
    TTestWindow below(TX11Desktop::Instance()->Connection(), QRect(250, 150, 400, 300), "below");
    const TOutcome picked = [&] {
        TTestWindow top(TX11Desktop::Instance()->Connection(), QRect(700, 500, 50, 50), "elsewhere");
        top.Map();
        FPickWindow = true;
        return Capture(QStringLiteral("sleep 0.3 mousemove 400 250 sleep 0.1 click 1"));
    }();
    ASSERT_EQ(picked.Result, QDialog::Accepted);
    EXPECT_EQ(picked.Rect, frame);
    ASSERT_EQ(picked.Image.size(), frame.size());
    EXPECT_EQ(picked.Image.pixel(10, 10), qRgb(0xFF, 0x00, 0xFF));
    // Over the bare root a click still cancels.
    const TOutcome bare = Capture(QStringLiteral("sleep 0.3 mousemove 20 20 sleep 0.1 click 1"));
    EXPECT_EQ(bare.Result, QDialog::Rejected);
}

} // namespace
} // namespace pxh
