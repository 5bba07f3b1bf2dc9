// The window pick on Xvfb with openbox: xdotool clicks real windows, frames and the bare root.
#include "../platform/desktop_test_main.h"
#include "capture/bitmap_helper.h"
#include "capture/window_pick.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

using namespace pxh;
using namespace pxh::test;

namespace {

constexpr QSize ClientSize(320, 240);

QRgb ClientPixel(int AX, int AY) {
    return qRgb((AX * 7) & 0xFF, (AY * 5) & 0xFF, (AX + AY) & 0xFF);
}

QImage ClientPattern() {
    QImage image(ClientSize, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, ClientPixel(x, y));
    return image;
}

// A window painted with a coordinate pattern that counts the left presses it receives.
class TPatternWindow : public QWidget {
public:
    explicit TPatternWindow(const QString& ATitle, Qt::WindowFlags AFlags = {})
        : QWidget(nullptr, AFlags)
        , FPattern(ClientPattern()) {
        setWindowTitle(ATitle);
        setFixedSize(ClientSize);
    }
    int Presses = 0;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, FPattern); }
    void mousePressEvent(QMouseEvent* AEvent) override {
        if (AEvent->button() == Qt::LeftButton)
            ++Presses;
    }

private:
    QImage FPattern;
};

// Where the window manager put a client, and how thick its frame is (left, right, top, bottom).
struct TPlacement {
    QPoint Origin;
    int Extents[4] = {0, 0, 0, 0};
};

class WindowPick : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!SharedDesktop().Ok())
            return;
        FTarget = new TPatternWindow(QStringLiteral("Pick target \u03a9"));
        FTarget->move(300, 200);
        FTarget->show();
        FOther = new TPatternWindow(QStringLiteral("Other window"));
        FOther->move(900, 200);
        FOther->show();
        // Clicking a window that takes no focus leaves the active window where it was.
        FPalette = new TPatternWindow(QStringLiteral("Palette"), Qt::Window | Qt::WindowDoesNotAcceptFocus);
        FPalette->move(300, 600);
        FPalette->show();
        // Override-redirect, as menus and tooltips are: the window manager neither frames nor tracks it.
        FPopup = new TPatternWindow(QStringLiteral("Popup"),
                                    Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
        FPopup->move(900, 600);
        FPopup->show();
        for (QWidget* window : {FTarget, FOther, FPalette, FPopup})
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        QTest::qWait(300);
    }
    static void TearDownTestSuite() {
        delete FPopup;
        delete FPalette;
        delete FOther;
        delete FTarget;
        FPopup = FPalette = FOther = FTarget = nullptr;
    }

    void SetUp() override {
        PXH_REQUIRE_DESKTOP(SharedDesktop());
        Reset();
    }
    void Reset() {
        for (TPatternWindow* window : {FTarget, FOther, FPalette, FPopup})
            window->Presses = 0;
        FPicked.clear();
        FCancelled = 0;
    }

    static std::uint32_t Id(const QWidget* AWindow) { return std::uint32_t(AWindow->winId()); }

    static TPlacement Placement(std::uint32_t AWindow) {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        TPlacement placement;
        if (auto* origin = xcb_translate_coordinates_reply(
                connection, xcb_translate_coordinates(connection, AWindow, root, 0, 0), nullptr)) {
            placement.Origin = QPoint(origin->dst_x, origin->dst_y);
            free(origin);
        }
        auto* atom = xcb_intern_atom_reply(connection,
                                           xcb_intern_atom(connection, 0, 18, "_NET_FRAME_EXTENTS"), nullptr);
        if (atom) {
            if (auto* extents = xcb_get_property_reply(
                    connection, xcb_get_property(connection, 0, AWindow, atom->atom, XCB_ATOM_CARDINAL, 0, 4),
                    nullptr)) {
                if (xcb_get_property_value_length(extents) == 16)
                    for (int i = 0; i < 4; ++i)
                        placement.Extents[i] =
                            int(static_cast<const std::uint32_t*>(xcb_get_property_value(extents))[i]);
                free(extents);
            }
            free(atom);
        }
        xcb_disconnect(connection);
        return placement;
    }

    void Click(const QPoint& ARootPoint) const {
        ASSERT_EQ(SharedDesktop().Run("xdotool", {"mousemove", QString::number(ARootPoint.x()),
                                                  QString::number(ARootPoint.y()), "click", "1"}),
                  0);
    }
    void Activate(const QWidget* AWindow) const {
        ASSERT_EQ(SharedDesktop().Run("xdotool", {"windowactivate", "--sync", QString::number(Id(AWindow))}),
                  0);
    }

    bool StartPick(TWindowPick& APick) {
        return APick.Start([this](std::uint32_t AWindow) { FPicked.push_back(AWindow); },
                           [this] { ++FCancelled; });
    }
    // Waits until the pick has ended, then a little longer, so a second, wrong delivery would be seen.
    static void Settle(const TWindowPick& APick) {
        QElapsedTimer timer;
        timer.start();
        while (APick.IsPending() && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(300);
    }

    static inline TPatternWindow* FTarget = nullptr;
    static inline TPatternWindow* FOther = nullptr;
    static inline TPatternWindow* FPalette = nullptr;
    static inline TPatternWindow* FPopup = nullptr;
    std::vector<std::uint32_t> FPicked;
    int FCancelled = 0;
};

} // namespace

