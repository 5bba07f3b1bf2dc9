// Root grabs through one reused MIT-SHM segment (plain GetImage without it), RandR monitors, XFixes cursor.
#include "capture/x11_screen.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace pxh {
namespace {

// xcb replies are malloc'ed; this frees them on every path.
template <class T> using TReply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> TReply<T> Take(T* AReply) {
    return TReply<T>(AReply, &std::free);
}

// Smaller grabs (a window, a row) are cheap to allocate and would only push the screen-sized ones out.
constexpr qint64 MinReusablePixels = 512 * 512;
// The desktop and each monitor.
constexpr std::size_t MaxReusable = 4;

QString ErrorText(const char* AWhat, xcb_generic_error_t* AError) {
    const int code = AError ? AError->error_code : 0;
    std::free(AError);
    return QStringLiteral("%1 failed (X error %2)").arg(QLatin1String(AWhat)).arg(code);
}

} // namespace

// A System V segment attached to the server; removed from the system at once so it cannot outlive us.
class TX11Screen::TShmSegment {
public:
    TShmSegment(xcb_connection_t* AConnection, std::size_t ASize)
        : FConnection(AConnection)
        , FSize(ASize) {
        FId = shmget(IPC_PRIVATE, ASize, IPC_CREAT | 0600);
        if (FId < 0) {
            throw EX11Screen(QStringLiteral("shmget of %1 bytes failed").arg(ASize));
        }
        void* address = shmat(FId, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) {
            shmctl(FId, IPC_RMID, nullptr);
            throw EX11Screen(QStringLiteral("shmat failed"));
        }
        FAddress = static_cast<std::uint8_t*>(address);
        FSeg = xcb_generate_id(FConnection);
        xcb_generic_error_t* error =
            xcb_request_check(FConnection, xcb_shm_attach_checked(FConnection, FSeg, FId, 0));
        shmctl(FId, IPC_RMID, nullptr);
        if (error) {
            shmdt(FAddress);
            throw EX11Screen(ErrorText("ShmAttach", error));
        }
        // Touch every page now so the first grab at the hot key pays no page faults.
        std::memset(FAddress, 0, FSize);
    }
    ~TShmSegment() {
        xcb_shm_detach(FConnection, FSeg);
        xcb_flush(FConnection);
        shmdt(FAddress);
    }
    TShmSegment(const TShmSegment&) = delete;
    TShmSegment& operator=(const TShmSegment&) = delete;

    std::uint32_t Seg() const noexcept { return FSeg; }
    const std::uint8_t* Data() const noexcept { return FAddress; }
    std::size_t Size() const noexcept { return FSize; }

private:
    xcb_connection_t* FConnection;
    std::size_t FSize;
    int FId = -1;
    std::uint8_t* FAddress = nullptr;
    std::uint32_t FSeg = 0;
};

TX11Screen::TX11Screen(xcb_connection_t* AConnection, int AScreenNumber)
    : FConnection(AConnection) {
    if (!FConnection || xcb_connection_has_error(FConnection)) {
        throw EX11Screen(QStringLiteral("No usable X connection"));
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(FConnection));
    for (int i = 0; i < AScreenNumber && it.rem; ++i) {
        xcb_screen_next(&it);
    }
    if (!it.rem) {
        throw EX11Screen(QStringLiteral("No X screen %1").arg(AScreenNumber));
    }
    FRoot = it.data->root;
    FRootDepth = it.data->root_depth;

    auto randr =
        Take(xcb_randr_query_version_reply(FConnection, xcb_randr_query_version(FConnection, 1, 5), nullptr));
    auto xfixes = Take(
        xcb_xfixes_query_version_reply(FConnection, xcb_xfixes_query_version(FConnection, 5, 0), nullptr));
    FXFixesAvailable = xfixes != nullptr;
    auto shm = Take(xcb_shm_query_version_reply(FConnection, xcb_shm_query_version(FConnection), nullptr));
    FShmAvailable = shm != nullptr;
    FUseShm = FShmAvailable;
    if (FShmAvailable) {
        try {
            const QRect root = RootRect();
            FSegment =
                std::make_unique<TShmSegment>(FConnection, std::size_t(root.width()) * root.height() * 4);
        } catch (const EX11Screen&) {
            // A server on another host cannot share memory; the plain path still works.
            FShmAvailable = FUseShm = false;
        }
    }
    // The first whole-screen grab at the hot key then finds its picture ready.
    if (QImage* image = ReusableImage(RootRect().size())) {
        image->fill(0);
    }
}

TX11Screen::~TX11Screen() = default;

