// The capture form: states, handles, edit panel and region-wise painting of its picture and overlay.
#include "capture/capture_form.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "capture/bitmap_helper.h"
#include "capture/capture_layout.h"
#include "capture/capture_overlay.h"
#include "capture/x11_screen.h"

#include <QBackingStore>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace pxh {
namespace {

constexpr qreal HandleHalf = 5;
constexpr qreal Gap = 6;
constexpr int PanelWidth = 312;
constexpr int PanelHeight = 50;
constexpr qreal DimOpacity = 0.7;

// Round half away from zero, as the form's pixel counts do.
int RoundAway(qreal AValue) {
    return static_cast<int>(std::lround(AValue));
}

QRect Grown(const QRectF& ARect, int AMargin) {
    return ARect.normalized().toAlignedRect().adjusted(-AMargin, -AMargin, AMargin, AMargin);
}

constexpr Qt::WindowFlags ScreenWindowFlags =
    Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint;

// The full-screen window the forms are shown in, kept for the whole process and hidden between captures.
// A new window faults in a fresh screen-sized back buffer for its first frame, which was most of the time
// from the hot key to that frame; a kept one paints into memory that is already there. None while
// another form holds it.
QWidget* FreeHost() {
    static QPointer<QWidget> host;
    if (!host) {
        host = new QWidget(nullptr, ScreenWindowFlags);
        host->setObjectName(QStringLiteral("CaptureHost"));
        host->setAttribute(Qt::WA_NoSystemBackground);
        // Widgets must go before the application does.
        qAddPostRoutine([] { delete host.data(); });
    }
    if (host->findChild<TCaptureForm*>(QString(), Qt::FindDirectChildrenOnly)) {
        return nullptr;
    }
    return host;
}

} // namespace

TCaptureForm::TCaptureForm(TCaptureSettings& ASettings, TX11Screen* AScreen, QWidget* AParent)
    : QDialog(AParent, ScreenWindowFlags)
    , FSettings(ASettings)
    , FScreen(AScreen) {
    if (!AParent) {
        FHost = FreeHost();
        if (FHost) {
            setParent(FHost, Qt::Widget);
        }
    }
    setObjectName(QStringLiteral("CaptureForm"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::BlankCursor);
    BuildEditPanel();
    FGrabTimer = new QTimer(this);
    FGrabTimer->setInterval(20);
    connect(FGrabTimer, &QTimer::timeout, this, &TCaptureForm::TryKeyboardGrab);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &TCaptureForm::OnFocusWindowChanged);
    Localize();
}

TCaptureForm::~TCaptureForm() {
    // A form destroyed while shown must not leave the empty full-screen window over the desktop.
    if (FHost) {
        FHost->hide();
    }
}

void TCaptureForm::Prepare(const QSize& ASize) {
    QWidget* host = FreeHost();
    if (!host || ASize.isEmpty()) {
        return;
    }
    host->resize(ASize);
    host->winId();
    QBackingStore* store = host->backingStore();
    if (!store) {
        return;
    }
    store->resize(ASize);
    const QRegion all(QRect(QPoint(), ASize));
    store->beginPaint(all);
    if (auto* image = dynamic_cast<QImage*>(store->paintDevice())) {
        image->fill(Qt::black);
    }
    store->endPaint();
}

void TCaptureForm::setVisible(bool AVisible) {
    QDialog::setVisible(AVisible);
    if (!FHost) {
        return;
    }
    if (AVisible) {
        FHost->show();
        FHost->raise();
    } else {
        FHost->hide();
    }
}

void TCaptureForm::PlaceOnScreen(const QRect& ALogical) {
    if (FHost) {
        FHost->setGeometry(ALogical);
        setGeometry(QRect(QPoint(), ALogical.size()));
    } else {
        setGeometry(ALogical);
    }
}

