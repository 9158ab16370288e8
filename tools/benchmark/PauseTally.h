// The pauses that painting makes on purpose (juce::Thread::sleep, which is nanosleep on Linux),
// counted and timed on the thread that asks for it. The benchmark's own nanosleep stands in for the
// C library's in this executable only: it sleeps exactly as that one does and times the sleeps of a
// watched thread.
#pragma once

#include "Benchmark.h"

namespace zarvo::benchmark
{
struct Pauses
{
    int count = 0;
    Clock::duration slept{};
};

// Starts counting this thread's pauses afresh.
void watchPauses();
// What this thread has paused since watchPauses(); stops watching.
Pauses takePauses();
} // namespace zarvo::benchmark