TX11Screen& TX11Screen::Application() {
    static std::unique_ptr<TX11Screen> screen;
    static std::mutex lock;
    std::lock_guard guard(lock);
    if (!screen) {
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11) {
            throw EX11Screen(QStringLiteral("The program does not run on X11"));
        }
        screen = std::make_unique<TX11Screen>(x11->connection());
    }
    return *screen;
}

QRect TX11Screen::RootRect() const {
    auto geometry = Take(xcb_get_geometry_reply(FConnection, xcb_get_geometry(FConnection, FRoot), nullptr));
    if (!geometry) {
        throw EX11Screen(QStringLiteral("GetGeometry of the root failed"));
    }
    return QRect(0, 0, geometry->width, geometry->height);
}

std::vector<TMonitorInfo> TX11Screen::Monitors() const {
    std::vector<TMonitorInfo> result;
    auto reply = Take(
        xcb_randr_get_monitors_reply(FConnection, xcb_randr_get_monitors(FConnection, FRoot, 1), nullptr));
    if (reply) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t* info = it.data;
            result.push_back({AtomName(info->name), QRect(info->x, info->y, info->width, info->height),
                              info->primary != 0});
        }
    }
    if (result.empty()) {
        result.push_back({QString(), RootRect(), true});
    }
    return result;
}

QRect TX11Screen::DesktopRect() const {
    QRect result;
    for (const TMonitorInfo& monitor : Monitors()) {
        result = result.united(monitor.Rect);
    }
    return result;
}

QPoint TX11Screen::PointerPosition() const {
    auto reply = Take(xcb_query_pointer_reply(FConnection, xcb_query_pointer(FConnection, FRoot), nullptr));
    if (!reply) {
        throw EX11Screen(QStringLiteral("QueryPointer failed"));
    }
    return QPoint(reply->root_x, reply->root_y);
}

void TX11Screen::WarpPointer(QPoint ATarget) {
    xcb_warp_pointer(FConnection, XCB_NONE, FRoot, 0, 0, 0, 0, static_cast<std::int16_t>(ATarget.x()),
                     static_cast<std::int16_t>(ATarget.y()));
    xcb_flush(FConnection);
}

void TX11Screen::MovePointerBy(QPoint ADelta, const QRect& AClamp) {
    QPoint target = PointerPosition() + ADelta;
    // A warp passes pointer barriers, so the confining display is enforced here.
    if (AClamp.isValid()) {
        target.setX(std::clamp(target.x(), AClamp.left(), AClamp.right()));
        target.setY(std::clamp(target.y(), AClamp.top(), AClamp.bottom()));
    }
    WarpPointer(target);
}

QImage TX11Screen::Grab(const QRect& AArea) {
    // A request past the root's edge is a BadMatch that would end the connection's usefulness.
    const QRect area = AArea.intersected(RootRect());
    if (area.isEmpty()) {
        return QImage();
    }
    std::lock_guard guard(FGrabLock);
    if (FUseShm) {
        const std::size_t needed = std::size_t(area.width()) * area.height() * 4;
        if (!FSegment || FSegment->Size() < needed) {
            // The root grew (a monitor was added): one larger segment replaces the old one.
            FSegment.reset();
            const QRect root = RootRect();
            FSegment =
                std::make_unique<TShmSegment>(FConnection, std::size_t(root.width()) * root.height() * 4);
        }
        return GrabWithShm(area);
    }
    return GrabPlain(area);
}

QImage TX11Screen::GrabWithShm(const QRect& AArea) {
    xcb_generic_error_t* error = nullptr;
    auto reply = Take(xcb_shm_get_image_reply(
        FConnection,
        xcb_shm_get_image(FConnection, FRoot, static_cast<std::int16_t>(AArea.x()),
                          static_cast<std::int16_t>(AArea.y()), static_cast<std::uint16_t>(AArea.width()),
                          static_cast<std::uint16_t>(AArea.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                          FSegment->Seg(), 0),
        &error));
    if (!reply) {
        throw EX11Screen(ErrorText("ShmGetImage", error));
    }
    return ToOpaqueImage(FSegment->Data(), std::min<std::size_t>(reply->size, FSegment->Size()), reply->depth,
                         AArea.size());
}

QImage TX11Screen::GrabPlain(const QRect& AArea) {
    xcb_generic_error_t* error = nullptr;
    auto reply = Take(xcb_get_image_reply(
        FConnection,
        xcb_get_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, FRoot, static_cast<std::int16_t>(AArea.x()),
                      static_cast<std::int16_t>(AArea.y()), static_cast<std::uint16_t>(AArea.width()),
                      static_cast<std::uint16_t>(AArea.height()), ~0u),
        &error));
    if (!reply) {
        throw EX11Screen(ErrorText("GetImage", error));
    }
    return ToOpaqueImage(xcb_get_image_data(reply.get()), std::size_t(xcb_get_image_data_length(reply.get())),
                         reply->depth, AArea.size());
}

