// From the hot key to a working link, at 1920 x 1080 on a busy screen: the running program (hot key, the
// whole screen dragged, link on the clipboard) beside `flameshot full -p` writing the screen to a file
// followed by `curl` uploading that file to the same service, in the same run.
// Run on a desktop: ./scripts/test-desktop build/release/bin/pixhoard_bench_publish [runs]
#include "bench_peer.h"
#include "model/pixhoard_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace {

using namespace pxh;
using bench::TPeer;

constexpr int TimeoutMs = 30000;

double Median(std::vector<double> AValues) {
    if (AValues.empty())
        return 0;
    std::sort(AValues.begin(), AValues.end());
    return AValues[AValues.size() / 2];
}

QByteArray Output(const QString& AProgram, const QStringList& AArgs, int* AExit = nullptr) {
    QProcess Process;
    Process.start(AProgram, AArgs);
    Process.waitForFinished(TimeoutMs);
    if (AExit)
        *AExit = Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    return Process.readAllStandardOutput();
}

// Whether a viewable window covers the whole screen: the capture form is up.
bool FullScreenWindowShown(xcb_connection_t* AConnection, const xcb_screen_t* AScreen) {
    bool Found = false;
    xcb_query_tree_reply_t* Tree =
        xcb_query_tree_reply(AConnection, xcb_query_tree(AConnection, AScreen->root), nullptr);
    if (!Tree)
        return false;
    const xcb_window_t* Children = xcb_query_tree_children(Tree);
    for (int I = 0; I < xcb_query_tree_children_length(Tree) && !Found; ++I) {
        auto* Attributes = xcb_get_window_attributes_reply(
            AConnection, xcb_get_window_attributes(AConnection, Children[I]), nullptr);
        auto* Geometry =
            xcb_get_geometry_reply(AConnection, xcb_get_geometry(AConnection, Children[I]), nullptr);
        Found = Attributes && Geometry && Attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                Attributes->override_redirect && Geometry->width >= AScreen->width_in_pixels &&
                Geometry->height >= AScreen->height_in_pixels;
        free(Attributes);
        free(Geometry);
    }
    free(Tree);
    return Found;
}

QString ClipboardText() {
    return QString::fromUtf8(Output("xclip", {"-o", "-selection", "clipboard"})).trimmed();
}

void ClearClipboard() {
    QProcess Owner;
    Owner.start("xclip", {"-i", "-selection", "clipboard"});
    Owner.waitForStarted();
    Owner.write("none");
    Owner.closeWriteChannel();
    Owner.waitForFinished(5000);
}

QString LogText(const QString& AFolder) {
    QString Text;
    for (const QString& Name : QDir(AFolder).entryList({"Pixhoard.log*"}, QDir::Files)) {
        QFile File(AFolder + "/" + Name);
        if (File.open(QIODevice::ReadOnly))
            Text += QString::fromUtf8(File.readAll());
    }
    return Text;
}

