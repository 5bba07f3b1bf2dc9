// Lets a borderless form be dragged by its body and by the controls added to it.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace pxh {

class TPXHWindowMove : public QObject {
public:
    // Receives the form and the proposed offset; answers whether the form may move by it.
    using TMovingEvent = std::function<bool(QWidget* AForm, const QPoint& AOffset)>;

    // The form's class keeps the helper (a member); either may go first.
    explicit TPXHWindowMove(QWidget* AForm, TMovingEvent AOnMoving = {});

    // Makes a control a drag handle too; adding it again changes nothing.
    void AddControl(QWidget* AControl);
    // Whether the last press moved the form: a press that moved it is a drag, not a click.
    bool WasMoved() const { return FWasMoved; }

protected:
    bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

private:
    QPointer<QWidget> FForm;
    TMovingEvent FOnMoving;
    QPoint FPos; // the pointer's last screen position while captured
    bool FWasMoved = false;
    bool FCaptured = false;
};

} // namespace pxh
