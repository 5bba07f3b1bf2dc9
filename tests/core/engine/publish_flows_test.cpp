// Where each publish flow sends a capture, the clipboard, a picture file or a list of files.
#include "engine_fixture.h"
#include "model/upload_server.h"
#include "net/download_operations.h"
#include "net/upload_operations.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace pxh::test {
namespace {

template <class T> std::vector<T*> QueuedOf(std::vector<std::unique_ptr<TOperation>>& AQueue) {
    std::vector<T*> Result;
    for (auto& Operation : AQueue)
        if (auto* Typed = dynamic_cast<T*>(Operation.get()))
            Result.push_back(Typed);
    return Result;
}

QImage Flat(int AWidth, int AHeight, QRgb AColour = 0xFF3366AA) {
    QImage Picture(AWidth, AHeight, QImage::Format_RGB32);
    Picture.fill(AColour);
    return Picture;
}

using PublishFlows = EngineTest;

struct TScreenCase {
    const char* Name;
    bool Instant;
    bool Alt;
    bool Ctrl;
    bool Ok;
    enum { Editor, Upload, Clipboard, Nothing } Expect;
};

TEST_F(PublishFlows, AnAreaGoesToTheEditorTheUploadOrTheClipboard) {
    const TScreenCase Cases[] = {
        {"plain", false, false, false, true, TScreenCase::Editor},
        {"instant", true, false, false, true, TScreenCase::Upload},
        {"ctrl uploads without instant", false, false, true, true, TScreenCase::Upload},
        {"alt copies", false, true, false, true, TScreenCase::Clipboard},
        {"alt wins over instant", true, true, false, true, TScreenCase::Clipboard},
        {"cancel", false, false, false, false, TScreenCase::Nothing},
        {"cancel with instant", true, false, true, false, TScreenCase::Nothing},
    };
    for (const TScreenCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TearDown();
        SetUp();
        Config()->SetInstantUpload(Case.Instant);
        const QImage Picture = Flat(40, 30);
        if (Case.Ok)
            Desktop().Captures.push_back(Captured(Picture, Case.Alt, Case.Ctrl));
        Engine().PublishScreen();

        EXPECT_EQ(Desktop().Editors.size(), Case.Expect == TScreenCase::Editor ? 1u : 0u);
        EXPECT_EQ(QueuedOf<TUploadImageOperation>(Queued()).size(),
                  Case.Expect == TScreenCase::Upload ? 1u : 0u);
        EXPECT_EQ(Desktop().ClipboardPictures.size(), Case.Expect == TScreenCase::Clipboard ? 1 : 0);
        if (Case.Expect == TScreenCase::Editor) {
            EXPECT_EQ(Desktop().Editors[0].Caption, Desktop().Title);
            EXPECT_EQ(Desktop().Editors[0].Picture, Picture);
        }
        if (Case.Expect == TScreenCase::Upload) {
            const IUploadFilePtr Job = QueuedOf<TUploadImageOperation>(Queued())[0]->File();
            EXPECT_EQ(Job->GetCaption(), Desktop().Title);
            EXPECT_EQ(Job->GetOrigName(), "clip.png");
            EXPECT_EQ(Job->GetFileTypeStr(), "image/jpeg");
            EXPECT_EQ(Job->GetExpire(), 30);
            EXPECT_EQ(Job->GetFolder(), "shots");
            EXPECT_EQ(QImage(Job->GetFilePath()), Picture);
        }
        if (Case.Expect == TScreenCase::Clipboard) {
            ASSERT_FALSE(Notifications().Notices().empty());
            EXPECT_EQ(Notifications().Notices().back().Text, "Image copied to the clipboard");
        }
        EXPECT_FALSE(Engine().CaptureLocked());
        EXPECT_EQ(Desktop().DropZone, (QStringList{"hide", "show"}));
    }
}

TEST_F(PublishFlows, AFailingCaptureStillEndsTheFlowAndReachesTheCaller) {
    Desktop().CaptureRaises = true;
    Config()->SetShowDropBox(false);
    EXPECT_THROW(Engine().PublishScreen(), EPixhoard);
    EXPECT_FALSE(Engine().CaptureLocked());
    EXPECT_EQ(Desktop().DropZone, (QStringList{"hide", "off"}));
    EXPECT_TRUE(Queued().empty());
}

TEST_F(PublishFlows, ACaptureRequestWhileTheFormIsOpenDoesNothing) {
    Desktop().Captures.push_back(Captured(Flat(8, 8)));
    Desktop().OnCapture = [this] {
        Desktop().OnCapture = nullptr;
        Engine().PublishScreen();
        Engine().PublishScreenImmediately();
        Engine().PublishEmptyScreen();
        Engine().PublishVideo();
    };
    Engine().PublishScreen();
    EXPECT_EQ(Desktop().CaptureCount, 1);
    EXPECT_EQ(Desktop().Editors.size(), 1u);
    EXPECT_TRUE(Desktop().RecordRects.isEmpty());
}

TEST_F(PublishFlows, TheImmediateCaptureUploadsWhateverInstantUploadSays) {
    Config()->SetUploadFormat(2);
    Desktop().Captures.push_back(Captured(Noise(64, 48)));
    Engine().PublishScreenImmediately();
    const auto Uploads = QueuedOf<TUploadImageOperation>(Queued());
    ASSERT_EQ(Uploads.size(), 1u);
    EXPECT_EQ(Uploads[0]->File()->GetOrigName(), "clip.jpg");
    EXPECT_TRUE(Desktop().Editors.empty());
}

TEST_F(PublishFlows, TheBlankCanvasIsTransparentWithCtrlAndWhiteWithout) {
    for (const bool Ctrl : {true, false}) {
        SCOPED_TRACE(Ctrl ? "ctrl" : "plain");
        TearDown();
        SetUp();
        Desktop().Captures.push_back(Captured(Noise(33, 17), false, Ctrl));
        Engine().PublishEmptyScreen();
        ASSERT_EQ(Desktop().Editors.size(), 1u);
        const QImage Canvas = Desktop().Editors[0].Picture.convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(Canvas.size(), QSize(33, 17));
        const QRgb Expected = Ctrl ? 0x00000000u : 0xFFFFFFFFu;
        bool Uniform = true;
        for (int Y = 0; Y < Canvas.height(); ++Y)
            for (int X = 0; X < Canvas.width(); ++X)
                Uniform = Uniform && Canvas.pixel(X, Y) == Expected;
        EXPECT_TRUE(Uniform);
    }
}

TEST_F(PublishFlows, AVideoNeedsAnAreaAndNoOpenRecording) {
    Desktop().Captures.push_back(Captured(Flat(100, 50)));
    Engine().PublishVideo();
    ASSERT_EQ(Desktop().RecordRects.size(), 1);
    EXPECT_EQ(Desktop().RecordRects[0], QRect(10, 20, 100, 50));

    Desktop().RecordForm = true;
    Desktop().Captures.push_back(Captured(Flat(100, 50)));
    Engine().PublishVideo();
    EXPECT_EQ(Desktop().CaptureCount, 1);
}

TEST_F(PublishFlows, AWindowPickCapturesOnceAndNeverSendsTheTemporaryPath) {
    Config()->SetInstantUpload(true);
    Desktop().WindowPicture = Flat(120, 80, 0xFF00FF00);
    Engine().PublishWindow();
    Engine().PublishWindow();
    ASSERT_TRUE(Desktop().PendingPick);
    EXPECT_EQ(Notifications().Notices().size(), 2u);
    EXPECT_EQ(Notifications().Notices()[1].Text, "Click window to capture");
    auto Pick = std::exchange(Desktop().PendingPick, nullptr);
    Pick(0x400001);
    const auto Uploads = QueuedOf<TUploadImageOperation>(Queued());
    ASSERT_EQ(Uploads.size(), 1u);
    EXPECT_EQ(Uploads[0]->File()->GetOrigName(), "clip.png");
    EXPECT_EQ(Uploads[0]->File()->GetCaption(), "");

    Config()->SetInstantUpload(false);
    Engine().PublishWindow(0x400001);
    ASSERT_EQ(Desktop().Editors.size(), 1u);
    EXPECT_EQ(Desktop().Editors[0].Caption, "Picked window");
}

TEST_F(PublishFlows, TheClipboardPublishesItsPictureOrItsText) {
    const QString Text = QStringLiteral("Привет, мир 🌍\nline two");
    struct TCase {
        const char* Name;
        bool Picture;
        QString Text;
        bool Instant;
        bool Immediately;
        enum { Editor, ImageUpload, TextForm, TextUpload, Nothing } Expect;
    };
    const TCase Cases[] = {
        {"picture and text: the picture", true, Text, false, false, TCase::Editor},
        {"picture at once", true, Text, true, false, TCase::ImageUpload},
        {"text to the form", false, Text, false, false, TCase::TextForm},
        {"text at once", false, Text, true, false, TCase::TextUpload},
        {"immediately ignores instant upload", false, Text, false, true, TCase::TextUpload},
        {"immediately with a picture", true, QString(), false, true, TCase::ImageUpload},
        {"empty text", false, QString(), true, false, TCase::Nothing},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TearDown();
        SetUp();
        Config()->SetInstantUpload(Case.Instant);
        Desktop().Clipboard.Picture = Case.Picture ? Flat(20, 10) : QImage();
        Desktop().Clipboard.Text = Case.Text;
        if (Case.Immediately)
            Engine().PublishClipboardImmediately();
        else
            Engine().PublishClipboard();
        EXPECT_EQ(Desktop().Editors.size(), Case.Expect == TCase::Editor ? 1u : 0u);
        EXPECT_EQ(QueuedOf<TUploadImageOperation>(Queued()).size(),
                  Case.Expect == TCase::ImageUpload ? 1u : 0u);
        EXPECT_EQ(Desktop().TextForms.size(), Case.Expect == TCase::TextForm ? 1 : 0);
        const auto TextUploads = QueuedOf<TUploadFileOperation>(Queued());
        ASSERT_EQ(TextUploads.size(), Case.Expect == TCase::TextUpload ? 1u : 0u);
        if (Case.Expect == TCase::TextUpload) {
            const IUploadFilePtr Job = TextUploads[0]->File();
            EXPECT_EQ(Job->GetOrigName(), "htmlclip.txt");
            EXPECT_EQ(Job->GetFileTypeStr(), "text/plain");
            EXPECT_EQ(Job->GetExpire(), 30);
            EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}\\.txt$")
                            .match(QFileInfo(Job->GetFilePath()).fileName())
                            .hasMatch());
            QFile File(Job->GetFilePath());
            ASSERT_TRUE(File.open(QIODevice::ReadOnly));
            EXPECT_EQ(File.readAll(), Text.toUtf8()); // UTF-8 without a byte-order mark
        }
    }
}