void TCaptureForm::BuildEditPanel() {
    pnlEditArea = new QWidget(this);
    pnlEditArea->setObjectName(QStringLiteral("pnlEditArea"));
    pnlEditArea->setFixedSize(PanelWidth, PanelHeight);
    pnlEditArea->setAutoFillBackground(true);
    pnlEditArea->setCursor(Qt::ArrowCursor);
    const auto makeButton = [this](const char* AName, const QString& AText, int AX, int AWidth) {
        auto* button = new QToolButton(pnlEditArea);
        button->setObjectName(QLatin1String(AName));
        button->setText(AText);
        button->setGeometry(AX, 10, AWidth, 30);
        return button;
    };
    const auto makeField = [this](const char* AName, int AX) {
        auto* field = new QLineEdit(pnlEditArea);
        field->setObjectName(QLatin1String(AName));
        field->setMaxLength(4);
        field->setAlignment(Qt::AlignCenter);
        field->setGeometry(AX, 10, 56, 30);
        field->installEventFilter(this);
        return field;
    };
    btnSizeH = makeButton("btnSizeH", QStringLiteral("\u2194"), 8, 24);
    edtWidth = makeField("edtWidth", 34);
    btnSizeV = makeButton("btnSizeV", QStringLiteral("\u2195"), 98, 24);
    edtHeight = makeField("edtHeight", 124);
    btnOk = makeButton("btnOk", QStringLiteral("\u2713"), 190, 36);
    btnPin = makeButton("btnPin", QStringLiteral("\u2316"), 230, 36);
    btnClose = makeButton("btnClose", QStringLiteral("\u2715"), 270, 36);
    btnSizeH->setEnabled(false);
    btnSizeV->setEnabled(false);
    btnPin->setCheckable(true);
    connect(btnOk, &QToolButton::clicked, this, &TCaptureForm::DoOk);
    connect(btnClose, &QToolButton::clicked, this, &TCaptureForm::reject);
    connect(btnPin, &QToolButton::toggled, this, [this](bool AChecked) {
        if (!AChecked) {
            BackToPoint();
        }
    });
    // textEdited fires for the user's typing only, never for the program filling the fields.
    connect(edtWidth, &QLineEdit::textEdited, this,
            [this](const QString& AText) { OnSizeEdited(true, AText); });
    connect(edtHeight, &QLineEdit::textEdited, this,
            [this](const QString& AText) { OnSizeEdited(false, AText); });
    pnlEditArea->hide();
}

void TCaptureForm::Localize() {
    // The form's only texts are the pane's lines (112, 113), looked up at every paint.
    update();
}

bool TCaptureForm::CreateSnapshot() {
    try {
        TX11Screen& screen = FScreen ? *FScreen : TX11Screen::Application();
        const QPoint pointer = screen.PointerPosition();
        QRect area = screen.DesktopRect();
        if (FSettings.PerMonitor) {
            for (const TMonitorInfo& monitor : screen.Monitors()) {
                if (monitor.Rect.contains(pointer)) {
                    area = monitor.Rect;
                    break;
                }
            }
        }
        const qreal zoom = TBitmapFHelper::DisplayScaleAt(pointer, screen);
        QImage logical, physical;
        if (!TBitmapFHelper::SnapShotScreen(area, logical, physical, &screen, zoom)) {
            return false;
        }
        SetSnapshot(physical, QRect(area.topLeft(), physical.size()), zoom,
                    QPointF(pointer - area.topLeft()) / zoom);
        FScaled = logical;
        return true;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral("TCaptureForm.CreateSnapshot"));
        return false;
    }
}

void TCaptureForm::SetSnapshot(const QImage& APhysical, const QRect& ARootRect, qreal AZoom,
                               const QPointF& APointer) {
    FOriginal = APhysical.convertToFormat(QImage::Format_RGB32);
    FScaled = FOriginal;
    FRootRect = ARootRect;
    FZoom = AZoom > 0 ? AZoom : 1;
    const QSize logicalSize(RoundAway(FOriginal.width() / FZoom), RoundAway(FOriginal.height() / FZoom));
    PlaceOnScreen(
        QRect(QPoint(RoundAway(ARootRect.x() / FZoom), RoundAway(ARootRect.y() / FZoom)), logicalSize));
    FPointer = Snap(APointer);
    FPrevPoint = FPointer;
    FSelection = QRectF(FPointer, FPointer);
    FCaptureState = TCaptureState::csPoint;
    ApplyPinnedArea();
    update();
}

