// Times, on one private Xvfb per screen size: the whole-screen grab against a plain memory copy of as
// many bytes; the capture form's first paint against flameshot's overlay; a whole-screen PNG against
// scrot's and maim's.
#include "capture/bitmap_helper.h"
#include "capture/capture_form.h"
#include "capture/x11_screen.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

extern char** environ;

#include "bench_timing.h"

using pxh::bench::MedianMs;

namespace {

constexpr int FormRuns = 9;
constexpr int PeerRuns = 5;
constexpr int OverlayTimeoutMs = 15000;

// A busy, screenshot-like picture: a gradient desktop, a photo with fine grain, a text document and a
// chart. Flat colours alone would flatter every PNG encoder.
QImage BusyPicture(int AWidth, int AHeight) {
    QImage picture(AWidth, AHeight, QImage::Format_RGB32);
    std::mt19937 random(7);
    {
        QPainter painter(&picture);
        QLinearGradient desktop(0, 0, AWidth, AHeight);
        desktop.setColorAt(0, QColor(30, 60, 110));
        desktop.setColorAt(1, QColor(120, 40, 90));
        painter.fillRect(picture.rect(), desktop);
        painter.fillRect(0, 0, AWidth, 32, QColor(40, 40, 46));

        // The photo: smooth blobs from a coarse random picture, enlarged with interpolation.
        const QRect photo(AWidth / 2 + 20, 60, AWidth / 2 - 40, AHeight / 2 - 80);
        QImage coarse(photo.width() / 24 + 1, photo.height() / 24 + 1, QImage::Format_RGB32);
        for (int y = 0; y < coarse.height(); ++y) {
            for (int x = 0; x < coarse.width(); ++x) {
                coarse.setPixel(x, y, qRgb(int(random() % 256), int(random() % 256), int(random() % 256)));
            }
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(photo, coarse);

        // The document: a white window full of text.
        const QRect page(20, 60, AWidth / 2 - 40, AHeight - 100);
        painter.fillRect(page, Qt::white);
        painter.fillRect(page.x(), page.y(), page.width(), 28, QColor(225, 228, 235));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(13);
        painter.setFont(font);
        const QString words =
            QStringLiteral("The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor "
                           "jugs. 0123456789 "
                           "Sphinx of black quartz, judge my vow! How vexingly quick daft zebras jump. ");
        for (int y = page.y() + 48, line = 0; y < page.bottom() - 10; y += 18, ++line) {
            painter.setPen(line % 7 == 0 ? QColor(20, 70, 160) : QColor(30, 30, 30));
            painter.drawText(page.x() + 12, y, words.mid(line * 11 % 60) + words);
        }

        // The chart: coloured bars in a grey window.
        const QRect chart(AWidth / 2 + 20, AHeight / 2, AWidth / 2 - 40, AHeight / 2 - 40);
        painter.fillRect(chart, QColor(240, 240, 240));
        for (int y = chart.y() + 20; y < chart.bottom() - 10; y += 18) {
            painter.fillRect(chart.x() + 20, y, (y * 37) % (chart.width() - 140) + 100, 10,
                             QColor::fromHsv((y / 18 * 29) % 360, 90, 200));
        }
    }
    // Sensor grain on the photo, as real photos and video frames have it.
    const QRect grain(AWidth / 2 + 20, 60, AWidth / 2 - 40, AHeight / 2 - 80);
    for (int y = grain.top(); y <= grain.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = grain.left(); x <= grain.right(); ++x) {
            const int d = int(random() % 13) - 6;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + d, 0, 255), std::clamp(qGreen(p) + d, 0, 255),
                           std::clamp(qBlue(p) + d, 0, 255));
        }
    }
    return picture;
}

