// The X11 side of capturing: root grabs through MIT-SHM, monitors, pointer, cursor image, window facts.
#pragma once

#include "base/exception.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct xcb_connection_t;

namespace pxh {

PXH_DECLARE_EXCEPTION(EX11Screen, EPixhoard);

struct TMonitorInfo {
    QString Name;
    // Physical root pixels.
    QRect Rect;
    bool Primary = false;
};

struct TCursorImage {
    // Premultiplied ARGB, as the server gives it.
    QImage Image;
    QPoint HotSpot;
    // Root position of the pointer.
    QPoint Position;
};

struct TWindowFacts {
    // The top-level (frame) rectangle in root pixels, before clamping.
    QRect Rect;
    QString Title;
    bool Viewable = false;
};

// One X connection's screen. The connection is not owned: the program passes Qt's, tests their own.
// Grabs may come from any thread; the shared memory segment is guarded.
class TX11Screen {
public:
    explicit TX11Screen(xcb_connection_t* AConnection, int AScreenNumber = 0);
    ~TX11Screen();
    TX11Screen(const TX11Screen&) = delete;
    TX11Screen& operator=(const TX11Screen&) = delete;

    // The screen of Qt's own connection; raises when the program does not run on X11.
    static TX11Screen& Application();

    xcb_connection_t* Connection() const noexcept { return FConnection; }
    std::uint32_t Root() const noexcept { return FRoot; }
    QRect RootRect() const;
    // RandR monitors in root pixels; the root itself when the server reports none.
    std::vector<TMonitorInfo> Monitors() const;
    // The bounding box of the monitors.
    QRect DesktopRect() const;
    QPoint PointerPosition() const;
    // Moves the pointer by ADelta root pixels, kept inside AClamp when it is valid.
    void MovePointerBy(QPoint ADelta, const QRect& AClamp = {});
    void WarpPointer(QPoint ATarget);

    // The pixels of AArea clamped to the root, opaque, as Format_RGB32; a null image when nothing of
    // AArea lies on the root. Raises EX11Screen when the server refuses.
    QImage Grab(const QRect& AArea);
    bool ShmAvailable() const noexcept { return FShmAvailable; }
    // Tests run the plain-request path this way.
    void SetUseShm(bool AValue) noexcept { FUseShm = AValue && FShmAvailable; }

    std::optional<TCursorImage> CursorImage() const;
    // The topmost viewable top-level window containing root point APoint, AExclude left out (the capture
    // form lies over everything); none over the bare root.
    std::optional<std::uint32_t> TopLevelAt(const QPoint& APoint, std::uint32_t AExclude = 0) const;
    // Facts of AWindow's top-level ancestor below the root; none when the window does not exist.
    std::optional<TWindowFacts> WindowFacts(std::uint32_t AWindow) const;

private:
    class TShmSegment;

    QImage GrabWithShm(const QRect& AArea);
    QImage GrabPlain(const QRect& AArea);
    QImage ToOpaqueImage(const std::uint8_t* AData, std::size_t ASize, int ADepth, const QSize& ASizePx);
    QImage* ReusableImage(const QSize& ASizePx);
    int BitsPerPixel(int ADepth) const;
    QString AtomName(std::uint32_t AAtom) const;
    std::uint32_t InternAtom(const char* AName) const;
    QString TextProperty(std::uint32_t AWindow, std::uint32_t AProperty, std::uint32_t AType) const;

    xcb_connection_t* FConnection;
    std::uint32_t FRoot = 0;
    std::uint8_t FRootDepth = 0;
    bool FShmAvailable = false;
    bool FUseShm = false;
    bool FXFixesAvailable = false;
    std::mutex FGrabLock;
    std::unique_ptr<TShmSegment> FSegment;
    // Full-screen pictures kept with their pages touched: a grab of the same size writes into one that
    // nobody holds any more instead of faulting in a fresh one. Guarded by FGrabLock.
    std::vector<QImage> FReusable;
};

// Four XFixes pointer barriers around ARect (root pixels): the pointer cannot leave it while this lives.
class TPointerConfinement {
public:
    TPointerConfinement(TX11Screen& AScreen, const QRect& ARect);
    ~TPointerConfinement();
    TPointerConfinement(const TPointerConfinement&) = delete;
    TPointerConfinement& operator=(const TPointerConfinement&) = delete;

private:
    xcb_connection_t* FConnection;
    std::vector<std::uint32_t> FBarriers;
};

} // namespace pxh
