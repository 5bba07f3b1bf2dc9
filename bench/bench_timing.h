// Timing shared by the benchmarks: the median of repeated runs, which a busy moment disturbs least.
#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

namespace pxh::bench {

// Median of ARuns runs of AStep, in milliseconds.
inline double MedianMs(int ARuns, const std::function<void()>& AStep) {
    std::vector<double> times;
    for (int i = 0; i < ARuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        AStep();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace pxh::bench
