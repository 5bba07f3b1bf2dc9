// Times loading and saving a full upload history, and one add to it (insert, trim, thumbnail delete, save).
#include "base/app_paths.h"
#include "bench_timing.h"
#include "model/upload_history.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

using pxh::bench::MedianMs;

namespace {

QString NewThumb() {
    const QString Name = QUuid::createUuid().toString(QUuid::WithBraces).toUpper() + ".png";
    QFile File(pxh::TUploadHistory::HistoryFolder() + Name);
    if (File.open(QIODevice::WriteOnly))
        File.write(QByteArray(2048, 'p'));
    return Name;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    QTemporaryDir Dir;
    qputenv("XDG_DATA_HOME", Dir.path().toUtf8());
    using namespace pxh;

    auto History = MakeInterfaced<TUploadHistory>();
    History->Load();
    const QString Codes = QStringLiteral("https://127.0.0.1:47800/f/%1");
    for (int I = 0; I < CMaxHistoryCount; ++I) {
        const QString URL = Codes.arg(I);
        History->TInterfacedObjectList::Add(MakeInterfaced<TUploadHistoryRec>(
            QDateTime::currentDateTime(), URL, "<a href=\"" + URL + "\"><img src=\"" + URL + ".png\"></a>",
            "[url=" + URL + "][img]" + URL + ".png[/img][/url]", "<a href=\"" + URL + "\">" + URL + "</a>",
            URL, "[[" + URL + "]]", NewThumb(), QString(), QStringLiteral("Screenshot %1.png").arg(I),
            123456 + I));
    }

    // Flush the thumbnails written above, so that the first saves do not pay for them.
    History->Save();
    ::sync();
    const double Save = MedianMs(21, [&] { History->Save(); });
    const qint64 Bytes = QFile(History->FileName()).size();
    int Loaded = 0;
    const double Load = MedianMs(21, [&] {
        auto Fresh = MakeInterfaced<TUploadHistory>();
        Fresh->Load();
        Loaded = Fresh->GetCount();
    });
    const double Add = MedianMs(21, [&] {
        History->AddByLink(QDateTime::currentDateTime(), QStringLiteral("https://127.0.0.1:47800/f/new"),
                           NewThumb(), QString(), QStringLiteral("new.png"), 1);
    });

    std::printf("history of %d entries, file %lld bytes (median of 21 runs)\n", Loaded,
                static_cast<long long>(Bytes));
    std::printf("  load                          %8.2f ms (aim: under 20 ms)\n", Load);
    std::printf("  save                          %8.2f ms\n", Save);
    std::printf("  add to a full history (lock)  %8.2f ms\n", Add);
    return Loaded == CMaxHistoryCount ? 0 : 1;
}