TEST_F(PublishFlows, FilesGoToTheListFormOrToTheServiceAsOneJob) {
    const QStringList Paths = {GRoot->path() + "/a b.txt", GRoot->path() + "/ç.png"};
    Engine().PublishFiles(Paths.join('\r'));
    ASSERT_EQ(Desktop().FileForms.size(), 1);
    EXPECT_EQ(Desktop().FileForms[0], Paths);

    Config()->SetInstantUpload(true);
    Config()->SetLastServerIndex(1); // the files still go to the built-in service
    for (const bool Pack : {true, false}) {
        Queued().clear();
        Config()->SetLastPackFiles(Pack);
        Engine().PublishFiles(Paths.join('\r'));
        const auto Uploads = QueuedOf<TUploadFilesOperation>(Queued());
        ASSERT_EQ(Uploads.size(), 1u);
        const IUploadFilePtr Job = Uploads[0]->File();
        EXPECT_EQ(Job->GetServer().get(), Config()->GetUploadServers()->PixhoardHTTPServer().get());
        EXPECT_EQ(Job->GetFilePath(), Paths.join('\r'));
        EXPECT_EQ(Job->GetNeedExtract(), !Pack);
    }
}

TEST_F(PublishFlows, APathWithALineBreakIsRefusedNotSplit) {
    Config()->SetInstantUpload(true);
    Engine().PublishFiles(GRoot->path() + "/one\nsecond line.txt");
    EXPECT_TRUE(Queued().empty());
    ASSERT_EQ(Notifications().Notices().size(), 1u);
    EXPECT_TRUE(Notifications().Notices()[0].Error);
}

