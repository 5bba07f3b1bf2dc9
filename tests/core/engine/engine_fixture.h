// The engine with a desktop that records: scripted captures and clipboard, the forms it would open,
// the notifications it shows and the operations it queues (never run here).
#pragma once

#include "core/engine/pixhoard_engine.h"
#include "core/platform_services.h"
#include "support/temp_root.h"

#include <deque>
#include <gtest/gtest.h>
#include <mutex>

namespace pxh::test {

class TRecordingDesktop : public IPublishDesktop {
public:
    QString ForegroundTitle() override { return Title; }
    TCapture CaptureArea() override;
    void HideDropZone() override { DropZone << "hide"; }
    void SetDropZoneVisible(bool AVisible) override { DropZone << (AVisible ? "show" : "off"); }
    void ShowTransferProgress(bool, const QString&) override {}
    TClipboard ReadClipboard() override { return Clipboard; }
    void PutPictureOnClipboard(const QImage& APicture) override { ClipboardPictures << APicture; }
    bool StartWindowPick(std::function<void(std::uint32_t)> AOnPicked) override;
    bool SnapShotWindow(std::uint32_t AWindow, QImage& APicture, QString& ATitle) override;
    QStringList ChooseFiles(TFileChoice) override { return Chosen; }
    void OpenImageEditor(const QImage& APicture, const QString& ACaption) override {
        Editors.push_back({APicture, ACaption});
    }
    void OpenTextForm(const QString& AText) override { TextForms << AText; }
    void OpenFilesForm(const QStringList& APaths) override { FileForms << APaths; }
    bool RecordFormExists() override { return RecordForm; }
    void OpenRecordForm(const QRect& ARect, const QString&) override { RecordRects << ARect; }
    void ShowUpdate(const QString& AVersion, const QString&) override { Updates << AVersion; }

    QString Title = QStringLiteral("Report – draft");
    // Each capture takes the next entry; an empty queue cancels. OnCapture runs while the form is "open".
    std::deque<TCapture> Captures;
    std::function<void()> OnCapture;
    bool CaptureRaises = false;
    int CaptureCount = 0;
    TClipboard Clipboard;
    QStringList Chosen;
    bool RecordForm = false;
    std::function<void(std::uint32_t)> PendingPick;
    QImage WindowPicture;

    QStringList DropZone;
    QList<QImage> ClipboardPictures;
    struct TEditor {
        QImage Picture;
        QString Caption;
    };
    std::vector<TEditor> Editors;
    QStringList TextForms;
    QList<QStringList> FileForms;
    QList<QRect> RecordRects;
    QStringList Updates;
};

class TRecordingNotifications : public IPXHNotificationService, public IPXHTrayService {
public:
    void NotificationInit() override {}
    void Notify(const QString& AText, const QString& ALink, const QString& ATitle, const QString&) override;
    void NotifyError(const QString& AText) override;
    void NotifyWarning(const QString& AText) override { NotifyError(AText); }
    void CreateTrayIcon() override {}
    void RemoveTrayIcon() override {}
    void StartTrayAnimation() override;
    void StopTrayAnimation() override;

    struct TNotice {
        bool Error = false;
        QString Text, Link, Title;
        bool OnUiThread = false;
    };
    std::vector<TNotice> Notices() const;
    // Notices the engine itself showed: they carry no title (an operation's own name their title).
    std::vector<TNotice> EngineNotices() const;
    int TrayCalls() const;
    bool AllOnUiThread() const;
    void Clear();

private:
    mutable std::mutex FLock;
    std::vector<TNotice> FNotices;
    int FTrayCalls = 0;
    bool FAllOnUi = true;
};

class EngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    IConfigPtr Config() const { return FConfig; }
    TPixhoardEngine& Engine() { return *FEngine; }
    TRecordingDesktop& Desktop() { return *FDesktop; }
    TRecordingNotifications& Notifications() { return *FNotifications; }
    // What the engine queued, oldest first.
    std::vector<std::unique_ptr<TOperation>>& Queued() { return FQueued; }
    QString TempFolder() const;
    QStringList TempFiles() const;
    // A new engine on the same desktop; the clock and the date may be given.
    void MakeEngine(std::function<std::int64_t()> AClock = {}, std::function<QDate()> AToday = {});

    static TempRoot* GRoot;
    IConfigPtr FConfig;
    TIntrusivePtr<TPixhoardEngine> FEngine;
    std::shared_ptr<TRecordingDesktop> FDesktop;
    std::shared_ptr<TRecordingNotifications> FNotifications;
    std::vector<std::unique_ptr<TOperation>> FQueued;
    std::mutex FQueueLock;
};

// A capture that succeeded with APicture and the given modifiers.
IPublishDesktop::TCapture Captured(const QImage& APicture, bool AAlt = false, bool ACtrl = false);
QImage Noise(int AWidth, int AHeight, quint32 ASeed = 7);

} // namespace pxh::test