int TX11Screen::BitsPerPixel(int ADepth) const {
    const xcb_setup_t* setup = xcb_get_setup(FConnection);
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == ADepth) {
            return it.data->bits_per_pixel;
        }
    }
    return 0;
}

// The kept picture of that size, held by nobody else, so that writing to it does not copy it; none for a
// small size.
QImage* TX11Screen::ReusableImage(const QSize& ASizePx) {
    if (qint64(ASizePx.width()) * ASizePx.height() < MinReusablePixels) {
        return nullptr;
    }
    const auto same = std::find_if(FReusable.begin(), FReusable.end(),
                                   [&](const QImage& AImage) { return AImage.size() == ASizePx; });
    if (same != FReusable.end()) {
        // Held elsewhere (a form still shows it), it must stay as it is: that picture is replaced.
        if (same->isDetached()) {
            return &*same;
        }
        FReusable.erase(same);
    } else if (FReusable.size() >= MaxReusable) {
        FReusable.erase(FReusable.begin());
    }
    FReusable.emplace_back(ASizePx, QImage::Format_RGB32);
    return &FReusable.back();
}

QImage TX11Screen::ToOpaqueImage(const std::uint8_t* AData, std::size_t ASize, int ADepth,
                                 const QSize& ASizePx) {
    const int bpp = BitsPerPixel(ADepth);
    const std::size_t stride = std::size_t(ASizePx.width()) * (bpp / 8);
    if ((bpp != 32 && bpp != 16) || ASize < stride * ASizePx.height()) {
        throw EX11Screen(
            QStringLiteral("Unsupported root format: depth %1, %2 bits per pixel").arg(ADepth).arg(bpp));
    }
    QImage* reusable = ReusableImage(ASizePx);
    QImage fresh = reusable ? QImage() : QImage(ASizePx, QImage::Format_RGB32);
    QImage& image = reusable ? *reusable : fresh;
    for (int y = 0; y < ASizePx.height(); ++y) {
        const std::uint8_t* source = AData + stride * y;
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (bpp == 16) {
            const auto* row = reinterpret_cast<const std::uint16_t*>(source);
            for (int x = 0; x < ASizePx.width(); ++x) {
                const unsigned p = row[x];
                const unsigned r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
                target[x] =
                    qRgb(int((r << 3) | (r >> 2)), int((g << 2) | (g >> 4)), int((b << 3) | (b >> 2)));
            }
        } else if (ADepth == 30) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(source);
            for (int x = 0; x < ASizePx.width(); ++x) {
                const std::uint32_t p = row[x];
                target[x] = qRgb(int((p >> 22) & 0xFF), int((p >> 12) & 0xFF), int((p >> 2) & 0xFF));
            }
        } else {
            // Depth 24 leaves the top byte 0: the pixels are read as opaque.
            const auto* row = reinterpret_cast<const std::uint32_t*>(source);
            for (int x = 0; x < ASizePx.width(); ++x) {
                target[x] = row[x] | 0xFF000000u;
            }
        }
    }
    return image;
}

std::optional<TCursorImage> TX11Screen::CursorImage() const {
    if (!FXFixesAvailable) {
        return std::nullopt;
    }
    auto reply = Take(
        xcb_xfixes_get_cursor_image_reply(FConnection, xcb_xfixes_get_cursor_image(FConnection), nullptr));
    if (!reply || reply->width == 0 || reply->height == 0) {
        return std::nullopt;
    }
    const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    QImage image(reply->width, reply->height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < reply->height; ++y) {
        std::memcpy(image.scanLine(y), pixels + std::size_t(y) * reply->width, std::size_t(reply->width) * 4);
    }
    return TCursorImage{image, QPoint(reply->xhot, reply->yhot), QPoint(reply->x, reply->y)};
}

std::optional<TWindowFacts> TX11Screen::WindowFacts(std::uint32_t AWindow) const {
    std::uint32_t top = AWindow;
    for (;;) {
        auto tree = Take(xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, top), nullptr));
        if (!tree) {
            return std::nullopt;
        }
        if (tree->parent == FRoot || tree->parent == XCB_NONE || top == FRoot) {
            break;
        }
        top = tree->parent;
    }
    auto geometry = Take(xcb_get_geometry_reply(FConnection, xcb_get_geometry(FConnection, top), nullptr));
    auto attributes = Take(
        xcb_get_window_attributes_reply(FConnection, xcb_get_window_attributes(FConnection, top), nullptr));
    if (!geometry || !attributes) {
        return std::nullopt;
    }
    auto origin = Take(xcb_translate_coordinates_reply(
        FConnection, xcb_translate_coordinates(FConnection, top, FRoot, 0, 0), nullptr));
    const int border = geometry->border_width;
    const QPoint at =
        origin ? QPoint(origin->dst_x - border, origin->dst_y - border) : QPoint(geometry->x, geometry->y);
    TWindowFacts facts;
    facts.Rect = QRect(at, QSize(geometry->width + 2 * border, geometry->height + 2 * border));
    facts.Viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    facts.Title = TextProperty(AWindow, InternAtom("_NET_WM_NAME"), InternAtom("UTF8_STRING"));
    if (facts.Title.isEmpty()) {
        facts.Title = TextProperty(AWindow, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY);
    }
    return facts;
}

