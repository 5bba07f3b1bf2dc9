// Settings, destinations and the history shared between the UI thread and operation threads.
#include "model/pixhoard_config.h"
#include "model/upload_history.h"
#include "support/temp_root.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace pxh::test {
namespace {

TEST(ModelThreads, ReadersNeverSeeTheStoredFormsWhileSaving) {
    TempRoot Root;
    Root.applyToThisProcess();
    auto Config = MakeInterfaced<TPixhoardConfig>();
    Config->Load();
    Config->SetPXHUserActive(true);
    Config->SetPXHUser(QStringLiteral("alice"));
    Config->SetPXHPassword(QStringLiteral("wonder"));
    auto Server = Config->ServerList()->Add(ustFTP, "ftp", "", "h", "", "u", "p0", true);
    std::atomic<bool> Done{false};
    std::atomic<int> Wrong{0};
    std::vector<std::thread> Readers;
    for (int I = 0; I < 4; ++I)
        Readers.emplace_back([&] {
            while (!Done) {
                if (Config->GetPXHUser() != QLatin1String("alice") ||
                    Config->GetPXHPassword() != QLatin1String("wonder"))
                    ++Wrong;
                if (!Server->GetPassword().startsWith('p'))
                    ++Wrong;
            }
        });
    for (int I = 0; I < 100; ++I) {
        Server->SetPassword(QStringLiteral("p%1").arg(I));
        ASSERT_TRUE(Config->Save());
    }
    Done = true;
    for (std::thread& Reader : Readers)
        Reader.join();
    EXPECT_EQ(Wrong, 0);
}

TEST(ModelThreads, HistoryAddsOnAWorkerWhileTheUIThreadReads) {
    TempRoot Root;
    Root.applyToThisProcess();
    auto History = MakeInterfaced<TUploadHistory>();
    History->Load();
    std::atomic<bool> Done{false};
    std::thread Worker([&] {
        for (int I = 0; I < 200; ++I)
            History->AddByLink(QDateTime::currentDateTime(), QStringLiteral("https://s/%1").arg(I), "", "",
                               "f", I);
        Done = true;
    });
    int Reads = 0;
    while (!Done) {
        History->Lock();
        const int Count = History->GetCount();
        if (Count > 0) {
            EXPECT_TRUE(History->GetItem(0)->GetURL().startsWith("https://s/"));
        }
        History->Unlock();
        ++Reads;
    }
    Worker.join();
    EXPECT_EQ(History->GetCount(), 200);
    EXPECT_GT(Reads, 0);
}

} // namespace
} // namespace pxh::test
