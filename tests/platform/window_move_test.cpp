// A borderless form dragged by its body and by an added control, with the presses that must stay clicks.
#include "platform/window_move.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

using namespace pxh;

namespace {

class WindowMove : public testing::Test {
protected:
    void SetUp() override {
        FClicks = 0;
        FForm = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        FForm->setGeometry(100, 100, 200, 120);
        FButton = new QPushButton(QStringLiteral("Handle"), FForm.get()); // owned by the form
        FButton->setGeometry(10, 10, 80, 30);
        FForm->show();
        QObject::connect(FButton, &QPushButton::clicked, [this] { ++FClicks; });
    }

    // Sends one mouse event with the pointer at the global position, as the window system would.
    void Send(QWidget* ATarget, QEvent::Type AType, const QPoint& AGlobal, Qt::MouseButton AButton,
              Qt::MouseButtons AButtons, Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
        const QPointF local = ATarget->mapFromGlobal(QPointF(AGlobal));
        QMouseEvent event(AType, local, local, QPointF(AGlobal), AButton, AButtons, AModifiers);
        QApplication::sendEvent(ATarget, &event);
    }
    // A press, moves along the path and the release, all with one button.
    void Drag(QWidget* ATarget, const std::vector<QPoint>& APath, Qt::MouseButton AButton = Qt::LeftButton,
              Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
        Send(ATarget, QEvent::MouseButtonPress, APath.front(), AButton, AButton, AModifiers);
        for (std::size_t i = 1; i < APath.size(); ++i)
            Send(ATarget, QEvent::MouseMove, APath[i], Qt::NoButton, AButton, AModifiers);
        Send(ATarget, QEvent::MouseButtonRelease, APath.back(), AButton, Qt::NoButton, AModifiers);
    }

    std::unique_ptr<QWidget> FForm;
    QPushButton* FButton = nullptr;
    int FClicks = 0;
};

} // namespace

TEST_F(WindowMove, OnlyALeftButtonDragOnTheFormOrAHandleMovesItAndNeverClicks) {
    const struct {
        const char* name;
        bool onButton;
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
        std::vector<QPoint> path;
        QPoint expectedPos;
        bool moved;
        int clicks;
    } cases[] = {
        // clang-format off
        {"body drag in two steps", false, Qt::LeftButton, Qt::NoModifier,
         {{150, 150}, {160, 155}, {190, 120}}, {140, 70}, true, 0},
        {"handle drag", true, Qt::LeftButton, Qt::NoModifier, {{120, 120}, {20, 300}}, {0, 280}, true, 0},
        // The pointer stays on the handle: its release would click it and leave it drawn pressed.
        {"short handle drag", true, Qt::LeftButton, Qt::NoModifier, {{120, 120}, {125, 122}}, {105, 102}, true, 0},
        {"handle click without a move", true, Qt::LeftButton, Qt::NoModifier,
         {{120, 120}, {120, 120}}, {100, 100}, false, 1},
        {"right button", false, Qt::RightButton, Qt::NoModifier, {{150, 150}, {250, 250}}, {100, 100}, false, 0},
        {"shift with the left button", true, Qt::LeftButton, Qt::ShiftModifier,
         {{120, 120}, {130, 125}}, {100, 100}, false, 1},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // a fresh form at its place per case
        TPXHWindowMove move(FForm.get());
        move.AddControl(FButton);
        move.AddControl(FButton);
        Drag(c.onButton ? static_cast<QWidget*>(FButton) : FForm.get(), c.path, c.button, c.modifiers);
        EXPECT_EQ(FForm->pos(), c.expectedPos);
        EXPECT_EQ(move.WasMoved(), c.moved);
        EXPECT_EQ(FClicks, c.clicks);
        EXPECT_FALSE(FButton->isDown());
    }
}

TEST_F(WindowMove, TheMovingEventSeesEachOffsetAndCanHoldTheFormBack) {
    std::vector<QPoint> offsets;
    // Only moves to the right are allowed: a refused step is measured again from the same place.
    TPXHWindowMove move(FForm.get(), [&](QWidget* AForm, const QPoint& AOffset) {
        EXPECT_EQ(AForm, FForm.get());
        offsets.push_back(AOffset);
        return AOffset.y() == 0;
    });
    Drag(FForm.get(), {{150, 150}, {150, 170}, {170, 150}, {180, 150}});
    EXPECT_EQ(offsets, (std::vector<QPoint>{{0, 20}, {20, 0}, {10, 0}}));
    EXPECT_EQ(FForm->pos(), QPoint(130, 100));
    EXPECT_TRUE(move.WasMoved());

    // The next press starts afresh.
    Drag(FForm.get(), {{150, 150}, {150, 150}});
    EXPECT_FALSE(move.WasMoved());
}
