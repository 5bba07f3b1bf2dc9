// Temporary names and pictures, the support files, and when an update check goes out.
#include "base/logger.h"
#include "engine_fixture.h"
#include "net/service_queries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace pxh::test {
namespace {

using EngineFiles = EngineTest;

QImage Flat(int AWidth, int AHeight) {
    QImage Picture(AWidth, AHeight, QImage::Format_RGB32);
    Picture.fill(0xFF204080);
    return Picture;
}

TEST_F(EngineFiles, SaveBitmapWritesOneFileInEveryFormat) {
    struct TCase {
        int Format;
        bool Noisy;
        const char* Extension;
    };
    const TCase Cases[] = {
        {0, false, "png"}, {0, true, "jpg"}, {1, true, "png"},  {2, false, "jpg"},
        {3, false, "gif"}, {4, true, "bmp"}, {5, false, "tif"}, {77, false, "png"},
    };
    const QRegularExpression Braced("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}\\.");
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(QStringLiteral("format %1 %2").arg(Case.Format).arg(Case.Noisy).toStdString());
        const QStringList Before = TempFiles();
        const QImage Picture = Case.Noisy ? Noise(320, 200) : Flat(320, 200);
        const QString Path = Engine().SaveBitmap(Picture, Case.Format);
        EXPECT_EQ(TempFiles().size(), Before.size() + 1);
        EXPECT_EQ(QFileInfo(Path).suffix(), Case.Extension);
        EXPECT_TRUE(Braced.match(QFileInfo(Path).fileName()).hasMatch()) << Path.toStdString();
        EXPECT_EQ(QImage(Path).size(), Picture.size());
        QFile::remove(Path);
    }
}

TEST_F(EngineFiles, SaveBitmapLeavesNoFileWhenItFails) {
    EXPECT_ANY_THROW(Engine().SaveBitmap(QImage(), 1));
    Config()->SetPathTemp(GRoot->path() + "/not-a-folder");
    QFile Blocker(GRoot->path() + "/not-a-folder");
    ASSERT_TRUE(Blocker.open(QIODevice::WriteOnly));
    Blocker.close();
    EXPECT_ANY_THROW(Engine().SaveBitmap(Flat(4, 4), 1));
    Config()->SetPathTemp(TempFolder());
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(EngineFiles, TemporaryNamesAreFreshAndCreateNothing) {
    const QString Zip = Engine().GetTempFileName(QStringLiteral("zip"), QString());
    EXPECT_TRUE(QRegularExpression("^" + QRegularExpression::escape(TempFolder()) + "[0-9A-F]{32}\\.zip$")
                    .match(Zip)
                    .hasMatch())
        << Zip.toStdString();
    const QString Dotted = Engine().GetTempFileName(QStringLiteral(".zip"), GRoot->path());
    EXPECT_TRUE(Dotted.startsWith(GRoot->path() + "/"));
    EXPECT_FALSE(Dotted.contains(".."));
    const QString Bare = Engine().GetTempFileName(QString(), GRoot->path());
    EXPECT_TRUE(QFileInfo(Bare).suffix().isEmpty());
    EXPECT_NE(Engine().GetTempFileName(QString(), QString()), Engine().GetTempFileName(QString(), QString()));
    EXPECT_TRUE(TempFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Zip));
}

TEST_F(EngineFiles, SupportFilesAreWrittenOnceAndTheScriptEveryTime) {
    const QString Data = Config()->GetPathAppData();
    const QString Script = Data + "MakeVideo.sh";
    const QString Logo = Data + "ToastLogo.png";
    ASSERT_TRUE(QFileInfo::exists(Script));
    EXPECT_TRUE(QFileInfo(Script).isExecutable());
    for (const char* Icon : {"_Arch", "_Group", "_Text", "_Video", "_Other"})
        EXPECT_FALSE(QImage(Data + "History/" + Icon + ".png").isNull()) << Icon;

    QFile Edited(Script);
    ASSERT_TRUE(Edited.open(QIODevice::WriteOnly));
    Edited.write("changed");
    Edited.close();
    QFile OwnLogo(Logo);
    ASSERT_TRUE(OwnLogo.open(QIODevice::WriteOnly));
    OwnLogo.write("the user's own");
    OwnLogo.close();
    Engine().ExtractResources();
    QFile Read(Script);
    ASSERT_TRUE(Read.open(QIODevice::ReadOnly));
    EXPECT_TRUE(Read.readAll().startsWith("#!/bin/sh"));
    QFile ReadLogo(Logo);
    ASSERT_TRUE(ReadLogo.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadLogo.readAll(), "the user's own");
}

