#include "platform/window_move.h"

#include <QAbstractButton>
#include <QMouseEvent>

namespace pxh {

TPXHWindowMove::TPXHWindowMove(QWidget* AForm, TMovingEvent AOnMoving)
    : FForm(AForm)
    , FOnMoving(std::move(AOnMoving)) {
    AForm->installEventFilter(this);
}

void TPXHWindowMove::AddControl(QWidget* AControl) {
    // Qt moves an installed filter to the front instead of adding it twice.
    AControl->installEventFilter(this);
}

bool TPXHWindowMove::eventFilter(QObject* AWatched, QEvent* AEvent) {
    if (!FForm)
        return false;
    switch (AEvent->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(AEvent);
        FWasMoved = false;
        // A drag starts with the left button alone: a modifier or a second button keeps the press a click.
        if (mouse->buttons() == Qt::LeftButton && mouse->modifiers() == Qt::NoModifier) {
            FPos = mouse->globalPosition().toPoint();
            FCaptured = true; // Qt's implicit grab keeps the moves on the pressed widget
        }
        return false;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(AEvent);
        if (!FCaptured)
            return false;
        const QPoint position = mouse->globalPosition().toPoint();
        const QPoint offset = position - FPos;
        if (offset.isNull() || (FOnMoving && !FOnMoving(FForm, offset)))
            return false;
        FPos = position;
        FForm->move(FForm->pos() + offset);
        FWasMoved = true;
        return false;
    }
    case QEvent::MouseButtonRelease:
        FCaptured = false;
        if (!FWasMoved)
            return false;
        // The release of a drag is not a click; a button must not stay drawn pressed either.
        if (auto* button = qobject_cast<QAbstractButton*>(AWatched))
            button->setDown(false);
        return true;
    default:
        return false;
    }
}

} // namespace pxh