TEST_F(WindowPick, ALeftReleaseGivesTheClientUnderThePointerAndTheClickStillArrives) {
    const TPlacement target = Placement(Id(FTarget));
    const TPlacement palette = Placement(Id(FPalette));
    ASSERT_GT(target.Extents[2], 0) << "openbox gives the window a title bar";
    ASSERT_GT(palette.Extents[2], 0);
    const struct {
        const char* name;
        const QWidget* activeBefore;
        QPoint point;
        std::optional<std::uint32_t> picked; // none: the pick ends cancelled
        int targetPresses;
        int popupPresses;
    } cases[] = {
        {"client body", FOther, target.Origin + QPoint(40, 40), Id(FTarget), 1, 0},
        // The pointer chain ends in a decoration; the client is found in the frame.
        {"title bar", FOther, target.Origin + QPoint(60, -target.Extents[2] / 2), Id(FTarget), 0, 0},
        // The same where the click does not move the focus: the active window is another one.
        {"title bar of a window taking no focus", FTarget,
         palette.Origin + QPoint(60, -palette.Extents[2] / 2), Id(FPalette), 0, 0},
        // No client under the pointer: the active window, which owns such a popup.
        {"override-redirect popup", FOther, FPopup->geometry().topLeft() + QPoint(20, 20), Id(FOther), 0, 1},
        // A miss ends the pick rather than capturing whichever window happens to be active.
        {"bare root", FTarget, QPoint(20, 1060), std::nullopt, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        Activate(c.activeBefore);
        TWindowPick pick;
        ASSERT_TRUE(StartPick(pick));
        EXPECT_TRUE(pick.IsPending());
        Click(c.point);
        Settle(pick);
        EXPECT_FALSE(pick.IsPending());
        if (c.picked) {
            EXPECT_EQ(FPicked, std::vector<std::uint32_t>{*c.picked});
            EXPECT_EQ(FCancelled, 0);
        } else {
            EXPECT_TRUE(FPicked.empty());
            EXPECT_EQ(FCancelled, 1);
        }
        EXPECT_EQ(FTarget->Presses, c.targetPresses);
        EXPECT_EQ(FPopup->Presses, c.popupPresses);
    }
}

TEST_F(WindowPick, OtherButtonsAndKeysLeaveThePickPendingAndEscapeEndsIt) {
    const QPoint body = Placement(Id(FTarget)).Origin + QPoint(40, 40);
    TWindowPick pick;
    ASSERT_TRUE(StartPick(pick));
    ASSERT_EQ(SharedDesktop().Run("xdotool", {"mousemove", QString::number(body.x()),
                                              QString::number(body.y()), "click", "3", "key", "a"}),
              0);
    QTest::qWait(300);
    EXPECT_TRUE(pick.IsPending());
    ASSERT_EQ(SharedDesktop().Run("xdotool", {"key", "Escape"}), 0);
    Settle(pick);
    EXPECT_FALSE(pick.IsPending());
    EXPECT_EQ(FCancelled, 1);
    // The pick is over: a later click picks nothing.
    Click(body);
    QTest::qWait(300);
    EXPECT_TRUE(FPicked.empty());
    EXPECT_EQ(FCancelled, 1);
}

TEST_F(WindowPick, ASecondStartWhilePendingIsRefusedAndOneClickGivesOneCallback) {
    const QPoint body = Placement(Id(FTarget)).Origin + QPoint(40, 40);
    TWindowPick pick;
    int secondCalls = 0;
    bool pendingInCallback = true;
    ASSERT_TRUE(pick.Start([&](std::uint32_t AWindow) {
        FPicked.push_back(AWindow);
        pendingInCallback = pick.IsPending();
    }));
    EXPECT_FALSE(pick.Start([&](std::uint32_t) { ++secondCalls; }, [&] { ++secondCalls; }));
    Click(body);
    Settle(pick);
    EXPECT_EQ(FPicked, std::vector<std::uint32_t>{Id(FTarget)});
    EXPECT_EQ(secondCalls, 0);
    EXPECT_FALSE(pendingInCallback) << "the callback may start the next pick";
    EXPECT_EQ(FTarget->Presses, 1);
    // Once delivered, the same object picks again.
    ASSERT_TRUE(StartPick(pick));
    Click(body);
    Settle(pick);
    EXPECT_EQ(FPicked, (std::vector<std::uint32_t>{Id(FTarget), Id(FTarget)}));
}

TEST_F(WindowPick, CancelAndDestructionEndAPendingPickSilently) {
    const QPoint body = Placement(Id(FTarget)).Origin + QPoint(40, 40);
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "cancelled");
        Reset();
        auto pick = std::make_unique<TWindowPick>();
        ASSERT_TRUE(StartPick(*pick));
        if (destroy) {
            pick.reset();
        } else {
            pick->Cancel();
            EXPECT_FALSE(pick->IsPending());
        }
        Click(body);
        QTest::qWait(300);
        EXPECT_TRUE(FPicked.empty());
        EXPECT_EQ(FCancelled, 0);
        EXPECT_EQ(FTarget->Presses, 1);
    }
}

TEST_F(WindowPick, APickedWindowSnapsWithItsPatternAndTitle) {
    const TPlacement target = Placement(Id(FTarget));
    TWindowPick pick;
    ASSERT_TRUE(StartPick(pick));
    Click(target.Origin + QPoint(40, 40));
    Settle(pick);
    ASSERT_EQ(FPicked, std::vector<std::uint32_t>{Id(FTarget)});
    QImage picture;
    QString title;
    ASSERT_TRUE(TBitmapFHelper::SnapShotWindow(FPicked.front(), picture, title));
    EXPECT_EQ(title, QStringLiteral("Pick target \u03a9"));
    // The picture is the frame; the client lies inside it at the frame's left and top extents.
    const auto [left, right, top, bottom] = target.Extents;
    EXPECT_EQ(picture.size(), ClientSize + QSize(left + right, top + bottom));
    EXPECT_TRUE(picture.copy(QRect(QPoint(left, top), ClientSize)) == ClientPattern());
}

TEST_F(WindowPick, AnUnreachableDisplayRaises) {
    TWindowPick pick(":999");
    EXPECT_THROW(StartPick(pick), EWindowPick);
    EXPECT_FALSE(pick.IsPending());
}