void TCaptureForm::ApplyPinnedArea() {
    if (!FSettings.CapturePinned || !FSettings.CaptureRect.isValid()) {
        return;
    }
    // The pin may come from another monitor layout: only the part on this picture is kept.
    const QRect area = FSettings.CaptureRect.translated(-FRootRect.topLeft()).intersected(FOriginal.rect());
    if (area.isEmpty() || (area.width() < 2 && area.height() < 2)) {
        const QSignalBlocker blocker(btnPin);
        btnPin->setChecked(false);
        return;
    }
    FSelection = QRectF(QPointF(area.left() / FZoom, area.top() / FZoom),
                        QPointF(area.right() / FZoom, area.bottom() / FZoom));
    {
        const QSignalBlocker blocker(btnPin);
        btnPin->setChecked(true);
    }
    EnterEditArea();
}

QPointF TCaptureForm::Snap(const QPointF& APoint) const {
    return QPointF(std::clamp(SnapToPhysical(APoint.x(), FZoom), 0.0, MaxX()),
                   std::clamp(SnapToPhysical(APoint.y(), FZoom), 0.0, MaxY()));
}

QRectF TCaptureForm::Normalized(const QRectF& ARect) const {
    return QRectF(QPointF(std::min(ARect.left(), ARect.right()), std::min(ARect.top(), ARect.bottom())),
                  QPointF(std::max(ARect.left(), ARect.right()), std::max(ARect.top(), ARect.bottom())));
}

// The form coordinate of the last physical pixel: every included pixel must lie on the picture.
qreal TCaptureForm::MaxX() const {
    return std::max(0, FOriginal.width() - 1) / FZoom;
}
qreal TCaptureForm::MaxY() const {
    return std::max(0, FOriginal.height() - 1) / FZoom;
}

QRectF TCaptureForm::ClampToPicture(const QRectF& ARect) const {
    const auto x = [this](qreal AValue) { return std::clamp(AValue, 0.0, MaxX()); };
    const auto y = [this](qreal AValue) { return std::clamp(AValue, 0.0, MaxY()); };
    return QRectF(QPointF(x(ARect.left()), y(ARect.top())), QPointF(x(ARect.right()), y(ARect.bottom())));
}

bool TCaptureForm::IsTiny(const QRectF& ARect) const {
    return std::abs(ARect.width()) < 2 && std::abs(ARect.height()) < 2;
}

void TCaptureForm::EnterEditArea() {
    // A reversed selection is normalised here so the fields and the pane count the same pixels.
    FSelection = Normalized(ClampToPicture(FSelection));
    FCaptureState = TCaptureState::csEditArea;
    FEditAreaState = TEditAreaState::easNone;
    setCursor(Qt::ArrowCursor);
    UpdateHandles();
    PlaceEditPanel();
    FillEditFields();
    pnlEditArea->show();
    update();
}

void TCaptureForm::BackToPoint() {
    {
        const QSignalBlocker blocker(btnPin);
        btnPin->setChecked(false);
    }
    pnlEditArea->hide();
    FCaptureState = TCaptureState::csPoint;
    FEditAreaState = TEditAreaState::easNone;
    FSelection = QRectF(FPointer, FPointer);
    setCursor(Qt::BlankCursor);
    update();
}

void TCaptureForm::UpdateHandles() {
    const QRectF s = FSelection;
    const qreal w = width(), h = height(), d = 2 * HandleHalf;
    const auto around = [d](qreal AX, qreal AY) { return QRectF(AX - HandleHalf, AY - HandleHalf, d, d); };
    FSelTL = around(s.left(), s.top());
    FSelTR = around(s.right(), s.top());
    FSelBL = around(s.left(), s.bottom());
    FSelBR = around(s.right(), s.bottom());
    FSelL = QRectF(s.left() - HandleHalf, 0, d, h);
    FSelR = QRectF(s.right() - HandleHalf, 0, d, h);
    FSelT = QRectF(0, s.top() - HandleHalf, w, d);
    FSelB = QRectF(0, s.bottom() - HandleHalf, w, d);
}