struct TRun {
    double Total = 0;   // hot key to link
    double Release = 0; // end of the drag to link
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    const int Runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "Run on a desktop: ./scripts/test-desktop %s\n", argv[0]);
        return 2;
    }
    xcb_connection_t* Connection = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* Screen = xcb_setup_roots_iterator(xcb_get_setup(Connection)).data;
    const int Width = Screen->width_in_pixels, Height = Screen->height_in_pixels;

    QTemporaryDir Dir;
    for (const char* Sub : {"/data", "/home", "/shots"})
        QDir().mkpath(Dir.path() + Sub);
    qputenv("XDG_DATA_HOME", (Dir.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (Dir.path() + "/home/.config").toUtf8());
    qputenv("HOME", (Dir.path() + "/home").toUtf8());
    const QString BinDir = QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath();
    TPeer Service(BinDir + "/pixhoard-service",
                  {"--test-mode", "--port", "0", "--data", Dir.path() + "/service", "--account", "bench:pw"},
                  R"(service (http://127\.0\.0\.1:\d+/) ftp 127\.0\.0\.1:(\d+))");
    const QString Root = Service.Captured[1];
    qputenv("PIXHOARD_SERVICE_ROOT", Root.toUtf8());
    qputenv("PIXHOARD_FTP_INTAKE", ("pixhoard@127.0.0.1:" + Service.Captured[2]).toUtf8());
    qputenv("QT_QPA_PLATFORM", "xcb");

    // A busy screen: fractal noise compresses about as badly as photos and gradients do.
    const QString Busy = Dir.path() + "/busy.png";
    Output("convert", {"-size", QStringLiteral("%1x%2").arg(Width).arg(Height), "plasma:fractal", Busy});
    Output("display", {"-window", "root", Busy});

    const QString Data = Dir.path() + "/data/Pixhoard";
    QDir().mkpath(Data);
    {
        auto Config = MakeInterfaced<TPixhoardConfig>();
        Config->Load();
        Config->SetInstantUpload(true);
        Config->SetSilentMode(true);
        Config->SetShowLinkWindow(false);
        Config->SetUploadFormat(1);
        Config->SetStartWithWindows(false);
        Config->SetPXHUser("bench");
        Config->SetPXHPassword("pw");
        Config->SetPXHUserActive(true);
        Config->Save();
    }
    QProcess Program;
    Program.start(BinDir + "/pixhoard", {});
    QElapsedTimer Wait;
    Wait.start();
    while (!LogText(Data).contains("tray host") && Wait.elapsed() < TimeoutMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    std::vector<TRun> Ours;
    for (int I = 0; I < Runs + 1; ++I) {
        ClearClipboard();
        QElapsedTimer Timer;
        Timer.start();
        Output("xdotool", {"key", "super+a"});
        while (!FullScreenWindowShown(Connection, Screen) && Timer.elapsed() < TimeoutMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Output("xdotool", {"mousemove", "0", "0", "mousedown", "1", "mousemove", QString::number(Width / 2),
                           QString::number(Height / 2), "mousemove", QString::number(Width - 1),
                           QString::number(Height - 1), "mouseup", "1"});
        const double Released = double(Timer.nsecsElapsed()) / 1e6;
        while (!ClipboardText().startsWith(Root) && Timer.elapsed() < TimeoutMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const double Total = double(Timer.nsecsElapsed()) / 1e6;
        if (Timer.elapsed() >= TimeoutMs) {
            std::fprintf(stderr, "Pixhoard gave no link: %s\n", qPrintable(LogText(Data).right(2000)));
            return 1;
        }
        if (I > 0) // the first run pays for loading the encoder and the connection
            Ours.push_back({Total, Total - Released});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    Program.terminate();
    Program.waitForFinished(10000);

    std::vector<double> Peer;
    QString PeerNote;
    if (QStandardPaths::findExecutable("flameshot").isEmpty()) {
        PeerNote = "flameshot is not installed";
    } else {
        const QString Auth =
            "Authorization: Basic " + QString::fromLatin1((QByteArray("bench").toHex().toUpper() + ":" +
                                                           QByteArray("pw").toHex().toUpper())
                                                              .toBase64());
        for (int I = 0; I < Runs + 1 && PeerNote.isEmpty(); ++I) {
            const QString Shot = Dir.path() + "/shots/full.png";
            QFile::remove(Shot);
            QElapsedTimer Timer;
            Timer.start();
            int Exit = 0;
            Output("flameshot", {"full", "-p", Shot}, &Exit);
            const QString Reply =
                QString::fromUtf8(Output("curl", {"-sS", "-H", Auth, "-F", "language=English", "-F",
                                                  "mode=upload", "-F", "orig_file=clip.png", "-F",
                                                  "file=@" + Shot + ";type=image/jpeg", Root + "upload/"}));
            const double Total = double(Timer.nsecsElapsed()) / 1e6;
            if (Exit != 0 || !QFileInfo::exists(Shot) || !Reply.contains("<url>" + Root)) {
                PeerNote =
                    QStringLiteral("flameshot or curl failed (exit %1): %2").arg(Exit).arg(Reply.left(200));
                break;
            }
            if (I > 0)
                Peer.push_back(Total);
        }
    }

    std::vector<double> Totals, Releases;
    for (const TRun& Run : Ours) {
        Totals.push_back(Run.Total);
        Releases.push_back(Run.Release);
    }
    std::printf(
        "%dx%d hot key to link: Pixhoard %.0f ms (%.0f ms of it after the drag ended), median of %d\n", Width,
        Height, Median(Totals), Median(Releases), Runs);
    if (PeerNote.isEmpty())
        std::printf("%dx%d flameshot full -p + curl upload: %.0f ms; Pixhoard/peers %.2f\n", Width, Height,
                    Median(Peer), Median(Totals) / Median(Peer));
    else
        std::printf("peers not measured: %s\n", qPrintable(PeerNote));
    xcb_disconnect(Connection);
    return 0;
}
