// Whether paints keep coming, judged by what a loaded machine cannot break: a number of new paints
// arrives, and no gap between two of them (or before the first) lasts several seconds. A count in
// a window of a few hundred milliseconds is not that: a busy machine stalls a process for longer.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace zarvo::test
{
// Longer than any stall of a loaded machine, far shorter than a paint loop that has stopped.
inline constexpr std::chrono::milliseconds paintGapLimit{ 5000 };

struct PaintCadence
{
    int paints = 0;                            // new paints seen
    std::chrono::milliseconds longestGap{ 0 }; // between two of them, or before the first
};

// Looks at paintCount() after each letTimePass() until `wanted` paints have come since the call,
// or no new one has come for paintGapLimit.
inline PaintCadence watchPaints (const std::function<int()>& paintCount, const std::function<void()>& letTimePass,
                                 int wanted)
{
    using Clock = std::chrono::steady_clock;
    PaintCadence cadence;
    const int first = paintCount();
    int seen = first;
    auto lastNew = Clock::now();
    while (seen - first < wanted)
    {
        letTimePass();
        const auto now = Clock::now();
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds> (now - lastNew);
        const int count = paintCount();
        if (count > seen)
        {
            cadence.longestGap = std::max (cadence.longestGap, gap);
            seen = count;
            lastNew = now;
        }
        else if (gap >= paintGapLimit)
        {
            cadence.longestGap = gap;
            break;
        }
    }
    cadence.paints = seen - first;
    return cadence;
}
} // namespace zarvo::test