TEditAreaState TCaptureForm::HandleAt(const QPointF& APoint) const {
    const std::pair<const QRectF*, TEditAreaState> order[] = {
        {&FSelTL, TEditAreaState::easTopLeft},  {&FSelBR, TEditAreaState::easBottomRight},
        {&FSelTR, TEditAreaState::easTopRight}, {&FSelBL, TEditAreaState::easBottomLeft},
        {&FSelL, TEditAreaState::easLeft},      {&FSelR, TEditAreaState::easRight},
        {&FSelT, TEditAreaState::easTop},       {&FSelB, TEditAreaState::easBottom},
    };
    for (const auto& [area, state] : order) {
        if (area->contains(APoint)) {
            return state;
        }
    }
    return Normalized(FSelection).contains(APoint) ? TEditAreaState::easMove : TEditAreaState::easNone;
}

void TCaptureForm::UpdateEditCursor(const QPointF& APoint) {
    switch (HandleAt(APoint)) {
    case TEditAreaState::easTopLeft:
    case TEditAreaState::easBottomRight:
        setCursor(Qt::SizeFDiagCursor);
        break;
    case TEditAreaState::easTopRight:
    case TEditAreaState::easBottomLeft:
        setCursor(Qt::SizeBDiagCursor);
        break;
    case TEditAreaState::easLeft:
    case TEditAreaState::easRight:
        setCursor(Qt::SizeHorCursor);
        break;
    case TEditAreaState::easTop:
    case TEditAreaState::easBottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case TEditAreaState::easMove:
        setCursor(Qt::SizeAllCursor);
        break;
    default:
        setCursor(Qt::ArrowCursor);
    }
}

void TCaptureForm::DragEdit(const QPointF& APoint) {
    const QPointF d = APoint - FPrevPoint;
    qreal l, t, r, b;
    FSelection.getCoords(&l, &t, &r, &b);
    switch (FEditAreaState) {
    case TEditAreaState::easMove: {
        const QRectF moved = FSelection.translated(d);
        if (ClampToPicture(moved) == moved) {
            FSelection = moved;
        }
        return;
    }
    case TEditAreaState::easTopLeft:
        l += d.x(), t += d.y();
        break;
    case TEditAreaState::easTopRight:
        t += d.y(), r += d.x();
        break;
    case TEditAreaState::easBottomLeft:
        b += d.y(), l += d.x();
        break;
    case TEditAreaState::easBottomRight:
        r += d.x(), b += d.y();
        break;
    case TEditAreaState::easLeft:
        l += d.x();
        break;
    case TEditAreaState::easRight:
        r += d.x();
        break;
    case TEditAreaState::easTop:
        t += d.y();
        break;
    case TEditAreaState::easBottom:
        b += d.y();
        break;
    default:
        return;
    }
    // Every edge stays on the picture, so OK never copies outside it.
    FSelection = ClampToPicture(QRectF(QPointF(l, t), QPointF(r, b)));
}

void TCaptureForm::PlaceEditPanel() {
    const QRectF s = Normalized(FSelection);
    int y = RoundAway(s.top() - 5 - PanelHeight);
    if (y < 0) {
        y = RoundAway(s.bottom() + 5);
    }
    pnlEditArea->move(RoundAway(s.left() + 5), y);
}

void TCaptureForm::FillEditFields() {
    edtWidth->setText(QString::number(RoundAway(std::abs(FSelection.width())) + 1));
    edtHeight->setText(QString::number(RoundAway(std::abs(FSelection.height())) + 1));
}

