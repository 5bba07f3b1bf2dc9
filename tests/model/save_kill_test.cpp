// A process killed with SIGKILL while it saves the configuration and the history never leaves a file
// that fails to load.
#include "base/persist_object.h"
#include "model/pixhoard_config.h"
#include "model/upload_history.h"
#include "model/upload_server.h"
#include "support/program_runner.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>
#include <random>

namespace pxh::test {
namespace {

bool ParsesWithRoot(const QString& AFile, const char* ARoot) {
    QFile File(AFile);
    if (!File.open(QIODevice::ReadOnly))
        return false;
    const QByteArray Data = File.readAll();
    pugi::xml_document Doc;
    return Doc.load_buffer(Data.constData(), Data.size(), TPersistObject::ParseFlags) && Doc.child(ARoot);
}

TEST(SaveUnderSigkill, FilesAlwaysLoad) {
    TempRoot Root;
    Root.applyToThisProcess();
    std::mt19937 Random(20261211);
    std::uniform_int_distribution<int> Delay(0, 40);
    const QString ConfigFile = Root.appData() + "/Pixhoard.cfg";
    const QString HistoryFile = Root.appData() + "/History/UploadHistory.xml";
    int PreviousCount = 0;
    for (int Round = 0; Round < 200; ++Round) {
        SCOPED_TRACE(Round);
        auto Child = StartProgram(Root, "model_save_loop", {});
        ASSERT_TRUE(Child->waitForReadyRead(30000)) << Child->readAllStandardError().toStdString();
        QThread::msleep(static_cast<unsigned long>(Delay(Random)));
        Child->kill();
        ASSERT_TRUE(Child->waitForFinished(10000));
        ASSERT_EQ(Child->exitStatus(), QProcess::CrashExit) << Child->readAllStandardError().toStdString();

        ASSERT_TRUE(ParsesWithRoot(ConfigFile, "PixhoardConfig"));
        auto Config = MakeInterfaced<TPixhoardConfig>();
        Config->Load();
        EXPECT_EQ(Config->GetReadVersion(), 7);
        EXPECT_FALSE(QFileInfo::exists(ConfigFile + ".bad"));
        if (QFileInfo::exists(HistoryFile)) {
            ASSERT_TRUE(ParsesWithRoot(HistoryFile, "History"));
            auto History = MakeInterfaced<TUploadHistory>();
            History->Load();
            EXPECT_FALSE(QFileInfo::exists(HistoryFile + ".bad"));
            // The history only grows: a kill never takes back an entry that a finished save wrote.
            EXPECT_GE(History->GetCount(), PreviousCount);
            PreviousCount = History->GetCount();
        }
    }
    EXPECT_GT(PreviousCount, 0);
}

} // namespace
} // namespace pxh::test