// A private Xvfb whose root shows the busy picture.
class TServer {
public:
    TServer(int AWidth, int AHeight)
        : FWidth(AWidth)
        , FHeight(AHeight) {
        int fds[2];
        if (pipe(fds) != 0) {
            throw std::runtime_error("pipe");
        }
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = std::to_string(AWidth) + "x" + std::to_string(AHeight) + "x24";
        std::vector<std::string> args = {"Xvfb", "-displayfd", fd,          "-screen",
                                         "0",    screen,       "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&FPid, "Xvfb", nullptr, nullptr, argv.data(), environ) != 0) {
            throw std::runtime_error("Xvfb cannot be started");
        }
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        FDisplay = ":" + number;
        FConnection = xcb_connect(FDisplay.c_str(), nullptr);
        Paint(BusyPicture(AWidth, AHeight));
    }
    ~TServer() {
        xcb_disconnect(FConnection);
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }
    xcb_connection_t* Connection() const { return FConnection; }
    const std::string& Display() const { return FDisplay; }
    xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

private:
    void Paint(const QImage& APicture) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data;
        const xcb_pixmap_t pixmap = xcb_generate_id(FConnection);
        xcb_create_pixmap(FConnection, screen->root_depth, pixmap, screen->root, uint16_t(FWidth),
                          uint16_t(FHeight));
        const xcb_gcontext_t gc = xcb_generate_id(FConnection);
        xcb_create_gc(FConnection, gc, pixmap, 0, nullptr);
        const int rows =
            std::max(1, int((xcb_get_maximum_request_length(FConnection) * 4 - 64) / (FWidth * 4)));
        for (int y = 0; y < FHeight; y += rows) {
            const int count = std::min(rows, FHeight - y);
            xcb_put_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(FWidth),
                          uint16_t(count), 0, int16_t(y), 0, screen->root_depth, uint32_t(count * FWidth * 4),
                          APicture.constScanLine(y));
        }
        xcb_change_window_attributes(FConnection, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_clear_area(FConnection, 0, screen->root, 0, 0, 0, 0);
        xcb_free_pixmap(FConnection, pixmap);
        free(xcb_get_input_focus_reply(FConnection, xcb_get_input_focus(FConnection), nullptr));
    }

    int FWidth;
    int FHeight;
    pid_t FPid = -1;
    std::string FDisplay;
    xcb_connection_t* FConnection = nullptr;
};

// A private session bus for the peers that want one; stopped with the object.
class TSessionBus {
public:
    TSessionBus() {
        FDaemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address=1")});
        if (FDaemon.waitForStarted(5000) && FDaemon.waitForReadyRead(5000)) {
            FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();
        }
    }
    ~TSessionBus() {
        FDaemon.kill();
        FDaemon.waitForFinished(3000);
    }
    // Empty when the daemon could not be started.
    const QString& Address() const { return FAddress; }

private:
    QProcess FDaemon;
    QString FAddress;
};

void RoundTrip(xcb_connection_t* AConnection) {
    free(xcb_get_input_focus_reply(AConnection, xcb_get_input_focus(AConnection), nullptr));
}

// ---- The capture form, measured in a child process that runs Qt on the bench's X server ----

// Ends the loop once the form's first paint while exposed has reached the server. Qt paints an exposed
// window and flushes its backing store (a put-image of the painted region) within the same event
// delivery, so a zero timer queued from the paint runs after the flush; the round trip on Qt's own
// connection then returns only after the server has processed that put-image, i.e. the frame is on the
// screen.
class TFirstPaint : public QObject {
public:
    TFirstPaint(QWidget& AForm, QEventLoop& ALoop, const QElapsedTimer& ATimer)
        : FForm(AForm)
        , FLoop(ALoop)
        , FTimer(ATimer) {}
    // When the paint began and when it had been flushed, in milliseconds from the request.
    double PaintStart() const { return FPaintStart; }
    double Flushed() const { return FFlushed; }
    bool eventFilter(QObject* AWatched, QEvent* AEvent) override {
        if (!FSeen && AWatched == &FForm && AEvent->type() == QEvent::Paint &&
            FForm.window()->windowHandle() && FForm.window()->windowHandle()->isExposed()) {
            FSeen = true;
            FPaintStart = double(FTimer.nsecsElapsed()) / 1e6;
            QTimer::singleShot(0, &FLoop, [this] {
                FFlushed = double(FTimer.nsecsElapsed()) / 1e6;
                RoundTrip(pxh::TX11Screen::Application().Connection());
                FLoop.quit();
            });
        }
        return false;
    }

private:
    QWidget& FForm;
    QEventLoop& FLoop;
    const QElapsedTimer& FTimer;
    bool FSeen = false;
    double FPaintStart = 0;
    double FFlushed = 0;
};

// Milliseconds from the request: snapshot taken, paint begun, paint flushed, frame on the server.
struct TFormSteps {
    double Snapshot = 0;
    double PaintStart = 0;
    double Flushed = 0;
    double Total = 0;
    bool Shown = false;
};