void TCaptureForm::OnSizeEdited(bool AWidth, const QString& AText) {
    if (AText.isEmpty()) {
        return;
    }
    const QRegion oldBright = BrightRegion(), oldOverlay = OverlayRegion();
    const qreal start = AWidth ? FSelection.left() : FSelection.top();
    const qreal last = AWidth ? MaxX() : MaxY();
    const qreal room = (AWidth ? width() : height()) - start;
    // A typed 0 counts as one pixel: the selection never flips to the other side of its anchor.
    const int value = std::max(1, AText.toInt());
    qreal end = std::min(last, start + value - 1);
    if (value > room) {
        (AWidth ? edtWidth : edtHeight)->setText(QString::number(RoundAway(room)));
        end = last;
    }
    if (AWidth) {
        FSelection.setRight(end);
    } else {
        FSelection.setBottom(end);
    }
    Refresh(oldOverlay, oldBright);
}

bool TCaptureForm::eventFilter(QObject* AWatched, QEvent* AEvent) {
    if ((AWatched == edtWidth || AWatched == edtHeight) && AEvent->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(AEvent);
        switch (key->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Left:
        case Qt::Key_Right:
            return false;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            keyPressEvent(static_cast<QKeyEvent*>(AEvent));
            return true;
        default:
            return !(key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9);
        }
    }
    return QDialog::eventFilter(AWatched, AEvent);
}

QPoint TCaptureForm::PhysicalOf(const QPointF& APoint) const {
    return QPoint(RoundAway(APoint.x() * FZoom), RoundAway(APoint.y() * FZoom));
}

QRgb TCaptureForm::PixelAt(const QPointF& APoint) const {
    const QPoint p = PhysicalOf(APoint);
    return TBitmapFHelper::GetPixelColor(FOriginal, p.x(), p.y());
}

void TCaptureForm::CopyPixelColor(const QPointF& APoint) {
    QGuiApplication::clipboard()->setText(ColorText(PixelAt(APoint)));
}

void TCaptureForm::mousePressEvent(QMouseEvent* AEvent) {
    if (AEvent->button() == Qt::MiddleButton) {
        reject();
        return;
    }
    if (AEvent->button() == Qt::RightButton) {
        return;
    }
    const QPointF p = Snap(AEvent->position());
    FPrevPoint = p;
    FSelPrev = FSelection;
    if (FCaptureState == TCaptureState::csEditArea) {
        UpdateHandles();
        FEditAreaState = HandleAt(p);
    } else if (FCaptureState == TCaptureState::csPoint) {
        FSelection = QRectF(p, p);
    }
    activateWindow();
    update();
}

void TCaptureForm::mouseMoveEvent(QMouseEvent* AEvent) {
    try {
        const QRegion oldOverlay = OverlayRegion(), oldBright = BrightRegion();
        const TCaptureState oldState = FCaptureState;
        const QPointF p = Snap(AEvent->position());
        const bool left = AEvent->buttons() & Qt::LeftButton;
        FSelPrev = FSelection;
        if (FCaptureState == TCaptureState::csPoint && left) {
            FCaptureState = TCaptureState::csArea;
        }
        FPointer = p;
        switch (FCaptureState) {
        case TCaptureState::csPoint:
            FSelection = QRectF(p, p);
            break;
        case TCaptureState::csArea:
            FSelection.setBottomRight(p);
            break;
        case TCaptureState::csEditArea:
            UpdateHandles();
            if (!left) {
                UpdateEditCursor(p);
            } else {
                DragEdit(p);
                PlaceEditPanel();
                FillEditFields();
            }
            break;
        }
        if (oldState != FCaptureState) {
            update();
        } else {
            Refresh(oldOverlay, oldBright);
        }
        FPrevPoint = p;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral("TCaptureForm.FormMouseMove"));
    }
}

