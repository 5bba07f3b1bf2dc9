// The registry of the program's open send windows, which numbers their captions "Pixhoard (n)".
#pragma once

#include "base/interfaced_object.h"
#include "base/interfaced_object_list.h"

#include <QPointer>
#include <QWidget>
#include <cstdint>

namespace pxh {

// One registered send window. X11 has no window procedures to chain: the form keeps its own event
// handling, and only the number and the window id are recorded.
class TWindowRec : public TInterfacedObjectKVB {
public:
    TWindowRec() = default;
    TWindowRec(QWidget* AWindow, WId AWnd)
        : FWindow(AWindow)
        , FWnd(AWnd) {}

    QWidget* Window() const { return FWindow.data(); }
    WId Wnd() const noexcept { return FWnd; }
    std::int32_t Number() const noexcept { return FNumber; }
    // Also sets the form's caption "Pixhoard (n)".
    void SetNumber(std::int32_t AValue);

private:
    QPointer<QWidget> FWindow;
    WId FWnd = 0;
    std::int32_t FNumber = 0;
};

class TWindowManager : public TInterfacedObjectList<TWindowRec> {
public:
    // Numbers are never reused below the highest open one: closing 1 of 1, 2 and adding gives 3.
    TIntrusivePtr<TWindowRec> Add(QWidget* AForm);
    void Delete(WId AWnd);
    TIntrusivePtr<TWindowRec> FindByWnd(WId AWnd) const;
    std::int32_t GetMaxNumber() const;

    using TInterfacedObjectList<TWindowRec>::Add;
};

// The one registry of the process, created at first use.
TWindowManager& WindowManager();

} // namespace pxh