// What the running program does on the hot key: a new form, the snapshot, show, until the first frame is
// on the server. Shown tells whether the form's guide line really crosses the screen afterwards.
TFormSteps OpenFormOnce() {
    pxh::TX11Screen& screen = pxh::TX11Screen::Application();
    const QPoint pointer = screen.PointerPosition();
    const QRect guideRow(0, pointer.y(), screen.RootRect().width(), 1);
    const QImage before = screen.Grab(guideRow);
    pxh::TCaptureSettings settings;
    QEventLoop loop;
    TFormSteps steps;
    QElapsedTimer timer;
    timer.start();
    auto form = std::make_unique<pxh::TCaptureForm>(settings);
    form->CreateSnapshot();
    steps.Snapshot = double(timer.nsecsElapsed()) / 1e6;
    TFirstPaint probe(*form, loop, timer);
    form->installEventFilter(&probe);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    form->show();
    loop.exec();
    steps.Total = double(timer.nsecsElapsed()) / 1e6;
    steps.PaintStart = probe.PaintStart();
    steps.Flushed = probe.Flushed();
    const QImage after = screen.Grab(guideRow);
    int changed = 0;
    for (int x = 0; x < after.width(); ++x) {
        changed += after.pixel(x, 0) != before.pixel(x, 0);
    }
    steps.Shown = changed > after.width() / 8;
    form->hide();
    form.reset();
    QCoreApplication::processEvents();
    RoundTrip(screen.Connection());
    return steps;
}

// Prints the first form of the process, then the run with the median total of the following ones.
int FirstPaintChild(int argc, char** argv) {
    QApplication app(argc, argv);
    pxh::TX11Screen& screen = pxh::TX11Screen::Application();
    const QRect root = screen.RootRect();
    screen.WarpPointer(QPoint(root.width() / 3, root.height() / 3));
    // What the program does at start.
    pxh::TCaptureForm::Prepare(root.size());
    const TFormSteps first = OpenFormOnce();
    bool shown = first.Shown;
    std::vector<TFormSteps> runs;
    for (int i = 0; i < FormRuns; ++i) {
        runs.push_back(OpenFormOnce());
        shown = shown && runs.back().Shown;
    }
    std::sort(runs.begin(), runs.end(),
              [](const TFormSteps& A, const TFormSteps& B) { return A.Total < B.Total; });
    const TFormSteps& median = runs[runs.size() / 2];
    std::printf("%.3f %.3f %.3f %.3f %.3f %d\n", first.Total, median.Total, median.Snapshot,
                median.PaintStart, median.Flushed, shown ? 1 : 0);
    return 0;
}

struct TFormFigures {
    double First = 0;
    double Median = 0;
    // Of the median run: snapshot taken, paint begun, paint flushed.
    double Snapshot = 0;
    double PaintStart = 0;
    double Flushed = 0;
    bool Shown = false;
    QString Failure;
};

QProcessEnvironment EnvironmentFor(const TServer& AServer) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(AServer.Display()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

TFormFigures MeasureForm(const TServer& AServer) {
    QProcess child;
    child.setProcessEnvironment(EnvironmentFor(AServer));
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--first-paint")});
    TFormFigures figures;
    if (!child.waitForFinished(120000) || child.exitCode() != 0) {
        figures.Failure = QString::fromUtf8(child.readAllStandardError()).trimmed();
        return figures;
    }
    const QStringList words =
        QString::fromUtf8(child.readAllStandardOutput()).split(u' ', Qt::SkipEmptyParts);
    if (words.size() != 6) {
        figures.Failure = QStringLiteral("no figures from the child");
        return figures;
    }
    figures.First = words[0].toDouble();
    figures.Median = words[1].toDouble();
    figures.Snapshot = words[2].toDouble();
    figures.PaintStart = words[3].toDouble();
    figures.Flushed = words[4].toDouble();
    figures.Shown = words[5].trimmed() == u'1';
    return figures;
}

// ---- flameshot's overlay, watched from the bench's own connection ----

struct TOverlayFigures {
    double Mapped = 0;
    double Painted = 0;
    QString Failure;
};

std::set<xcb_window_t> RootChildren(const TServer& AServer) {
    std::set<xcb_window_t> children;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(
        AServer.Connection(), xcb_query_tree(AServer.Connection(), AServer.Root()), nullptr);
    if (tree) {
        const xcb_window_t* list = xcb_query_tree_children(tree);
        children.insert(list, list + xcb_query_tree_children_length(tree));
        free(tree);
    }
    return children;
}

bool IsViewableFullScreen(const TServer& AServer, xcb_window_t AWindow) {
    xcb_connection_t* c = AServer.Connection();
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, AWindow), nullptr);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, AWindow), nullptr);
    const bool result = attributes && geometry && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                        geometry->width >= AServer.Width() && geometry->height >= AServer.Height();
    free(attributes);
    free(geometry);
    return result;
}