void TCaptureForm::mouseReleaseEvent(QMouseEvent* AEvent) {
    const Qt::MouseButton button = AEvent->button();
    const Qt::MouseButtons held = AEvent->buttons();
    if (FCaptureState == TCaptureState::csEditArea) {
        if (button == Qt::LeftButton) {
            FEditAreaState = TEditAreaState::easNone;
            FSelection = Normalized(FSelection);
            UpdateHandles();
            PlaceEditPanel();
            FillEditFields();
        }
        return;
    }
    if (FCaptureState == TCaptureState::csArea) {
        const bool otherButton = (button == Qt::RightButton && (held & Qt::LeftButton)) ||
                                 (button == Qt::LeftButton && (held & Qt::RightButton));
        const bool shiftRelease = button == Qt::LeftButton && (AEvent->modifiers() & Qt::ShiftModifier) &&
                                  !IsTiny(Normalized(FSelection));
        if (otherButton || shiftRelease) {
            EnterEditArea();
            return;
        }
    }
    if (button != Qt::LeftButton) {
        return;
    }
    const QRectF selection = Normalized(FSelection);
    if (IsTiny(selection)) {
        // A click, or a drag too small to be an area.
        if (AEvent->modifiers() & Qt::ShiftModifier) {
            CopyPixelColor(Snap(AEvent->position()));
        } else if (FPickWindow && PickWindowAt(Snap(AEvent->position()))) {
            return;
        }
        FSelection = QRectF();
        FResultRect = QRect();
        reject();
        return;
    }
    FSelection = selection;
    DoOk();
}

bool TCaptureForm::PickWindowAt(const QPointF& APoint) {
    try {
        TX11Screen& screen = FScreen ? *FScreen : TX11Screen::Application();
        const QPoint root = PhysicalOf(APoint) + FRootRect.topLeft();
        const std::optional<std::uint32_t> window =
            screen.TopLevelAt(root, static_cast<std::uint32_t>(QWidget::window()->winId()));
        const std::optional<TWindowFacts> facts = window ? screen.WindowFacts(*window) : std::nullopt;
        if (!facts) {
            return false;
        }
        // Only the part of the window on the frozen picture can be captured.
        const QRect area = facts->Rect.intersected(FRootRect).translated(-FRootRect.topLeft());
        if (area.isEmpty()) {
            return false;
        }
        FSelection = QRectF(QPointF(area.left() / FZoom, area.top() / FZoom),
                            QPointF(area.right() / FZoom, area.bottom() / FZoom));
        DoOk();
        return result() == QDialog::Accepted;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral("TCaptureForm.PickWindow"));
        return false;
    }
}

void TCaptureForm::mouseDoubleClickEvent(QMouseEvent* AEvent) {
    if (AEvent->button() == Qt::LeftButton) {
        DoOk();
    }
}

void TCaptureForm::keyPressEvent(QKeyEvent* AEvent) {
    switch (AEvent->key()) {
    case Qt::Key_Left:
        MovePointer(-1, 0);
        break;
    case Qt::Key_Right:
        MovePointer(1, 0);
        break;
    case Qt::Key_Up:
        MovePointer(0, -1);
        break;
    case Qt::Key_Down:
        MovePointer(0, 1);
        break;
    case Qt::Key_Escape:
        if (FCaptureState == TCaptureState::csEditArea) {
            BackToPoint();
        } else {
            reject();
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        DoOk();
        break;
    default:
        QWidget::keyPressEvent(AEvent);
    }
}

void TCaptureForm::MovePointer(int ADx, int ADy) {
    // One physical pixel, which QCursor cannot express on a scaled display.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (FScreen || x11) {
        TX11Screen& screen = FScreen ? *FScreen : TX11Screen::Application();
        screen.MovePointerBy(QPoint(ADx, ADy), FRootRect);
        return;
    }
    QCursor::setPos(QCursor::pos() + QPoint(ADx, ADy));
}

