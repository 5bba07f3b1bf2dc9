// Starts and stops the private Xvfb, defines RandR monitors and paints the root pattern.
#include "x11_desktop.h"

#include <QByteArray>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

extern char** environ;

namespace pxh::test {
namespace {

TX11Desktop* GInstance = nullptr;

xcb_atom_t Atom(xcb_connection_t* AConnection, const char* AName) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        AConnection, xcb_intern_atom(AConnection, 0, uint16_t(strlen(AName)), AName), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

void Sync(xcb_connection_t* AConnection) {
    free(xcb_get_input_focus_reply(AConnection, xcb_get_input_focus(AConnection), nullptr));
}

} // namespace

QImage PatternImage(const QRect& AArea) {
    QImage image(AArea.size(), QImage::Format_RGB32);
    for (int y = 0; y < AArea.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < AArea.width(); ++x) {
            row[x] = PatternPixel(AArea.x() + x, AArea.y() + y);
        }
    }
    return image;
}

TDesktopLayout BuildLayout() {
    const QByteArray name = PXH_X11_LAYOUT;
    if (name == "4k") {
        return {"4k", 3840, 2160, {}};
    }
    if (name == "dual") {
        return {"dual", 3840, 1080, {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080)}};
    }
    return {"1080p", 1920, 1080, {}};
}

TX11Desktop::TX11Desktop(const TDesktopLayout& ALayout)
    : FLayout(ALayout) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe");
    }
    const std::string screen = std::to_string(FLayout.Width) + "x" + std::to_string(FLayout.Height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd,    "-screen", "0",
                                     screen, "-nolisten",  "tcp", "-noreset"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&FPid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        throw std::runtime_error("Xvfb cannot be started (package xvfb)");
    }
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        throw std::runtime_error("Xvfb did not report its display");
    }
    FDisplay = QString::fromStdString(":" + number);
    qputenv("DISPLAY", FDisplay.toLatin1());
    FConnection = xcb_connect(FDisplay.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(FConnection)) {
        throw std::runtime_error("cannot connect to Xvfb");
    }
    DefineMonitors();
    PaintPattern();
    GInstance = this;
}

TX11Desktop::~TX11Desktop() {
    GInstance = nullptr;
    if (FConnection) {
        xcb_disconnect(FConnection);
    }
    if (FPid > 0) {
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }
}

TX11Desktop* TX11Desktop::Instance() {
    return GInstance;
}

// RRSetMonitor sent by hand: the generated xcb call miscounts the request length of a monitor.
void SetMonitor(xcb_connection_t* AConnection, xcb_window_t ARoot, xcb_atom_t AName, const QRect& ARect,
                bool APrimary, uint32_t AOutput) {
    struct {
        uint8_t Major, Minor;
        uint16_t Length;
        uint32_t Window, Name;
        uint8_t Primary, Automatic;
        uint16_t Outputs;
        int16_t X, Y;
        uint16_t Width, Height;
        uint32_t WidthMm, HeightMm, Output;
    } request{};
    request.Window = ARoot;
    request.Name = AName;
    request.Primary = APrimary;
    request.Outputs = AOutput ? 1 : 0;
    request.X = int16_t(ARect.x());
    request.Y = int16_t(ARect.y());
    request.Width = uint16_t(ARect.width());
    request.Height = uint16_t(ARect.height());
    request.WidthMm = uint32_t(ARect.width() * 254 / 960);
    request.HeightMm = uint32_t(ARect.height() * 254 / 960);
    request.Output = AOutput;
    static const xcb_protocol_request_t protocol{1, &xcb_randr_id, XCB_RANDR_SET_MONITOR, 1};
    iovec parts[3];
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof(request) - (AOutput ? 0 : sizeof(uint32_t));
    xcb_generic_error_t* error = xcb_request_check(
        AConnection,
        xcb_void_cookie_t{xcb_send_request(AConnection, XCB_REQUEST_CHECKED, parts + 2, &protocol)});
    if (error) {
        free(error);
        throw std::runtime_error("RRSetMonitor failed");
    }
}

void TX11Desktop::DefineMonitors() {
    if (FLayout.Monitors.empty()) {
        return;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root;
    free(xcb_randr_query_version_reply(FConnection, xcb_randr_query_version(FConnection, 1, 5), nullptr));
    // The first monitor takes over the screen's one output, so the server's automatic monitor gives way.
    uint32_t output = 0;
    xcb_randr_get_monitors_reply_t* current =
        xcb_randr_get_monitors_reply(FConnection, xcb_randr_get_monitors(FConnection, root, 0), nullptr);
    if (current) {
        auto it = xcb_randr_get_monitors_monitors_iterator(current);
        if (it.rem && it.data->nOutput > 0) {
            output = xcb_randr_monitor_info_outputs(it.data)[0];
        }
        free(current);
    }
    for (std::size_t i = 0; i < FLayout.Monitors.size(); ++i) {
        SetMonitor(FConnection, root, Atom(FConnection, i == 0 ? "LEFT" : "RIGHT"), FLayout.Monitors[i],
                   i == 0, i == 0 ? output : 0);
    }
    Sync(FConnection);
}

void TX11Desktop::PaintPattern() {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data;
    const xcb_pixmap_t pixmap = xcb_generate_id(FConnection);
    xcb_create_pixmap(FConnection, screen->root_depth, pixmap, screen->root, uint16_t(FLayout.Width),
                      uint16_t(FLayout.Height));
    const xcb_gcontext_t gc = xcb_generate_id(FConnection);
    xcb_create_gc(FConnection, gc, pixmap, 0, nullptr);
    const QImage pattern = PatternImage(QRect(0, 0, FLayout.Width, FLayout.Height));
    const std::size_t maxBytes = std::size_t(xcb_get_maximum_request_length(FConnection)) * 4 - 64;
    const int rowsPerRequest = std::max(1, int(maxBytes / (std::size_t(FLayout.Width) * 4)));
    for (int y = 0; y < FLayout.Height; y += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, FLayout.Height - y);
        xcb_put_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(FLayout.Width),
                      uint16_t(rows), 0, int16_t(y), 0, screen->root_depth,
                      uint32_t(rows * FLayout.Width * 4), pattern.constScanLine(y));
    }
    const uint32_t value = pixmap;
    xcb_change_window_attributes(FConnection, screen->root, XCB_CW_BACK_PIXMAP, &value);
    xcb_clear_area(FConnection, 0, screen->root, 0, 0, 0, 0);
    xcb_free_gc(FConnection, gc);
    xcb_free_pixmap(FConnection, pixmap);
    Sync(FConnection);
}

TTestWindow::TTestWindow(xcb_connection_t* AConnection, const QRect& ARect, const QByteArray& ATitle)
    : FConnection(AConnection) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(AConnection)).data;
    FWindow = xcb_generate_id(AConnection);
    const uint32_t values[] = {0x00FF00FFu, 1};
    xcb_create_window(AConnection, XCB_COPY_FROM_PARENT, FWindow, screen->root, int16_t(ARect.x()),
                      int16_t(ARect.y()), uint16_t(ARect.width()), uint16_t(ARect.height()), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_change_property(AConnection, XCB_PROP_MODE_REPLACE, FWindow, Atom(AConnection, "_NET_WM_NAME"),
                        Atom(AConnection, "UTF8_STRING"), 8, uint32_t(ATitle.size()), ATitle.constData());
}

TTestWindow::~TTestWindow() {
    xcb_destroy_window(FConnection, FWindow);
    Sync(FConnection);
}

void TTestWindow::Map() {
    xcb_map_window(FConnection, FWindow);
    Sync(FConnection);
}

} // namespace pxh::test
