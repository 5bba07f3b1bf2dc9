#include "core/handover_queue.h"

#include "base/logger.h"
#include "base/secret_mask.h"

namespace pxh {

QString HandOverOriginName(THandOverOrigin AOrigin) {
    switch (AOrigin) {
    case THandOverOrigin::hoCommandLine:
        return QStringLiteral("command line");
    case THandOverOrigin::hoDrop:
        return QStringLiteral("drop");
    case THandOverOrigin::hoBrowser:
        return QStringLiteral("browser link");
    }
    return QStringLiteral("unknown");
}

void THandOverQueue::Push(THandOver AHandOver) {
    ZRLogFormat("CreateSendTo.ParamCount %d (%s)",
                {AHandOver.Arguments.size(), HandOverOriginName(AHandOver.Origin)});
    for (const QString& argument : AHandOver.Arguments)
        ZRLog("CreateSendTo.Param [" + HandOverOriginName(AHandOver.Origin) + "] " + MaskSecrets(argument));
    FPending.push_back(std::move(AHandOver));
    Drain();
}

void THandOverQueue::SetDispatcher(TDispatcher ADispatcher) {
    FDispatcher = std::move(ADispatcher);
    Drain();
}

void THandOverQueue::Drain() {
    // A dispatcher may push again (a nested event loop); the outer drain then keeps the order.
    if (!FDispatcher || FDraining)
        return;
    FDraining = true;
    while (!FPending.empty() && FDispatcher) {
        THandOver next = std::move(FPending.front());
        FPending.pop_front();
        try {
            FDispatcher(next);
        } catch (...) {
            ZRLogException(std::current_exception(), " THandOverQueue.Drain ");
        }
    }
    FDraining = false;
}

THandOverQueue& HandOverQueue() {
    static THandOverQueue queue;
    return queue;
}

} // namespace pxh
