// The send-window registry: numbering, lookup by window id, removal.
#include "capture/window_manager.h"

#include <algorithm>

namespace pxh {

void TWindowRec::SetNumber(std::int32_t AValue) {
    FNumber = AValue;
    if (FWindow) {
        FWindow->setWindowTitle(QStringLiteral("Pixhoard (%1)").arg(AValue));
    }
}

TIntrusivePtr<TWindowRec> TWindowManager::Add(QWidget* AForm) {
    TLockGuard guard(*this);
    auto record = MakeInterfaced<TWindowRec>(AForm, AForm ? AForm->winId() : WId(0));
    record->SetNumber(GetMaxNumber() + 1);
    Add(record);
    return record;
}

void TWindowManager::Delete(WId AWnd) {
    TIntrusivePtr<TWindowRec> removed;
    {
        TLockGuard guard(*this);
        const std::vector<TItemPtr> items = Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i]->Wnd() == AWnd) {
                removed = Extract(static_cast<int>(i));
                break;
            }
        }
    }
}

TIntrusivePtr<TWindowRec> TWindowManager::FindByWnd(WId AWnd) const {
    for (const TItemPtr& item : Items()) {
        if (item->Wnd() == AWnd) {
            return item;
        }
    }
    return {};
}

std::int32_t TWindowManager::GetMaxNumber() const {
    std::int32_t result = 0;
    for (const TItemPtr& item : Items()) {
        result = std::max(result, item->Number());
    }
    return result;
}

TWindowManager& WindowManager() {
    static const TIntrusivePtr<TWindowManager> manager = MakeInterfaced<TWindowManager>();
    return *manager;
}

} // namespace pxh
