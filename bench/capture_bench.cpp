// Times the whole-screen grab against a plain memory copy of as many bytes, and a whole-screen PNG against
// scrot's.
#include "capture/bitmap_helper.h"
#include "capture/x11_screen.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
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


// A private Xvfb whose root shows a screenshot-like picture, so the PNG sizes mean something.
class TServer {
public:
    TServer(int AWidth, int AHeight) {
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
        Paint(AWidth, AHeight);
    }
    ~TServer() {
        xcb_disconnect(FConnection);
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }
    xcb_connection_t* Connection() const { return FConnection; }
    const std::string& Display() const { return FDisplay; }

private:
    void Paint(int AWidth, int AHeight) {
        QImage picture(AWidth, AHeight, QImage::Format_RGB32);
        picture.fill(qRgb(240, 240, 240));
        {
            QPainter painter(&picture);
            painter.fillRect(0, 0, AWidth, 40, qRgb(40, 90, 160));
            for (int y = 60; y < AHeight; y += 18) {
                painter.fillRect(20, y, (y * 37) % (AWidth / 2) + 100, 10,
                                 QColor::fromHsv((y / 18 * 29) % 360, 90, 200));
            }
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data;
        const xcb_pixmap_t pixmap = xcb_generate_id(FConnection);
        xcb_create_pixmap(FConnection, screen->root_depth, pixmap, screen->root, uint16_t(AWidth),
                          uint16_t(AHeight));
        const xcb_gcontext_t gc = xcb_generate_id(FConnection);
        xcb_create_gc(FConnection, gc, pixmap, 0, nullptr);
        const int rows =
            std::max(1, int((xcb_get_maximum_request_length(FConnection) * 4 - 64) / (AWidth * 4)));
        for (int y = 0; y < AHeight; y += rows) {
            const int count = std::min(rows, AHeight - y);
            xcb_put_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(AWidth),
                          uint16_t(count), 0, int16_t(y), 0, screen->root_depth, uint32_t(count * AWidth * 4),
                          picture.constScanLine(y));
        }
        xcb_change_window_attributes(FConnection, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_clear_area(FConnection, 0, screen->root, 0, 0, 0, 0);
        xcb_free_pixmap(FConnection, pixmap);
        free(xcb_get_input_focus_reply(FConnection, xcb_get_input_focus(FConnection), nullptr));
    }

    pid_t FPid = -1;
    std::string FDisplay;
    xcb_connection_t* FConnection = nullptr;
};

void Run(int AWidth, int AHeight) {
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

    QTemporaryDir folder;
    qint64 ownSize = 0;
    const double own = MedianMs(3, [&] {
        const QString name = pxh::TBitmapFHelper::SaveToTempFile(screen.Grab(all), folder.path(), 1);
        ownSize = QFileInfo(name).size();
        QFile::remove(name);
    });
    const QString scrotFile = folder.filePath(QStringLiteral("scrot.png"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(server.Display()));
    const double scrot = MedianMs(3, [&] {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral("scrot"), {QStringLiteral("-o"), scrotFile});
        process.waitForFinished(60000);
    });
    std::printf("%dx%d grab: SHM %.2f ms, plain %.2f ms, memcpy %.2f ms; SHM/memcpy %.2f\n", AWidth, AHeight,
                shm, plain, copy, shm / copy);
    std::printf("%dx%d PNG: Pixhoard %.1f ms %lld bytes, scrot %.1f ms %lld bytes; time ratio %.2f, size "
                "ratio %.2f\n",
                AWidth, AHeight, own, static_cast<long long>(ownSize), scrot,
                static_cast<long long>(QFileInfo(scrotFile).size()), own / scrot,
                double(ownSize) / double(std::max<qint64>(1, QFileInfo(scrotFile).size())));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        Run(1920, 1080);
        Run(3840, 2160);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