void TCaptureForm::DoOk() {
    FSelection = Normalized(ClampToPicture(FSelection));
    FSettings.CapturePinned = btnPin->isChecked();
    if (IsTiny(FSelection) || FOriginal.isNull()) {
        FSelection = QRectF();
        FResultRect = QRect();
        reject();
        return;
    }
    // Both edge pixels belong to the area; the display scale applies in both capture modes.
    const int x = RoundAway(FSelection.left() * FZoom);
    const int y = RoundAway(FSelection.top() * FZoom);
    const QRect area =
        QRect(x, y, RoundAway(FSelection.width() * FZoom) + 1, RoundAway(FSelection.height() * FZoom) + 1)
            .intersected(FOriginal.rect());
    ZRLogFormat(QStringLiteral("Zoom: %.2f"), {double(FZoom)});
    FResultImage = FOriginal.copy(area);
    FResultRect = area.translated(FRootRect.topLeft());
    if (FSettings.CapturePinned) {
        FSettings.CaptureRect = FResultRect;
    }
    accept();
}

void TCaptureForm::showEvent(QShowEvent* AEvent) {
    QDialog::showEvent(AEvent);
    raise();
    activateWindow();
    // In the kept window the keys reach the form only as that window's focus widget.
    setFocus(Qt::ActiveWindowFocusReason);
    // An override-redirect window gets no focus from a window manager: the keyboard is grabbed once the
    // window is viewable, which may take a few tries.
    FGrabTries = 0;
    FGrabTimer->start();
    if (FSettings.PerMonitor && !FConfinement && FRootRect.isValid()) {
        try {
            if (FScreen || qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
                FConfinement = std::make_unique<TPointerConfinement>(
                    FScreen ? *FScreen : TX11Screen::Application(), FRootRect);
            }
        } catch (...) {
            ZRLogException(std::current_exception(), QStringLiteral("TCaptureForm.FormShow"));
        }
    }
}

void TCaptureForm::TryKeyboardGrab() {
    if (!isVisible() || FKeyboardGrabbed || ++FGrabTries > 100) {
        FGrabTimer->stop();
        return;
    }
    QWindow* handle = window()->windowHandle();
    if (handle && handle->setKeyboardGrabEnabled(true)) {
        FKeyboardGrabbed = true;
        FGrabTimer->stop();
        handle->requestActivate();
    }
}

void TCaptureForm::hideEvent(QHideEvent* AEvent) {
    FGrabTimer->stop();
    FConfinement.reset();
    if (FKeyboardGrabbed && window()->windowHandle()) {
        window()->windowHandle()->setKeyboardGrabEnabled(false);
    }
    FKeyboardGrabbed = false;
    QDialog::hideEvent(AEvent);
}

void TCaptureForm::OnFocusWindowChanged() {
    QWindow* focus = QGuiApplication::focusWindow();
    if (!isVisible() || !window()->windowHandle()) {
        return;
    }
    if (focus == window()->windowHandle()) {
        FWasActive = true;
    } else if (FWasActive && focus && result() == QDialog::Rejected && FResultRect.isNull()) {
        // Another window became active; a focus lost to nobody (our own grabs) does not count.
        reject();
    }
}

QRegion TCaptureForm::OverlayRegion() const {
    QRegion region;
    const QRectF s = FSelection;
    const int w = width(), h = height();
    const auto vertical = [&](qreal AX) { region += QRect(int(std::floor(AX)) - 1, 0, 3, h); };
    const auto horizontal = [&](qreal AY) { region += QRect(0, int(std::floor(AY)) - 1, w, 3); };
    vertical(s.left());
    horizontal(s.top());
    if (FCaptureState != TCaptureState::csPoint) {
        vertical(s.right());
        horizontal(s.bottom());
    }
    if (FCaptureState != TCaptureState::csEditArea) {
        const TLoupePlacement placement =
            PlaceLoupeAndPane({FPointer, s.left(), s.top(), s.right(), s.bottom(), qreal(w), qreal(h),
                               FSettings.ShowZoomTool, FSettings.ShowSizePane, FZoom});
        if (FSettings.ShowZoomTool) {
            region += Grown(placement.Loupe, 2);
        }
        if (FSettings.ShowSizePane) {
            region += Grown(placement.Pane, 2);
        }
    }
    return region;
}

QRegion TCaptureForm::BrightRegion() const {
    if (FCaptureState == TCaptureState::csPoint) {
        return QRegion(rect());
    }
    return QRegion(Normalized(FSelection).adjusted(0, 0, 1 / FZoom, 1 / FZoom).toAlignedRect());
}