TEST_F(EngineFiles, AnUnwritableIconIsLoggedAndTheRestStillWritten) {
    const QString Data = Config()->GetPathAppData();
    const QString Aside = GRoot->path() + "/history-aside";
    QDir().rename(Data + "History", Aside);
    QFile Blocker(Data + "History");
    ASSERT_TRUE(Blocker.open(QIODevice::WriteOnly));
    Blocker.close();
    QFile::remove(Data + "MakeVideo.sh");
    QStringList Lines;
    SetGlobalLogger(std::make_shared<TZRLogger>(GRoot->path() + "/log", QStringLiteral("Engine.log"), false,
                                                false, std::int64_t{1} << 20));
    Engine().ExtractResources();
    SetGlobalLogger(nullptr);
    QFile Log(GRoot->path() + "/log/Engine.log");
    QString Text;
    for (const QString& Name : QDir(GRoot->path() + "/log").entryList(QDir::Files)) {
        QFile F(GRoot->path() + "/log/" + Name);
        if (F.open(QIODevice::ReadOnly))
            Text += QString::fromUtf8(F.readAll());
    }
    for (const char* Resource : {"HIST_Arch", "HIST_Group", "HIST_Text", "HIST_Video", "HIST_Other"})
        EXPECT_TRUE(Text.contains(QStringLiteral("TPixhoardEngine.ExtractResources.") + Resource))
            << Resource;
    EXPECT_TRUE(QFileInfo::exists(Data + "MakeVideo.sh"));
    QFile::remove(Data + "History");
    QDir().rename(Aside, Data + "History");
}

TEST_F(EngineFiles, AnAutomaticUpdateCheckRunsAtMostOncePerDay) {
    QDate Today(2026, 12, 11);
    MakeEngine({}, [&Today] { return Today; });
    const auto Checks = [this] {
        int Count = 0;
        for (auto& Operation : Queued())
            Count += dynamic_cast<TCheckUpdateOperation*>(Operation.get()) != nullptr;
        return Count;
    };
    Config()->SetAutoCheckUpdates(true);
    Config()->SetLastCheckUpdate(QDateTime(QDate(2026, 12, 11), QTime(0, 5)));
    Engine().CheckUpdates(false, true);
    EXPECT_EQ(Checks(), 0);
    Today = Today.addDays(1);
    Engine().CheckUpdates(false, true);
    EXPECT_EQ(Checks(), 1);
    Config()->SetAutoCheckUpdates(false);
    Engine().CheckUpdates(false, true);
    EXPECT_EQ(Checks(), 1);
    Engine().CheckUpdates(true, false);
    EXPECT_EQ(Checks(), 2);
}

TEST_F(EngineFiles, ANewerVersionIsOfferedAndAnEqualOneOnlyWithTheTip) {
    Engine().CheckVersion(QStringLiteral("v9999.4.2"), QStringLiteral("http://127.0.0.1/v"), false);
    EXPECT_EQ(Desktop().Updates, QStringList{"v9999.4.2"});
    EXPECT_TRUE(Config()->GetLastCheckUpdate().isValid());
    Engine().CheckVersion(QStringLiteral("0.0.1"), QString(), false);
    EXPECT_TRUE(Notifications().Notices().empty());
    Engine().CheckVersion(QStringLiteral("0.0.1"), QString(), true);
    ASSERT_EQ(Notifications().Notices().size(), 1u);
    EXPECT_EQ(Notifications().Notices()[0].Text, "There is no update available");
    EXPECT_EQ(Desktop().Updates.size(), 1);
}

} // namespace
} // namespace pxh::test
