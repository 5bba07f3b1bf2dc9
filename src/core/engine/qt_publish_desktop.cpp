#include "core/engine/qt_publish_desktop.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "base/system_utils.h"
#include "capture/bitmap_helper.h"
#include "capture/capture_form.h"
#include "capture/window_pick.h"
#include "capture/x11_screen.h"
#include "core/platform_services.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <xcb/xcb.h>

namespace pxh {

namespace {

void Notify(const QString& AText, const QString& ALink = QString()) {
    if (const auto Notifications = TPlatformServices::Get<IPXHNotificationService>())
        Notifications->Notify(AText, ALink, QString(), QString());
}

std::optional<std::uint32_t> ActiveWindow(TX11Screen& AScreen) {
    xcb_connection_t* Connection = AScreen.Connection();
    const char Name[] = "_NET_ACTIVE_WINDOW";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> Atom(
        xcb_intern_atom_reply(Connection, xcb_intern_atom(Connection, 1, sizeof Name - 1, Name), nullptr),
        &std::free);
    if (!Atom || Atom->atom == XCB_ATOM_NONE)
        return std::nullopt;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> Reply(
        xcb_get_property_reply(
            Connection, xcb_get_property(Connection, 0, AScreen.Root(), Atom->atom, XCB_ATOM_WINDOW, 0, 1),
            nullptr),
        &std::free);
    if (!Reply || xcb_get_property_value_length(Reply.get()) < 4)
        return std::nullopt;
    const std::uint32_t Window = *static_cast<const std::uint32_t*>(xcb_get_property_value(Reply.get()));
    if (Window == 0)
        return std::nullopt;
    return Window;
}

} // namespace

TQtPublishDesktop::TQtPublishDesktop(IConfigPtr AConfig, TDropZone ADropZone)
    : FConfig(std::move(AConfig))
    , FDropZone(std::move(ADropZone)) {
    // Once the event loop runs: the first capture then finds its window's memory ready, and start-up
    // does not wait for it.
    QTimer::singleShot(0, [] {
        try {
            TCaptureForm::Prepare(TX11Screen::Application().DesktopRect().size());
        } catch (const std::exception& E) {
            ZRLogException(E, " TPixhoardEngine.PrepareCapture ");
        }
    });
}

TQtPublishDesktop::~TQtPublishDesktop() = default;

QString TQtPublishDesktop::ForegroundTitle() {
    try {
        TX11Screen& Screen = TX11Screen::Application();
        const auto Window = ActiveWindow(Screen);
        if (!Window)
            return QString();
        // The program's own drop zone in front says nothing about what is being captured.
        for (const QWindow* Own : QGuiApplication::topLevelWindows())
            if (Own->handle() && Own->winId() == *Window)
                return QString();
        if (const auto Facts = Screen.WindowFacts(*Window))
            return QString(Facts->Title).remove(QChar(0));
    } catch (const std::exception& E) {
        ZRLogException(E, " TPixhoardEngine.ForegroundTitle ");
    }
    return QString();
}

IPublishDesktop::TCapture TQtPublishDesktop::CaptureArea() {
    TCaptureSettings Settings;
    Settings.PerMonitor = FConfig->GetPerMonitor();
    Settings.ShowZoomTool = FConfig->GetShowZoomTool();
    Settings.ShowSizePane = FConfig->GetShowSizePane();
    Settings.CapturePinned = FConfig->GetCapturePinned();
    Settings.CaptureRect = FConfig->GetCaptureRect().toRect();
    TCapture Result;
    TCaptureForm Form(Settings);
    if (!Form.CreateSnapshot())
        return Result;
    Result.Ok = Form.exec() == QDialog::Accepted;
    if (!Result.Ok)
        return Result;
    Result.Alt = IsAltDown();
    Result.Ctrl = IsCtrlDown();
    Result.Picture = Form.ResultImage();
    Result.Rect = Form.ResultRect();
    FConfig->SetCapturePinned(Settings.CapturePinned);
    FConfig->SetCaptureRect(QRectF(Settings.CaptureRect));
    return Result;
}

void TQtPublishDesktop::HideDropZone() {
    if (FDropZone.Hide)
        FDropZone.Hide();
}

void TQtPublishDesktop::SetDropZoneVisible(bool AVisible) {
    if (FDropZone.SetVisible)
        FDropZone.SetVisible(AVisible);
}

void TQtPublishDesktop::ShowTransferProgress(bool, const QString&) {
    // The drop zone has no transfer label yet; the tray animation shows that something runs.
}

IPublishDesktop::TClipboard TQtPublishDesktop::ReadClipboard() {
    TClipboard Result;
    if (!TBitmapFHelper::LoadFromClipboard(Result.Picture))
        Result.Picture = QImage();
    if (Result.Picture.isNull())
        if (const auto* Clipboard = QGuiApplication::clipboard())
            Result.Text = Clipboard->text();
    return Result;
}

void TQtPublishDesktop::PutPictureOnClipboard(const QImage& APicture) {
    if (auto* Clipboard = QGuiApplication::clipboard())
        Clipboard->setImage(APicture);
}

bool TQtPublishDesktop::StartWindowPick(std::function<void(std::uint32_t AWindow)> AOnPicked) {
    if (!FPick)
        FPick = std::make_unique<TWindowPick>();
    return FPick->Start(std::move(AOnPicked));
}

bool TQtPublishDesktop::SnapShotWindow(std::uint32_t AWindow, QImage& APicture, QString& ATitle) {
    return TBitmapFHelper::SnapShotWindow(AWindow, APicture, ATitle);
}

QStringList TQtPublishDesktop::ChooseFiles(TFileChoice AChoice) {
    if (AChoice == TFileChoice::fcFiles)
        return QFileDialog::getOpenFileNames(nullptr);
    const QString Filters =
        QStringLiteral("Png, Jpeg, Bmp, Gif, Tiff, Ico (*.png *.jpg *.jpeg *.bmp *.gif *.tif *.tiff *.ico);;"
                       "Png (*.png);;Jpeg (*.jpg *.jpeg);;Bitmap (*.bmp);;Gif (*.gif);;"
                       "Tiff (*.tif *.tiff);;Ico (*.ico)");
    const QString Chosen = QFileDialog::getOpenFileName(nullptr, QString(), QString(), Filters);
    return Chosen.isEmpty() ? QStringList() : QStringList{Chosen};
}

// The forms below come with their own work; until then the user is told, in the language's words.
void TQtPublishDesktop::OpenImageEditor(const QImage&, const QString&) {
    ZRLog(QStringLiteral("Before TEditImageForm.Show"));
    Notify(LocalizedText(2353));
}

void TQtPublishDesktop::OpenTextForm(const QString&) {
    Notify(LocalizedText(2354));
}

void TQtPublishDesktop::OpenFilesForm(const QStringList&) {
    Notify(LocalizedText(2355));
}

void TQtPublishDesktop::OpenRecordForm(const QRect&, const QString&) {
    Notify(LocalizedText(2356));
}

void TQtPublishDesktop::ShowUpdate(const QString& AVersion, const QString& AUrl) {
    Notify(LocalizedFormat(2358, {AVersion}), AUrl);
}

} // namespace pxh