void TCaptureForm::Refresh(const QRegion& AOldOverlay, const QRegion& AOldBright) {
    update(AOldOverlay | OverlayRegion() | (AOldBright ^ BrightRegion()));
}

void TCaptureForm::paintEvent(QPaintEvent* AEvent) {
    try {
        QPainter painter(this);
        const QRegion region = AEvent->region();
        painter.setClipRegion(region);
        // Only the parts being repainted are copied from the snapshot; the darkening is blended over the
        // bands outside the selection as they are painted, so no darkened copy of the whole screen is made
        // before the first frame.
        for (const QRect& part : region) {
            const QRectF target(part);
            painter.drawImage(target, FOriginal,
                              QRectF(target.x() * FZoom, target.y() * FZoom, target.width() * FZoom,
                                     target.height() * FZoom));
        }
        if (FCaptureState != TCaptureState::csPoint) {
            const QRectF b = Normalized(FSelection).adjusted(0, 0, 1 / FZoom, 1 / FZoom);
            const qreal w = width(), h = height();
            painter.setOpacity(DimOpacity);
            for (const QRectF& band :
                 {QRectF(QPointF(0, 0), QPointF(w, b.top())), QRectF(QPointF(0, b.bottom()), QPointF(w, h)),
                  QRectF(QPointF(0, b.top()), QPointF(b.left(), b.bottom())),
                  QRectF(QPointF(b.right(), b.top()), QPointF(w, b.bottom()))}) {
                if (band.isValid()) {
                    painter.fillRect(band, Qt::black);
                }
            }
            painter.setOpacity(1);
        }
        if (FCaptureState != TCaptureState::csEditArea &&
            (FSettings.ShowZoomTool || FSettings.ShowSizePane)) {
            const QRectF s = FSelection;
            const TLoupePlacement placement =
                PlaceLoupeAndPane({FPointer, s.left(), s.top(), s.right(), s.bottom(), qreal(width()),
                                   qreal(height()), FSettings.ShowZoomTool, FSettings.ShowSizePane, FZoom});
            FRZoom = placement.Loupe;
            FRText = placement.Pane;
            if (FSettings.ShowZoomTool && region.intersects(Grown(FRZoom, 1))) {
                try {
                    PaintLoupe(painter, FRZoom, FOriginal, PhysicalOf(FPointer), FZoom);
                } catch (...) {
                    ZRLogException(
                        std::current_exception(),
                        QStringLiteral("TCaptureForm.PaintZoomRect if PXHEngine.Config.ShowZoomTool then"));
                }
            }
            if (FSettings.ShowSizePane && region.intersects(Grown(FRText, 1))) {
                try {
                    PaintPane(painter, FRText, PixelAt(FPointer), PaneLine(), FZoom);
                } catch (...) {
                    ZRLogException(
                        std::current_exception(),
                        QStringLiteral("TCaptureForm.PaintTextRect if PXHEngine.Config.ShowSizePane"));
                }
            }
        }
        PaintGuides(painter, FSelection, FCaptureState != TCaptureState::csPoint, QSizeF(size()), FZoom);
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral("TCaptureForm.FormPaint"));
    }
}

QString TCaptureForm::PaneLine() const {
    if (FCaptureState == TCaptureState::csPoint) {
        const QPoint root = PhysicalOf(FPointer) + FRootRect.topLeft();
        const QString line =
            LocalizedFormat(112, {QString::number(root.x() + 1), QString::number(root.y() + 1)});
        return line.isEmpty() ? QStringLiteral("x: %1  y: %2").arg(root.x() + 1).arg(root.y() + 1) : line;
    }
    const QString w = QString::number(RoundAway(std::abs(FSelection.width())) + 1);
    const QString h = QString::number(RoundAway(std::abs(FSelection.height())) + 1);
    const QString line = LocalizedFormat(113, {w, h});
    return line.isEmpty() ? QStringLiteral("w: %1  h: %2").arg(w, h) : line;
}

} // namespace pxh
