// The window pick: a private connection selects raw button and key events on the root, a worker thread
// reads them, and the outcome travels to the UI thread tagged with the pick it belongs to.
#include "capture/window_pick.h"

#include "base/logger.h"
#include "core/ui_bridge.h"

#include <X11/keysym.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>

namespace pxh {
namespace {

template <class T> using TReply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> TReply<T> Take(T* AReply) {
    return TReply<T>(AReply, &std::free);
}

enum class TOutcome { Picked, Cancelled };

// How deep below a frame the client is looked for; frames nest a few windows at most.
constexpr int MaxFrameDepth = 6;

} // namespace

class TWindowPick::TSession {
public:
    // Runs once on the worker thread when the pick ends by itself; never after the destructor began.
    using TFinish = std::function<void(TOutcome, std::uint32_t)>;

    TSession(const QByteArray& ADisplay, TFinish AFinish)
        : FFinish(std::move(AFinish)) {
        FConnection = xcb_connect(ADisplay.isEmpty() ? nullptr : ADisplay.constData(), nullptr);
        if (xcb_connection_has_error(FConnection)) {
            Release();
            throw EWindowPick(QStringLiteral("Cannot connect to the X display"));
        }
        try {
            Prepare();
        } catch (...) {
            Release();
            throw;
        }
        FThread = std::thread([this] { Run(); });
    }

    ~TSession() {
        const std::uint64_t one = 1;
        if (::write(FWake, &one, sizeof one) != sizeof one) {
            ZRLog(QStringLiteral("TWindowPick: the worker could not be woken"));
        }
        FThread.join();
        Release();
    }

    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

private:
    void Release() noexcept {
        xcb_disconnect(FConnection);
        FConnection = nullptr;
        if (FWake >= 0) {
            ::close(FWake);
        }
        FWake = -1;
    }

    void Prepare() {
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(FConnection, &xcb_input_id);
        if (!extension || !extension->present) {
            throw EWindowPick(QStringLiteral("The X server has no XInput extension"));
        }
        FOpcode = extension->major_opcode;
        // Before 2.1 raw events stop while another client holds a grab, as every clicked window does.
        auto version = Take(xcb_input_xi_query_version_reply(
            FConnection, xcb_input_xi_query_version(FConnection, 2, 2), nullptr));
        if (!version || version->major_version < 2 ||
            (version->major_version == 2 && version->minor_version < 1)) {
            throw EWindowPick(QStringLiteral("The X server lacks XInput 2.1"));
        }
        FRoot = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root;
        FWmState = InternAtom("WM_STATE");
        FActiveWindow = InternAtom("_NET_ACTIVE_WINDOW");
        if (xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(FConnection)) {
            if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, XK_Escape)) {
                for (const xcb_keycode_t* code = codes; *code != XCB_NO_SYMBOL; ++code) {
                    FEscape.push_back(*code);
                }
                std::free(codes);
            }
            xcb_key_symbols_free(symbols);
        }
        FWake = ::eventfd(0, EFD_CLOEXEC);
        if (FWake < 0) {
            throw EWindowPick(QStringLiteral("eventfd failed"));
        }
        // Checked, so the selection is in force when Start returns: a click right after it counts.
        if (xcb_generic_error_t* error = xcb_request_check(FConnection, Select(true))) {
            const int code = error->error_code;
            std::free(error);
            throw EWindowPick(QStringLiteral("Selecting raw input events failed (X error %1)").arg(code));
        }
    }

    xcb_void_cookie_t Select(bool AOn) {
        struct {
            xcb_input_event_mask_t Head;
            std::uint32_t Bits;
        } mask{};
        mask.Head.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
        mask.Head.mask_len = 1;
        mask.Bits = AOn ? std::uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS |
                                        XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE)
                        : 0u;
        return xcb_input_xi_select_events_checked(FConnection, FRoot, 1, &mask.Head);
    }

    xcb_atom_t InternAtom(const char* AName) const {
        auto reply = Take(xcb_intern_atom_reply(
            FConnection, xcb_intern_atom(FConnection, 0, std::uint16_t(std::strlen(AName)), AName), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    void Run() {
        pollfd fds[2] = {{xcb_get_file_descriptor(FConnection), POLLIN, 0}, {FWake, POLLIN, 0}};
        for (;;) {
            while (auto event = Take(xcb_poll_for_event(FConnection))) {
                if (Handle(event.get())) {
                    return;
                }
            }
            if (xcb_connection_has_error(FConnection)) {
                ZRLog(QStringLiteral("TWindowPick: the X connection broke"));
                FFinish(TOutcome::Cancelled, 0);
                return;
            }
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
                ZRLog(QStringLiteral("TWindowPick: poll failed"));
                FFinish(TOutcome::Cancelled, 0);
                return;
            }
            if (fds[1].revents != 0) {
                return; // the owner stops the pick; it expects no outcome
            }
        }
    }

    // Answers true when the event ended the pick.
    bool Handle(const xcb_generic_event_t* AEvent) {
        if ((AEvent->response_type & 0x7F) != XCB_GE_GENERIC) {
            return false;
        }
        const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(AEvent);
        if (generic->extension != FOpcode) {
            return false;
        }
        if (generic->event_type == XCB_INPUT_RAW_BUTTON_RELEASE) {
            const auto* raw = reinterpret_cast<const xcb_input_raw_button_release_event_t*>(AEvent);
            if (raw->detail != 1) {
                return false;
            }
            const std::uint32_t window = WindowUnderPointer();
            End(window ? TOutcome::Picked : TOutcome::Cancelled, window);
            return true;
        }
        if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS) {
            const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(AEvent);
            if (std::find(FEscape.begin(), FEscape.end(), xcb_keycode_t(raw->detail)) == FEscape.end()) {
                return false;
            }
            End(TOutcome::Cancelled, 0);
            return true;
        }
        return false;
    }

    void End(TOutcome AOutcome, std::uint32_t AWindow) {
        xcb_discard_reply(FConnection, Select(false).sequence);
        xcb_flush(FConnection);
        FFinish(AOutcome, AWindow);
    }

    bool HasWmState(xcb_window_t AWindow) const {
        auto reply = Take(xcb_get_property_reply(
            FConnection, xcb_get_property(FConnection, 0, AWindow, FWmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
            nullptr));
        return reply && reply->type != XCB_ATOM_NONE;
    }

    // The window carrying WM_STATE in AWindow's subtree, AWindow included; 0 when there is none.
    xcb_window_t ClientBelow(xcb_window_t AWindow, int ADepth) const {
        if (HasWmState(AWindow)) {
            return AWindow;
        }
        if (ADepth >= MaxFrameDepth) {
            return 0;
        }
        auto tree = Take(xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, AWindow), nullptr));
        if (!tree) {
            return 0;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        // Topmost first: a frame's client lies above its background, below no decoration.
        for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
            if (const xcb_window_t client = ClientBelow(children[i], ADepth + 1)) {
                return client;
            }
        }
        return 0;
    }

    xcb_window_t ActiveWindow() const {
        if (FActiveWindow == XCB_ATOM_NONE) {
            return 0;
        }
        auto reply = Take(xcb_get_property_reply(
            FConnection, xcb_get_property(FConnection, 0, FRoot, FActiveWindow, XCB_ATOM_WINDOW, 0, 1),
            nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) {
            return 0;
        }
        const xcb_window_t window = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
        // A stale value may name a window that is gone.
        auto attributes = Take(xcb_get_window_attributes_reply(
            FConnection, xcb_get_window_attributes(FConnection, window), nullptr));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE ? window : 0;
    }

    // The client window under the pointer; 0 over the bare root.
    std::uint32_t WindowUnderPointer() const {
        auto pointer =
            Take(xcb_query_pointer_reply(FConnection, xcb_query_pointer(FConnection, FRoot), nullptr));
        if (!pointer || pointer->child == XCB_NONE) {
            return 0;
        }
        const xcb_window_t top = pointer->child;
        // Down the pointer's own chain first: over a frame holding several clients it finds the right one.
        for (xcb_window_t window = top; window != XCB_NONE;) {
            if (HasWmState(window)) {
                return window;
            }
            auto below =
                Take(xcb_query_pointer_reply(FConnection, xcb_query_pointer(FConnection, window), nullptr));
            window = below ? below->child : xcb_window_t(XCB_NONE);
        }
        // Over a decoration the chain misses the client; the frame's subtree holds it.
        if (const xcb_window_t client = ClientBelow(top, 0)) {
            return client;
        }
        // An override-redirect window (a menu, a tooltip) has no client: its owner is the active window.
        if (const xcb_window_t active = ActiveWindow()) {
            return active;
        }
        return top;
    }

    TFinish FFinish;
    xcb_connection_t* FConnection = nullptr;
    int FWake = -1;
    xcb_window_t FRoot = 0;
    std::uint8_t FOpcode = 0;
    xcb_atom_t FWmState = XCB_ATOM_NONE;
    xcb_atom_t FActiveWindow = XCB_ATOM_NONE;
    std::vector<xcb_keycode_t> FEscape;
    std::thread FThread;
};

