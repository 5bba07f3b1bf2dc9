// The program's desktop for the publish flows: the capture form, Qt's clipboard and file dialogs, X11
// window facts, and the forms that exist so far.
#pragma once

#include "core/engine/publish_desktop.h"
#include "model/pixhoard_config.h"

#include <memory>

namespace pxh {

class TWindowPick;

class TQtPublishDesktop : public IPublishDesktop {
public:
    struct TDropZone {
        std::function<void()> Hide;
        std::function<void(bool)> SetVisible;
    };
    TQtPublishDesktop(IConfigPtr AConfig, TDropZone ADropZone);
    ~TQtPublishDesktop() override;

    QString ForegroundTitle() override;
    TCapture CaptureArea() override;
    void HideDropZone() override;
    void SetDropZoneVisible(bool AVisible) override;
    void ShowTransferProgress(bool AVisible, const QString& AText) override;
    TClipboard ReadClipboard() override;
    void PutPictureOnClipboard(const QImage& APicture) override;
    bool StartWindowPick(std::function<void(std::uint32_t AWindow)> AOnPicked) override;
    bool SnapShotWindow(std::uint32_t AWindow, QImage& APicture, QString& ATitle) override;
    QStringList ChooseFiles(TFileChoice AChoice) override;
    void OpenImageEditor(const QImage& APicture, const QString& ACaption) override;
    void OpenTextForm(const QString& AText) override;
    void OpenFilesForm(const QStringList& APaths) override;
    bool RecordFormExists() override { return false; }
    void OpenRecordForm(const QRect& ARect, const QString& ATitle) override;
    void ShowUpdate(const QString& AVersion, const QString& AUrl) override;

private:
    IConfigPtr FConfig;
    TDropZone FDropZone;
    std::unique_ptr<TWindowPick> FPick;
};

} // namespace pxh
