// Bounded waits for a condition, on the steady clock: one that runs JUCE's message loop between
// looks, for conditions that need timers and notifications delivered, and one that sleeps between
// looks, for waits on other processes and files. Each returns whether the condition came to hold.
#pragma once

#include "Deadline.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <thread>

namespace zarvo::test
{
// Looks at holds() until it is true or timeoutMs have passed, calling between() after each look
// that failed. The last look comes after the bound has passed, so a condition that came to hold
// during the final step still counts.
template <typename Condition, typename Between> bool pollUntil (Condition&& holds, int timeoutMs, Between&& between)
{
    for (const Deadline end (timeoutMs);;)
    {
        if (holds())
            return true;
        if (end.passed())
            return false;
        between();
    }
}

// Runs the message loop for stepMs between looks. The default bound is one no loaded machine
// reaches for a step of a test.
template <typename Condition> bool runMessageLoopUntil (Condition&& holds, int timeoutMs = 10000, int stepMs = 10)
{
    return pollUntil (holds, timeoutMs,
                      [stepMs] { juce::MessageManager::getInstance()->runDispatchLoopUntil (stepMs); });
}

// Sleeps for stepMs between looks, on the calling thread; the message loop does not run.
template <typename Condition> bool sleepUntil (Condition&& holds, int timeoutMs = 10000, int stepMs = 20)
{
    return pollUntil (holds, timeoutMs, [stepMs] { std::this_thread::sleep_for (std::chrono::milliseconds (stepMs)); });
}
} // namespace zarvo::test