struct TWindowPick::TState {
    std::uint64_t Generation = 0; // tells a late outcome from the pick that is pending now
    bool Pending = false;
    TPicked OnPicked;
    TCancelled OnCancelled;
    std::unique_ptr<TSession> Session;
};

TWindowPick::TWindowPick(QByteArray ADisplay)
    : FDisplay(std::move(ADisplay))
    , FState(std::make_shared<TState>()) {}

TWindowPick::~TWindowPick() {
    FState->Session.reset();
}

bool TWindowPick::Start(TPicked AOnPicked, TCancelled AOnCancelled) {
    if (FState->Pending) {
        return false;
    }
    FState->Session.reset();
    const std::uint64_t generation = ++FState->Generation;
    auto finish = [weak = std::weak_ptr<TState>(FState), generation](TOutcome AOutcome,
                                                                     std::uint32_t AWindow) {
        PostToUi([weak, generation, AOutcome, AWindow] {
            const std::shared_ptr<TState> state = weak.lock();
            if (!state || state->Generation != generation || !state->Pending) {
                return;
            }
            state->Pending = false;
            const TPicked picked = std::move(state->OnPicked);
            const TCancelled cancelled = std::move(state->OnCancelled);
            // The worker has posted its last word; it ends at once.
            state->Session.reset();
            if (AOutcome == TOutcome::Picked) {
                if (picked) {
                    picked(AWindow);
                }
            } else if (cancelled) {
                cancelled();
            }
        });
    };
    FState->Session = std::make_unique<TSession>(FDisplay, std::move(finish));
    FState->OnPicked = std::move(AOnPicked);
    FState->OnCancelled = std::move(AOnCancelled);
    FState->Pending = true;
    return true;
}

void TWindowPick::Cancel() {
    if (!FState->Pending) {
        return;
    }
    ++FState->Generation;
    FState->Pending = false;
    FState->OnPicked = nullptr;
    FState->OnCancelled = nullptr;
    FState->Session.reset();
}

bool TWindowPick::IsPending() const {
    return FState->Pending;
}

} // namespace pxh
