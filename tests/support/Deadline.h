// The moment a bounded wait gives up, on the steady clock. (JUCE's millisecond counter is 32 bits
// wide and wraps after 49.7 days of uptime: a deadline computed across the wrap lies in the past,
// and the wait gives up at once.)
#pragma once

#include <chrono>

namespace zarvo::test
{
class Deadline
{
public:
    explicit Deadline (int timeoutMs) : end (std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs))
    {
    }

    bool passed() const { return std::chrono::steady_clock::now() >= end; }

private:
    std::chrono::steady_clock::time_point end;
};
} // namespace zarvo::test
