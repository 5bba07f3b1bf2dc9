// The capture form offscreen: loupe placement, and input scripts against an injected coded snapshot.
#include "capture/capture_form.h"
#include "capture/capture_layout.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace pxh {
namespace {

TEST(CaptureLoupePlacement, EveryCaseKeepsBothBoxesBesideThePointer) {
    struct TCase {
        const char* Name;
        QPointF P;
        qreal L, T, R, B;
        bool Zoom, Pane;
        QPointF Loupe, PaneAt;
    };
    const std::vector<TCase> cases = {
        {"point, room everywhere", {500, 400}, 500, 400, 500, 400, true, true, {506, 406}, {384, 406}},
        {"near the right edge", {950, 400}, 950, 400, 950, 400, true, true, {856, 406}, {740, 406}},
        {"near the bottom", {500, 750}, 500, 750, 500, 750, true, true, {506, 656}, {512, 589}},
        {"bottom-right corner", {950, 750}, 950, 750, 950, 750, true, true, {856, 650}, {746, 683}},
        {"leftward with room", {300, 500}, 500, 400, 300, 500, true, true, {206, 506}, {184, 433}},
        {"leftward at the left edge", {50, 500}, 500, 400, 50, 500, true, true, {56, 506}, {144, 506}},
        {"upward near the top", {600, 50}, 500, 400, 600, 50, true, true, {606, 56}, {496, 144}},
        {"leftward near the bottom", {300, 750}, 500, 100, 300, 750, true, true, {206, 656}, {184, 601}},
        {"no pane", {500, 400}, 500, 400, 500, 400, true, false, {506, 406}, {384, 406}},
        {"no loupe: no quadrant offset", {500, 400}, 500, 400, 500, 400, false, true, {500, 400}, {384, 406}},
    };
    for (const TCase& c : cases) {
        const TLoupePlacement placement =
            PlaceLoupeAndPane({c.P, c.L, c.T, c.R, c.B, 1000, 800, c.Zoom, c.Pane, 1});
        EXPECT_EQ(placement.Loupe, QRectF(c.Loupe, QSizeF(88, 88))) << c.Name;
        EXPECT_EQ(placement.Pane, QRectF(c.PaneAt, QSizeF(110, 55))) << c.Name;
    }
    // At 1.5 the boxes sit on whole physical pixels.
    const TLoupePlacement scaled =
        PlaceLoupeAndPane({{100.3, 100.3}, 100.3, 100.3, 100.3, 100.3, 1000, 800, true, true, 1.5});
    EXPECT_DOUBLE_EQ(scaled.Loupe.x() * 1.5, std::round(scaled.Loupe.x() * 1.5));
}

// Each pixel's colour encodes its picture position.
QImage Coded(int AW, int AH) {
    QImage image(AW, AH, QImage::Format_RGB32);
    for (int y = 0; y < AH; ++y) {
        for (int x = 0; x < AW; ++x) {
            image.setPixel(x, y, 0xFF000000u | unsigned(x << 12) | unsigned(y));
        }
    }
    return image;
}

enum class TStep {
    Hover,
    Press,
    Move,
    Release,
    RightPress,
    RightReleaseHoldingLeft,
    Middle,
    DoubleClick,
    Enter,
    Escape
};
struct TInput {
    TStep Step;
    QPointF At;
    Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
};

class CaptureFormScript : public testing::Test {
protected:
    void Open(qreal AZoom = 1, QPoint ARootOrigin = {}) {
        FPicture = Coded(int(400 * AZoom), int(300 * AZoom));
        FPicture.setPixel(int(50 * AZoom), int(50 * AZoom), qRgb(255, 0, 0));
        FForm = std::make_unique<TCaptureForm>(FSettings);
        FForm->SetSnapshot(FPicture, QRect(ARootOrigin, FPicture.size()), AZoom, {5, 5});
    }
    void Mouse(QEvent::Type AType, const QPointF& AAt, Qt::MouseButton AButton, Qt::MouseButtons AHeld,
               Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
        QMouseEvent event(AType, AAt, FForm->mapToGlobal(AAt), AButton, AHeld, AModifiers);
        QApplication::sendEvent(FForm.get(), &event);
    }
    void Run(const std::vector<TInput>& AScript) {
        for (const TInput& in : AScript) {
            switch (in.Step) {
            case TStep::Press:
                Mouse(QEvent::MouseButtonPress, in.At, Qt::LeftButton, Qt::LeftButton, in.Modifiers);
                break;
            case TStep::Hover:
                Mouse(QEvent::MouseMove, in.At, Qt::NoButton, Qt::NoButton, in.Modifiers);
                break;
            case TStep::Move:
                Mouse(QEvent::MouseMove, in.At, Qt::NoButton, Qt::LeftButton, in.Modifiers);
                break;
            case TStep::Release:
                Mouse(QEvent::MouseButtonRelease, in.At, Qt::LeftButton, Qt::NoButton, in.Modifiers);
                break;
            case TStep::RightPress:
                Mouse(QEvent::MouseButtonPress, in.At, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
                break;
            case TStep::RightReleaseHoldingLeft:
                Mouse(QEvent::MouseButtonRelease, in.At, Qt::RightButton, Qt::LeftButton);
                break;
            case TStep::Middle:
                Mouse(QEvent::MouseButtonPress, in.At, Qt::MiddleButton, Qt::MiddleButton);
                break;
            case TStep::DoubleClick:
                Mouse(QEvent::MouseButtonDblClick, in.At, Qt::LeftButton, Qt::LeftButton);
                break;
            case TStep::Enter:
                QTest::keyClick(FForm.get(), Qt::Key_Return);
                break;
            case TStep::Escape:
                QTest::keyClick(FForm.get(), Qt::Key_Escape);
                break;
            }
        }
    }
    std::vector<TInput> Drag(QPointF AFrom, QPointF ATo, Qt::KeyboardModifiers AOnRelease = Qt::NoModifier) {
        return {{TStep::Hover, AFrom},
                {TStep::Press, AFrom},
                {TStep::Move, (AFrom + ATo) / 2},
                {TStep::Move, ATo},
                {TStep::Release, ATo, AOnRelease}};
    }
    QLineEdit* Field(const char* AName) { return FForm->findChild<QLineEdit*>(QLatin1String(AName)); }
    void Type(QLineEdit* AField, const QString& AText) {
        AField->clear();
        QTest::keyClicks(AField, AText);
    }

    TCaptureSettings FSettings;
    QImage FPicture;
    std::unique_ptr<TCaptureForm> FForm;
};

TEST_F(CaptureFormScript, ScriptsEndInTheRightResult) {
    struct TCase {
        const char* Name;
        qreal Zoom;
        bool PerMonitor;
        QPoint Origin;
        std::vector<TInput> Script;
        bool Ok;
        QRect Rect; // root pixels, both edges included
    };
    const auto drag = [this](QPointF A, QPointF B) { return Drag(A, B); };
    std::vector<TCase> cases = {
        {"press, drag, release",
         1,
         false,
         {},
         drag({10, 20}, {110, 70}),
         true,
         QRect(QPoint(10, 20), QPoint(110, 70))},
        {"drag bottom-right to top-left",
         1,
         false,
         {},
         drag({110, 70}, {10, 20}),
         true,
         QRect(QPoint(10, 20), QPoint(110, 70))},
        {"click", 1, false, {}, drag({30, 30}, {30, 30}), false, QRect()},
        {"1 x 1 drag", 1, false, {}, drag({30, 30}, {31, 31}), false, QRect()},
        {"a thin area is valid", 1, false, {}, drag({10, 40}, {110, 40}), true, QRect(10, 40, 101, 1)},
        {"drag past the edge stops on the picture",
         1,
         false,
         {},
         drag({300, 200}, {900, 900}),
         true,
         QRect(QPoint(300, 200), QPoint(399, 299))},
        {"middle press cancels", 1, false, {}, {{TStep::Middle, {10, 10}}}, false, QRect()},
        {"Escape cancels", 1, false, {}, {{TStep::Escape, {}}}, false, QRect()},
        {"Enter in edit mode",
         1,
         false,
         {},
         [&] {
             auto s = Drag({10, 20}, {60, 70}, Qt::ShiftModifier);
             s.push_back({TStep::Enter, {}});
             return s;
         }(),
         true,
         QRect(QPoint(10, 20), QPoint(60, 70))},
        {"double-click in edit mode",
         1,
         false,
         {},
         [&] {
             auto s = Drag({10, 20}, {60, 70}, Qt::ShiftModifier);
             s.push_back({TStep::DoubleClick, {30, 30}});
             return s;
         }(),
         true,
         QRect(QPoint(10, 20), QPoint(60, 70))},
        {"scale 1.5, desktop-wide, desktop offset",
         1.5,
         false,
         {100, 50},
         drag({10, 20}, {110, 70}),
         true,
         QRect(115, 80, 151, 76)},
        {"scale 1.5, per monitor",
         1.5,
         true,
         {1920, 0},
         drag({10, 20}, {110, 70}),
         true,
         QRect(1935, 30, 151, 76)},
    };
    for (TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FSettings = {};
        FSettings.PerMonitor = c.PerMonitor;
        Open(c.Zoom, c.Origin);
        Run(c.Script);
        EXPECT_EQ(FForm->result(), c.Ok ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(FForm->ResultRect(), c.Rect);
        if (c.Ok) {
            EXPECT_EQ(FForm->ResultImage(), FPicture.copy(c.Rect.translated(-c.Origin)));
        } else {
            EXPECT_TRUE(FForm->ResultImage().isNull());
        }
    }
}

TEST_F(CaptureFormScript, ShiftClickCopiesThePixelColour) {
    Open();
    QApplication::clipboard()->clear();
    Run(Drag({50, 50}, {50, 50}, Qt::ShiftModifier));
    EXPECT_EQ(FForm->result(), QDialog::Rejected);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("FF0000"));
}

TEST_F(CaptureFormScript, EditModeEntriesAndSizeFields) {
    Open();
    // The other button during a reversed drag: the fields count the same pixels as the pane.
    Run({{TStep::Hover, {109, 70}},
         {TStep::Press, {109, 70}},
         {TStep::Move, {10, 20}},
         {TStep::RightPress, {10, 20}},
         {TStep::RightReleaseHoldingLeft, {10, 20}}});
    ASSERT_EQ(FForm->CaptureState(), TCaptureState::csEditArea);
    EXPECT_EQ(Field("edtWidth")->text(), QStringLiteral("100"));
    EXPECT_EQ(Field("edtHeight")->text(), QStringLiteral("51"));
    EXPECT_EQ(FForm->Selection(), QRectF(QPointF(10, 20), QPointF(109, 70)));

    Type(Field("edtWidth"), QStringLiteral("100"));
    EXPECT_EQ(FForm->Selection().width(), 99);
    Type(Field("edtWidth"), QStringLiteral("0"));
    EXPECT_EQ(FForm->Selection().width(), 0);
    // Beyond the right edge: the field shows the largest possible value.
    Type(Field("edtWidth"), QStringLiteral("9999"));
    EXPECT_EQ(Field("edtWidth")->text(), QStringLiteral("390"));
    EXPECT_EQ(FForm->Selection().right(), 399);
    Type(Field("edtHeight"), QStringLiteral("5x1"));
    EXPECT_EQ(Field("edtHeight")->text(), QStringLiteral("51"));

    // A bottom edge dragged past the picture stops on its last row.
    Run({{TStep::Hover, {200, 70}},
         {TStep::Press, {200, 70}},
         {TStep::Move, {200, 900}},
         {TStep::Release, {200, 900}}});
    EXPECT_EQ(FForm->Selection().bottom(), 299);
    EXPECT_EQ(FForm->CaptureState(), TCaptureState::csEditArea);
    Run({{TStep::Enter, {}}});
    EXPECT_EQ(FForm->ResultRect(), QRect(QPoint(10, 20), QPoint(399, 299)));
}

TEST_F(CaptureFormScript, PinnedAreaReturnsAndCanBeReleased) {
    struct TCase {
        const char* Name;
        QRect Pinned;
        bool EditMode;
        QRectF Selection;
    };
    const std::vector<TCase> cases = {
        {"inside", QRect(20, 30, 101, 51), true, QRectF(QPointF(20, 30), QPointF(120, 80))},
        {"partly outside: clipped", QRect(350, 250, 200, 200), true,
         QRectF(QPointF(350, 250), QPointF(399, 299))},
        {"wholly outside: free selection", QRect(1000, 1000, 50, 50), false, QRectF()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FSettings = {};
        FSettings.CapturePinned = true;
        FSettings.CaptureRect = c.Pinned;
        Open();
        ASSERT_EQ(FForm->CaptureState() == TCaptureState::csEditArea, c.EditMode);
        if (c.EditMode) {
            EXPECT_EQ(FForm->Selection(), c.Selection);
            EXPECT_TRUE(FForm->findChild<QToolButton*>(QStringLiteral("btnPin"))->isChecked());
        }
    }
    // Escape and releasing the pin both return to free selection; OK with the pin keeps the area.
    FSettings = {true, true, true, true, QRect(20, 30, 101, 51)};
    Open();
    Run({{TStep::Escape, {}}});
    EXPECT_EQ(FForm->CaptureState(), TCaptureState::csPoint);
    EXPECT_EQ(FForm->result(), QDialog::Rejected);
    EXPECT_FALSE(FForm->findChild<QToolButton*>(QStringLiteral("btnPin"))->isChecked());
    Open();
    FForm->findChild<QToolButton*>(QStringLiteral("btnPin"))->click();
    EXPECT_EQ(FForm->CaptureState(), TCaptureState::csPoint);
    FSettings.CapturePinned = true;
    Open();
    Run({{TStep::Enter, {}}});
    EXPECT_EQ(FForm->ResultRect(), QRect(20, 30, 101, 51));
    EXPECT_TRUE(FSettings.CapturePinned);
    EXPECT_EQ(FSettings.CaptureRect, QRect(20, 30, 101, 51));
}

TEST_F(CaptureFormScript, PaintingFollowsThePointerInEveryState) {
    Open();
    FForm->resize(400, 300);
    for (const auto& script : {std::vector<TInput>{{TStep::Hover, {0, 0}}, {TStep::Hover, {399, 299}}},
                               std::vector<TInput>{{TStep::Press, {395, 295}}, {TStep::Move, {2, 3}}}}) {
        Run(script);
        const QImage shot = FForm->grab().toImage();
        EXPECT_EQ(shot.size(), QSize(400, 300));
    }
}

// The forms lie in one kept full-screen window: closing or destroying a shown form must not leave that
// empty window over the desktop.
TEST_F(CaptureFormScript, TheKeptScreenWindowHidesWithTheForm) {
    Open();
    QWidget* host = FForm->window();
    ASSERT_NE(host, FForm.get());
    FForm->show();
    ASSERT_TRUE(host->isVisible());
    FForm->reject();
    EXPECT_FALSE(host->isVisible());
    FForm->show();
    ASSERT_TRUE(host->isVisible());
    FForm.reset();
    EXPECT_FALSE(host->isVisible());
    Open();
    EXPECT_EQ(FForm->window(), host);
}

// The darkening is blended while painting: outside the selection 30 % of each channel is left, inside
// the picture is untouched, and moving the selection's corner brightens and darkens the right parts.
TEST_F(CaptureFormScript, OnlyTheAreaOutsideTheSelectionIsDarkened) {
    Open();
    FForm->resize(400, 300);
    const auto dimmed = [](QRgb AColor) {
        return qRgb(qRed(AColor) * 3 / 10, qGreen(AColor) * 3 / 10, qBlue(AColor) * 3 / 10);
    };
    const auto expectShown = [&](const QImage& AShot, QPoint AAt, bool ADimmed) {
        const QRgb original = FPicture.pixel(AAt);
        const QRgb expected = ADimmed ? dimmed(original) : original;
        const QRgb shown = AShot.pixel(AAt);
        for (const int shift : {16, 8, 0}) {
            EXPECT_NEAR(int(shown >> shift & 0xFF), int(expected >> shift & 0xFF), 2)
                << AAt.x() << "," << AAt.y();
        }
    };
    Run({{TStep::Hover, {100, 100}}, {TStep::Press, {100, 100}}, {TStep::Move, {200, 180}}});
    QImage shot = FForm->grab().toImage();
    expectShown(shot, {150, 150}, false);
    expectShown(shot, {300, 250}, true);
    expectShown(shot, {50, 150}, true);
    Run({{TStep::Move, {320, 260}}});
    shot = FForm->grab().toImage();
    expectShown(shot, {300, 250}, false);
    Run({{TStep::Move, {140, 130}}});
    shot = FForm->grab().toImage();
    // Away from the loupe and the pane, which now sit beside the pointer.
    expectShown(shot, {150, 280}, true);
    expectShown(shot, {120, 120}, false);
}

} // namespace
} // namespace pxh
