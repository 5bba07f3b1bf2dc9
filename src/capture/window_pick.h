// Lets the user pick a window with the next left click, watched through XInput 2 raw events.
#pragma once

#include "base/exception.h"

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <memory>

namespace pxh {

PXH_DECLARE_EXCEPTION(EWindowPick, EPixhoard);

// Raw events do not grab: the click still reaches the window under the pointer. The events are read on a
// thread of the pick's own, from a connection of its own; the outcome is delivered on the UI thread.
// Start, Cancel, IsPending and the destructor belong to the UI thread.
class TWindowPick {
public:
    using TPicked = std::function<void(std::uint32_t AWindow)>;
    using TCancelled = std::function<void()>;

    // ADisplay empty: the DISPLAY of the process.
    explicit TWindowPick(QByteArray ADisplay = {});
    ~TWindowPick();
    TWindowPick(const TWindowPick&) = delete;
    TWindowPick& operator=(const TWindowPick&) = delete;

    // Watches for the next left-button release and answers true. On the release, AOnPicked receives the
    // client window under the pointer (the window manager's frame is looked through); over a window
    // without a client it receives the active window. A release over the bare root, Escape, or a lost
    // connection end the pick through AOnCancelled instead. While a pick is pending, it answers false
    // and changes nothing: two pending picks would capture one click twice. Raises EWindowPick when the
    // display or its XInput 2.2 cannot be reached.
    bool Start(TPicked AOnPicked, TCancelled AOnCancelled = {});
    // Ends a pending pick without calling either callback.
    void Cancel();
    // True from a successful Start until its outcome is delivered or Cancel.
    bool IsPending() const;

private:
    class TSession;
    struct TState;

    QByteArray FDisplay;
    std::shared_ptr<TState> FState;
};

} // namespace pxh
