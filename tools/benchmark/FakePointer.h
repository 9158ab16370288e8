// The press and first move of a drag as the XTest requests that xdotool makes, sent on the
// benchmark's own X connection: XSync returns once the server has handled them and queued their
// events for the application, so the drag's start is known to within one round trip (xdotool's own
// process start and exit, several milliseconds, would blur it).
#pragma once

#include "Benchmark.h"

#include <string>

namespace zarvo::benchmark
{
class FakePointer
{
public:
    FakePointer();
    ~FakePointer();
    FakePointer (const FakePointer&) = delete;
    FakePointer& operator= (const FakePointer&) = delete;

    // Empty while the pointer can be used, else why not.
    const std::string& error() const { return whyNot; }

    // Presses button 1 and moves the pointer to the screen point. `sent` is taken just before the
    // round trip that delivers both, `handled` just after it.
    bool pressAndMove (int x, int y, Clock::time_point& sent, Clock::time_point& handled);

private:
    struct Calls;
    Calls* calls = nullptr;
    std::string whyNot;
};
} // namespace zarvo::benchmark
