#include "PauseTally.h"

#include <cerrno>
#include <ctime>

namespace zarvo::benchmark
{
namespace
{
thread_local bool watching = false;
thread_local Pauses tally;

// What the C library's nanosleep does: a relative sleep on the realtime clock.
int sleepFor (const timespec* requested, timespec* remaining)
{
    const int error = ::clock_nanosleep (CLOCK_REALTIME, 0, requested, remaining);
    if (error != 0)
    {
        errno = error;
        return -1;
    }
    return 0;
}
} // namespace

void watchPauses()
{
    tally = {};
    watching = true;
}

Pauses takePauses()
{
    watching = false;
    return tally;
}
} // namespace zarvo::benchmark

// Calls from the code linked into this executable (JUCE's Thread::sleep among them) bind to this
// definition rather than the C library's.
extern "C" int nanosleep (const timespec* requested, timespec* remaining)
{
    using namespace zarvo::benchmark;
    if (!watching)
        return sleepFor (requested, remaining);
    const auto start = Clock::now();
    const int result = sleepFor (requested, remaining);
    tally.slept += Clock::now() - start;
    ++tally.count;
    return result;
}
