// The full-screen form over a frozen snapshot in which the user drags, adjusts and pins a capture area.
#pragma once

#include "capture/capture_settings.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <memory>

class QLineEdit;
class QTimer;
class QToolButton;
class QWidget;

namespace pxh {

class TX11Screen;
class TPointerConfinement;

enum class TCaptureState { csPoint, csArea, csEditArea };
enum class TEditAreaState {
    easNone,
    easMove,
    easTopLeft,
    easTopRight,
    easBottomLeft,
    easBottomRight,
    easLeft,
    easRight,
    easTop,
    easBottom
};

class TCaptureForm : public QDialog {
    Q_OBJECT
public:
    // ASettings outlives the form; OK writes the pin into it. AScreen null means the program's X connection.
    explicit TCaptureForm(TCaptureSettings& ASettings, TX11Screen* AScreen = nullptr,
                          QWidget* AParent = nullptr);
    ~TCaptureForm() override;

    // Freezes the desktop (or the display under the pointer with PerMonitor). False when the grab failed.
    bool CreateSnapshot();
    // The frozen picture given directly: APhysical covers ARootRect (physical root pixels) at display
    // scale AZoom. The pointer starts at APointer (form coordinates).
    void SetSnapshot(const QImage& APhysical, const QRect& ARootRect, qreal AZoom,
                     const QPointF& APointer = {});

    // The chosen area in physical pixels and its root rectangle (both edge pixels included) after OK.
    const QImage& ResultImage() const { return FResultImage; }
    const QRect& ResultRect() const { return FResultRect; }
    TCaptureState CaptureState() const { return FCaptureState; }
    // The selection in form coordinates (unnormalised while dragging).
    QRectF Selection() const { return FSelection; }
    void Localize();
    // A plain click then captures the window under the pointer instead of cancelling.
    void SetPickWindow(bool AValue) { FPickWindow = AValue; }
    // Makes the kept window's back buffer for a screen of ASize logical pixels ahead of the first capture
    // (at program start), so that the first hot key does not fault it in.
    static void Prepare(const QSize& ASize);
    // Showing and hiding take the process-wide window the form lies in along.
    void setVisible(bool AVisible) override;

protected:
    void showEvent(QShowEvent* AEvent) override;
    void hideEvent(QHideEvent* AEvent) override;
    void paintEvent(QPaintEvent* AEvent) override;
    void mousePressEvent(QMouseEvent* AEvent) override;
    void mouseMoveEvent(QMouseEvent* AEvent) override;
    void mouseReleaseEvent(QMouseEvent* AEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* AEvent) override;
    void keyPressEvent(QKeyEvent* AEvent) override;
    bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

private:
    void PlaceOnScreen(const QRect& ALogical);
    void BuildEditPanel();
    void ApplyPinnedArea();
    QPointF Snap(const QPointF& APoint) const;
    QRectF Normalized(const QRectF& ARect) const;
    qreal MaxX() const;
    qreal MaxY() const;
    QRectF ClampToPicture(const QRectF& ARect) const;
    bool IsTiny(const QRectF& ARect) const;
    void EnterEditArea();
    void BackToPoint();
    void UpdateHandles();
    TEditAreaState HandleAt(const QPointF& APoint) const;
    void UpdateEditCursor(const QPointF& APoint);
    void DragEdit(const QPointF& APoint);
    void PlaceEditPanel();
    void FillEditFields();
    void OnSizeEdited(bool AWidth, const QString& AText);
    void CopyPixelColor(const QPointF& APoint);
    QPoint PhysicalOf(const QPointF& APoint) const;
    QRgb PixelAt(const QPointF& APoint) const;
    void DoOk();
    bool PickWindowAt(const QPointF& APoint);
    void MovePointer(int ADx, int ADy);
    void OnFocusWindowChanged();
    void TryKeyboardGrab();

    QRegion OverlayRegion() const;
    QRegion BrightRegion() const;
    void Refresh(const QRegion& AOldOverlay, const QRegion& AOldBright);
    // The pane's first line: the pointer's root position, or the selection's size in pixels.
    QString PaneLine() const;

    TCaptureSettings& FSettings;
    TX11Screen* FScreen;
    // The kept full-screen window the form fills; none when the form is a window of its own (it has a
    // parent, or another form holds the kept window).
    QPointer<QWidget> FHost;
    qreal FZoom = 1;
    QImage FScaled;
    QImage FOriginal;
    QRect FRootRect;
    QImage FResultImage;
    QRectF FSelection;
    QRectF FSelPrev;
    QPointF FPrevPoint;
    QPointF FPointer;
    QRectF FRZoom;
    QRectF FRText;
    QRectF FSelTL, FSelTR, FSelBL, FSelBR, FSelT, FSelL, FSelB, FSelR;
    QRect FResultRect;
    TCaptureState FCaptureState = TCaptureState::csPoint;
    TEditAreaState FEditAreaState = TEditAreaState::easNone;
    bool FWasActive = false;
    bool FPickWindow = false;
    bool FKeyboardGrabbed = false;
    int FGrabTries = 0;
    QTimer* FGrabTimer = nullptr;
    // Per-monitor mode keeps the pointer on the captured display while the form is shown.
    std::unique_ptr<TPointerConfinement> FConfinement;

    QWidget* pnlEditArea = nullptr;
    QLineEdit* edtWidth = nullptr;
    QLineEdit* edtHeight = nullptr;
    QToolButton* btnOk = nullptr;
    QToolButton* btnPin = nullptr;
    QToolButton* btnClose = nullptr;
    QToolButton* btnSizeH = nullptr;
    QToolButton* btnSizeV = nullptr;
};

} // namespace pxh
