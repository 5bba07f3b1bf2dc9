// A private Xvfb for one test binary: its layout, RandR monitors and a coordinate-coded root pattern.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <sys/types.h>
#include <vector>

struct xcb_connection_t;

namespace pxh::test {

// Every root pixel encodes its position: red-green-blue = x (12 bits) then y (12 bits).
inline unsigned PatternPixel(int AX, int AY) {
    return 0xFF000000u | (unsigned(AX & 0xFFF) << 12) | unsigned(AY & 0xFFF);
}
QImage PatternImage(const QRect& AArea);

struct TDesktopLayout {
    QString Name;
    int Width = 1920;
    int Height = 1080;
    // RandR monitors defined on the one screen; empty keeps the server's own.
    std::vector<QRect> Monitors;
};

// The layout this binary was built for (PXH_X11_LAYOUT: "1080p", "4k" or "dual").
TDesktopLayout BuildLayout();

class TX11Desktop {
public:
    // Starts Xvfb, sets DISPLAY, defines the monitors and paints the pattern on the root.
    explicit TX11Desktop(const TDesktopLayout& ALayout);
    ~TX11Desktop();
    TX11Desktop(const TX11Desktop&) = delete;
    TX11Desktop& operator=(const TX11Desktop&) = delete;

    const TDesktopLayout& Layout() const { return FLayout; }
    QString Display() const { return FDisplay; }
    // A connection of the test's own, apart from Qt's.
    xcb_connection_t* Connection() const { return FConnection; }
    static TX11Desktop* Instance();

private:
    void DefineMonitors();
    void PaintPattern();

    TDesktopLayout FLayout;
    pid_t FPid = -1;
    QString FDisplay;
    xcb_connection_t* FConnection = nullptr;
};

// A bare override-redirect window on the test's connection, filled magenta, with a UTF-8 title.
class TTestWindow {
public:
    TTestWindow(xcb_connection_t* AConnection, const QRect& ARect, const QByteArray& ATitle);
    ~TTestWindow();
    TTestWindow(const TTestWindow&) = delete;
    TTestWindow& operator=(const TTestWindow&) = delete;
    void Map();
    std::uint32_t Id() const { return FWindow; }

private:
    xcb_connection_t* FConnection;
    std::uint32_t FWindow = 0;
};

} // namespace pxh::test