// Three rows across the screen: an overlay over the whole screen changes them all.
std::vector<QImage> ProbeRows(pxh::TX11Screen& AScreen, const TServer& AServer) {
    std::vector<QImage> rows;
    for (const int y : {AServer.Height() / 4, AServer.Height() / 2, AServer.Height() * 3 / 4}) {
        rows.push_back(AScreen.Grab(QRect(0, y, AServer.Width(), 1)));
    }
    return rows;
}

// Changed from before, and not a plain fill (a window's background before its contents are drawn).
bool OverlayPainted(const std::vector<QImage>& ABefore, const std::vector<QImage>& ANow) {
    for (std::size_t i = 0; i < ANow.size(); ++i) {
        if (ANow[i] == ABefore[i]) {
            return false;
        }
        const QImage& row = ANow[i];
        bool varied = false;
        for (int x = 1; x < row.width() && !varied; ++x) {
            varied = row.pixel(x, 0) != row.pixel(0, 0);
        }
        if (!varied) {
            return false;
        }
    }
    return true;
}

// `flameshot gui` as a fresh process (its tray daemon answered no request on a bare Xvfb here): from the
// start until a new full-screen window is viewable, and until the screen shows its overlay.
TOverlayFigures OverlayOnce(const TServer& AServer, pxh::TX11Screen& AScreen,
                            const QProcessEnvironment& AEnvironment) {
    const std::set<xcb_window_t> before = RootChildren(AServer);
    const std::vector<QImage> rows = ProbeRows(AScreen, AServer);
    QProcess process;
    process.setProcessEnvironment(AEnvironment);
    TOverlayFigures figures;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("flameshot"), {QStringLiteral("gui")});
    std::optional<xcb_window_t> overlay;
    while (timer.elapsed() < OverlayTimeoutMs) {
        if (process.waitForFinished(0) || process.state() == QProcess::NotRunning) {
            figures.Failure =
                QStringLiteral("it ended with code %1: %2")
                    .arg(process.exitCode())
                    .arg(QString::fromUtf8(process.readAllStandardError()).trimmed().right(200));
            return figures;
        }
        if (!overlay) {
            for (const xcb_window_t window : RootChildren(AServer)) {
                if (!before.count(window) && IsViewableFullScreen(AServer, window)) {
                    overlay = window;
                    figures.Mapped = double(timer.nsecsElapsed()) / 1e6;
                    break;
                }
            }
        }
        if (overlay && OverlayPainted(rows, ProbeRows(AScreen, AServer))) {
            figures.Painted = double(timer.nsecsElapsed()) / 1e6;
            break;
        }
        usleep(1000);
    }
    process.kill();
    process.waitForFinished(5000);
    if (figures.Painted == 0) {
        figures.Failure = overlay ? QStringLiteral("its window never showed an overlay")
                                  : QStringLiteral("no full-screen window appeared");
        return figures;
    }
    // Wait until the overlay is gone, so the next run starts from the bare picture.
    for (int i = 0; i < 2000 && RootChildren(AServer).count(*overlay); ++i) {
        usleep(1000);
    }
    return figures;
}

TOverlayFigures MeasureFlameshot(const TServer& AServer, pxh::TX11Screen& AScreen) {
    TOverlayFigures figures;
    if (QStandardPaths::findExecutable(QStringLiteral("flameshot")).isEmpty()) {
        figures.Failure = QStringLiteral("not installed");
        return figures;
    }
    TSessionBus bus;
    if (bus.Address().isEmpty()) {
        figures.Failure = QStringLiteral("no session bus could be started");
        return figures;
    }
    QTemporaryDir home;
    QProcessEnvironment environment = EnvironmentFor(AServer);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.Address());
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    std::vector<double> mapped, painted;
    for (int i = 0; i < PeerRuns; ++i) {
        const TOverlayFigures once = OverlayOnce(AServer, AScreen, environment);
        if (!once.Failure.isEmpty()) {
            return once;
        }
        mapped.push_back(once.Mapped);
        painted.push_back(once.Painted);
    }
    std::sort(mapped.begin(), mapped.end());
    std::sort(painted.begin(), painted.end());
    figures.Mapped = mapped[mapped.size() / 2];
    figures.Painted = painted[painted.size() / 2];
    return figures;
}

// ---- the runs ----

// Milliseconds (median) for a peer writing its whole-screen PNG to AFile.
double PeerPngMs(const TServer& AServer, const QString& AProgram, const QStringList& AArguments) {
    return MedianMs(3, [&] {
        QProcess process;
        process.setProcessEnvironment(EnvironmentFor(AServer));
        process.start(AProgram, AArguments);
        process.waitForFinished(60000);
    });
}

