// What the publish flows need from the desktop: the capture form, the clipboard, the window pick, the
// file dialogs and the forms that take a picture, a text or files. The program's own is built on Qt and
// X11; the flow tests bring one that records.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace pxh {

class IPublishDesktop {
public:
    struct TCapture {
        bool Ok = false;
        QImage Picture;   // physical pixels
        QRect Rect;       // physical root pixels
        bool Alt = false; // modifiers as the form returned
        bool Ctrl = false;
    };
    struct TClipboard {
        QImage Picture; // null when the clipboard holds no picture
        QString Text;
    };
    enum class TFileChoice { fcOnePicture, fcFiles };

    virtual ~IPublishDesktop() = default;

    virtual QString ForegroundTitle() = 0;
    // The capture form, shown modally.
    virtual TCapture CaptureArea() = 0;
    // Out of the picture while a capture is chosen; SetDropZoneVisible restores it.
    virtual void HideDropZone() = 0;
    virtual void SetDropZoneVisible(bool AVisible) = 0;
    // The drop zone's transfer label: hidden when AVisible is false.
    virtual void ShowTransferProgress(bool AVisible, const QString& AText) = 0;

    virtual TClipboard ReadClipboard() = 0;
    virtual void PutPictureOnClipboard(const QImage& APicture) = 0;

    // The next left click picks a window; false while a pick is pending.
    virtual bool StartWindowPick(std::function<void(std::uint32_t AWindow)> AOnPicked) = 0;
    virtual bool SnapShotWindow(std::uint32_t AWindow, QImage& APicture, QString& ATitle) = 0;
    // Empty when the user cancels.
    virtual QStringList ChooseFiles(TFileChoice AChoice) = 0;

    // The forms that come after a capture or a choice.
    virtual void OpenImageEditor(const QImage& APicture, const QString& ACaption) = 0;
    virtual void OpenTextForm(const QString& AText) = 0;
    // Adds to the open file-list form, else opens one.
    virtual void OpenFilesForm(const QStringList& APaths) = 0;
    virtual bool RecordFormExists() = 0;
    virtual void OpenRecordForm(const QRect& ARect, const QString& ATitle) = 0;
    // A newer version is offered.
    virtual void ShowUpdate(const QString& AVersion, const QString& AUrl) = 0;
};

} // namespace pxh