std::optional<std::uint32_t> TX11Screen::TopLevelAt(const QPoint& APoint, std::uint32_t AExclude) const {
    auto tree = Take(xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, FRoot), nullptr));
    if (!tree) {
        return std::nullopt;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    // Children come bottom to top: the first hit from the end is the topmost.
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        if (children[i] == AExclude) {
            continue;
        }
        auto attributes = Take(xcb_get_window_attributes_reply(
            FConnection, xcb_get_window_attributes(FConnection, children[i]), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
            continue;
        }
        const std::optional<TWindowFacts> facts = WindowFacts(children[i]);
        if (facts && facts->Rect.contains(APoint)) {
            return children[i];
        }
    }
    return std::nullopt;
}

QString TX11Screen::AtomName(std::uint32_t AAtom) const {
    auto reply = Take(xcb_get_atom_name_reply(FConnection, xcb_get_atom_name(FConnection, AAtom), nullptr));
    if (!reply) {
        return QString();
    }
    return QString::fromLatin1(xcb_get_atom_name_name(reply.get()),
                               xcb_get_atom_name_name_length(reply.get()));
}

std::uint32_t TX11Screen::InternAtom(const char* AName) const {
    auto reply = Take(xcb_intern_atom_reply(
        FConnection, xcb_intern_atom(FConnection, 1, static_cast<std::uint16_t>(std::strlen(AName)), AName),
        nullptr));
    return reply ? reply->atom : std::uint32_t(XCB_ATOM_NONE);
}

QString TX11Screen::TextProperty(std::uint32_t AWindow, std::uint32_t AProperty, std::uint32_t AType) const {
    if (AProperty == XCB_ATOM_NONE) {
        return QString();
    }
    auto reply = Take(xcb_get_property_reply(
        FConnection, xcb_get_property(FConnection, 0, AWindow, AProperty, AType, 0, 4096), nullptr));
    if (!reply || reply->format != 8) {
        return QString();
    }
    const auto* text = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const int length = xcb_get_property_value_length(reply.get());
    // The title ends at its first NUL.
    const int end = int(std::find(text, text + length, '\0') - text);
    const bool utf8 = reply->type == InternAtom("UTF8_STRING");
    return utf8 ? QString::fromUtf8(text, end) : QString::fromLatin1(text, end);
}

TPointerConfinement::TPointerConfinement(TX11Screen& AScreen, const QRect& ARect)
    : FConnection(AScreen.Connection()) {
    const auto x1 = static_cast<std::uint16_t>(ARect.left()), y1 = static_cast<std::uint16_t>(ARect.top());
    const auto x2 = static_cast<std::uint16_t>(ARect.right() + 1),
               y2 = static_cast<std::uint16_t>(ARect.bottom() + 1);
    // Each barrier lets the pointer pass inwards only.
    const struct {
        std::uint16_t X1, Y1, X2, Y2;
        std::uint32_t Allowed;
    } edges[] = {
        {x1, y1, x1, y2, XCB_XFIXES_BARRIER_DIRECTIONS_POSITIVE_X},
        {x2, y1, x2, y2, XCB_XFIXES_BARRIER_DIRECTIONS_NEGATIVE_X},
        {x1, y1, x2, y1, XCB_XFIXES_BARRIER_DIRECTIONS_POSITIVE_Y},
        {x1, y2, x2, y2, XCB_XFIXES_BARRIER_DIRECTIONS_NEGATIVE_Y},
    };
    for (const auto& edge : edges) {
        const std::uint32_t barrier = xcb_generate_id(FConnection);
        xcb_xfixes_create_pointer_barrier(FConnection, barrier, AScreen.Root(), edge.X1, edge.Y1, edge.X2,
                                          edge.Y2, edge.Allowed, 0, nullptr);
        FBarriers.push_back(barrier);
    }
    xcb_flush(FConnection);
}

TPointerConfinement::~TPointerConfinement() {
    for (const std::uint32_t barrier : FBarriers) {
        xcb_xfixes_delete_pointer_barrier(FConnection, barrier);
    }
    xcb_flush(FConnection);
}

} // namespace pxh
