// Saves the configuration and the history in an endless loop until it is killed.
#include "model/pixhoard_config.h"
#include "model/upload_history.h"

#include <QDateTime>
#include <cstdio>

int main() {
    using namespace pxh;
    auto Config = MakeInterfaced<TPixhoardConfig>();
    Config->Load();
    auto History = MakeInterfaced<TUploadHistory>();
    History->Load();
    std::printf("ready\n");
    std::fflush(stdout);
    for (int Round = 0;; ++Round) {
        Config->SetMenuHeight(500 + Round % 1000);
        Config->SetUploadFolders(QString(200 + Round % 50, QChar('f')));
        Config->ServerList()->Add(ustFTP, QStringLiteral("Server %1").arg(Round % 20), "https://",
                                  "ftp.example", "/", "user", "password", true);
        if (!Config->Save())
            return 2;
        History->AddByLink(QDateTime::currentDateTime(), QStringLiteral("https://s/%1").arg(Round), "", "",
                           QStringLiteral("file %1.png").arg(Round), Round);
    }
}
