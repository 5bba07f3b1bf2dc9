// Arguments that reach the running instance from outside, queued until the forms can take them.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

namespace pxh {

// Where a hand-over came from; browser links get a stricter policy than paths the user gave.
enum class THandOverOrigin { hoCommandLine, hoDrop, hoBrowser };

QString HandOverOriginName(THandOverOrigin AOrigin);

struct THandOver {
    THandOverOrigin Origin = THandOverOrigin::hoCommandLine;
    QString WorkingFolder;
    QString StartupId;
    QStringList Arguments;
};

// UI thread only. Every hand-over is logged on arrival (secrets masked) and reaches the dispatcher
// exactly once, in arrival order; those that arrive before a dispatcher exists wait for it.
class THandOverQueue {
public:
    using TDispatcher = std::function<void(const THandOver&)>;

    void Push(THandOver AHandOver);
    void SetDispatcher(TDispatcher ADispatcher);
    std::size_t Pending() const { return FPending.size(); }

private:
    void Drain();

    std::deque<THandOver> FPending;
    TDispatcher FDispatcher;
    bool FDraining = false;
};

THandOverQueue& HandOverQueue();

} // namespace pxh
