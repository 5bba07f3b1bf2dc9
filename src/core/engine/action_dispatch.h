// Hot keys, tray clicks and browser links name an action; this runs it on the engine.
#pragma once

#include "core/engine/pixhoard.h"
#include "platform/desktop_actions.h"

namespace pxh {

// Runs AAction on the UI thread; what it raises is logged and shown, never thrown into the event handler.
void RunDesktopAction(IPixhoard& AEngine, TDesktopAction AAction);

} // namespace pxh