qint64 QtDefaultPngSize(const QImage& AImage) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.write(AImage);
    return buffer.size();
}

void Run(int AWidth, int AHeight, double AAimFirstPaintMs) {
    TServer server(AWidth, AHeight);
    pxh::TX11Screen screen(server.Connection());
    const QRect all(0, 0, AWidth, AHeight);
    screen.Grab(all);
    const double shm = MedianMs(15, [&] { screen.Grab(all); });
    screen.SetUseShm(false);
    const double plain = MedianMs(15, [&] { screen.Grab(all); });
    screen.SetUseShm(true);
    std::vector<char> from(std::size_t(AWidth) * AHeight * 4, 1), to(from.size());
    const double copy = MedianMs(15, [&] {
        std::memcpy(to.data(), from.data(), from.size());
        from[0] = to[1];
    });
    std::printf("%dx%d grab: SHM %.2f ms, plain %.2f ms, memcpy %.2f ms; SHM/memcpy %.2f\n", AWidth, AHeight,
                shm, plain, copy, shm / copy);

    const TFormFigures form = MeasureForm(server);
    const TOverlayFigures flameshot = MeasureFlameshot(server, screen);
    if (!form.Failure.isEmpty()) {
        std::printf("%dx%d first paint: Pixhoard not measured (%s)\n", AWidth, AHeight,
                    qPrintable(form.Failure));
    } else {
        std::printf(
            "%dx%d first paint: Pixhoard %.1f ms (aim %.0f ms; snapshot taken at %.1f, paint begun at "
            "%.1f, flushed at %.1f; first form of the process, after the start-up preparation, %.1f ms)%s\n",
            AWidth, AHeight, form.Median, AAimFirstPaintMs, form.Snapshot, form.PaintStart, form.Flushed,
            form.First, form.Shown ? "" : " WARNING: the form was not seen on the screen");
    }
    if (!flameshot.Failure.isEmpty()) {
        std::printf("%dx%d first paint: flameshot: not measured (%s)\n", AWidth, AHeight,
                    qPrintable(flameshot.Failure));
    } else {
        std::printf("%dx%d first paint: flameshot gui (a fresh process) %.1f ms to its window mapped, %.1f "
                    "ms to its overlay "
                    "painted; Pixhoard/flameshot %.3f\n",
                    AWidth, AHeight, flameshot.Mapped, flameshot.Painted,
                    form.Failure.isEmpty() ? form.Median / flameshot.Painted : 0.0);
    }

    QTemporaryDir folder;
    qint64 ownSize = 0;
    const double own = MedianMs(3, [&] {
        const QString name = pxh::TBitmapFHelper::SaveToTempFile(screen.Grab(all), folder.path(), 1);
        ownSize = QFileInfo(name).size();
        QFile::remove(name);
    });
    const qint64 qtSize = QtDefaultPngSize(screen.Grab(all));
    std::printf("%dx%d PNG: Pixhoard %.1f ms %lld bytes; size/Qt default compression (%lld bytes) %.2f "
                "(aim 0.90-1.10)\n",
                AWidth, AHeight, own, static_cast<long long>(ownSize), static_cast<long long>(qtSize),
                double(ownSize) / double(std::max<qint64>(1, qtSize)));
    const struct {
        const char* Name;
        QStringList Arguments;
    } peers[] = {{"scrot", {QStringLiteral("-o")}}, {"maim", {QStringLiteral("-u")}}};
    for (const auto& peer : peers) {
        const QString program = QString::fromLatin1(peer.Name);
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            std::printf("%dx%d PNG: %s: not measured (not installed)\n", AWidth, AHeight, peer.Name);
            continue;
        }
        const QString file = folder.filePath(program + QStringLiteral(".png"));
        const double ms = PeerPngMs(server, program, peer.Arguments + QStringList{file});
        const qint64 size = QFileInfo(file).size();
        std::printf("%dx%d PNG: %s %.1f ms %lld bytes; time Pixhoard/%s %.2f%s, size Pixhoard/%s %.2f\n",
                    AWidth, AHeight, peer.Name, ms, static_cast<long long>(size), peer.Name, own / ms,
                    program == u"scrot" ? " (aim 0.50)" : "", peer.Name,
                    double(ownSize) / double(std::max<qint64>(1, size)));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--first-paint") == 0) {
        return FirstPaintChild(argc, argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        Run(1920, 1080, 30);
        Run(3840, 2160, 80);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