TEST_F(PublishFlows, OnlyWebAddressesAreDownloaded) {
    for (const char* Refused :
         {"file:///etc/passwd", "ftp://127.0.0.1/a.png", "javascript:alert(1)", "", "http://"}) {
        SCOPED_TRACE(Refused);
        Engine().PublishImageFromWeb(QString::fromLatin1(Refused));
        EXPECT_TRUE(Queued().empty());
        ASSERT_FALSE(Notifications().Notices().empty());
        EXPECT_TRUE(Notifications().Notices().back().Error);
    }
    Engine().PublishImageFromWeb(QStringLiteral("https://127.0.0.1:9/picture"));
    EXPECT_EQ(QueuedOf<TDownloadImageOperation>(Queued()).size(), 1u);
}

TEST_F(PublishFlows, APictureFileOpensTheEditorAndAnythingElseNothing) {
    const QString Good = GRoot->path() + "/picture.png";
    ASSERT_TRUE(Flat(9, 7).save(Good));
    const QString Broken = GRoot->path() + "/broken.png";
    QFile File(Broken);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    File.write("not a picture");
    File.close();
    Engine().PublishImageFile(Broken);
    Engine().PublishImageFile(GRoot->path() + "/missing.png");
    EXPECT_TRUE(Desktop().Editors.empty());
    EXPECT_TRUE(Notifications().Notices().empty());
    Engine().PublishImageFile(Good);
    ASSERT_EQ(Desktop().Editors.size(), 1u);
    EXPECT_EQ(Desktop().Editors[0].Picture.size(), QSize(9, 7));
}

} // namespace
} // namespace pxh::test
