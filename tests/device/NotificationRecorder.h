// What the device-change tests share: callbacks that record each call they get, and delivery of
// injected events up to a sentinel, so that "nothing was called" needs no waiting on a clock.
#pragma once

#include "DeviceNotification.h"
#include "FileDescriptors.h"
#include "PollUntil.h"
#include "UdevEventInjector.h"
#include "linux/UdevMonitor.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zarvo::test
{
struct NotificationCall
{
    char callback; // 'A' or 'B'
    unsigned short vendorId;
    unsigned short productId;
    std::string devicePath;
    int removed;
    void* userData;
    bool onMessageThread;
};

inline std::vector<NotificationCall>& recordedCalls()
{
    static std::vector<NotificationCall> calls;
    return calls;
}

template <char name>
void recordCall (unsigned short vendorId, unsigned short productId, const char* devicePath, int removed, void* userData)
{
    recordedCalls().push_back ({ name, vendorId, productId, devicePath, removed, userData,
                                 juce::MessageManager::getInstance()->isThisTheMessageThread() });
}

inline constexpr hid::DeviceChangeCallback recordA = &recordCall<'A'>;
inline constexpr hid::DeviceChangeCallback recordB = &recordCall<'B'>;

// An event no test sends otherwise; its arrival shows that everything sent before it was handled.
inline constexpr unsigned short sentinelVendorId = 0x5E57;

inline UdevEvent sentinelEvent()
{
    return UdevEventInjector::hidrawEvent ("add", sentinelVendorId, 0x0001, 0x5E57, 99);
}

// Sends the events and then the sentinel, runs the message loop until the sentinel has been
// recorded, and returns the calls recorded since the last clear, without the sentinel.
inline std::vector<NotificationCall> deliver (UdevEventInjector& injector, const std::vector<UdevEvent>& events)
{
    for (const auto& event : events)
        EXPECT_TRUE (injector.send (event)) << injector.error();
    EXPECT_TRUE (injector.send (sentinelEvent())) << injector.error();

    auto& calls = recordedCalls();
    const auto sentinelSeen = [&calls] { return !calls.empty() && calls.back().vendorId == sentinelVendorId; };
    EXPECT_TRUE (runMessageLoopUntil (sentinelSeen)) << "the sentinel event never reached the callback";

    auto result = calls;
    if (sentinelSeen())
        result.pop_back();
    calls.clear();
    return result;
}

inline std::vector<std::string>& witnessedPaths()
{
    static std::vector<std::string> paths;
    return paths;
}

// Sends the events and then the sentinel where no callback may be called (no source, or none yet),
// runs the message loop until a monitor of the test's own has seen the sentinel, and returns every
// call recorded since the last clear. Each round of the loop serves every monitor whose socket
// holds an event, and a monitor hands on its events in order: by the time the witness has the
// sentinel, a source of the registration would have handed on every event sent before it.
inline std::vector<NotificationCall> deliverUnheard (UdevEventInjector& injector, const std::vector<UdevEvent>& events)
{
    witnessedPaths().clear();
    const auto witness = hid::UdevMonitor::create ("hidraw", [] (const char*, const char* syspath)
                                                   { witnessedPaths().push_back (syspath); });
    EXPECT_NE (witness, nullptr) << "no monitor to witness the events";
    for (const auto& event : events)
        EXPECT_TRUE (injector.send (event)) << injector.error();
    EXPECT_TRUE (injector.send (sentinelEvent())) << injector.error();

    const auto sentinelPath = "/sys" + sentinelEvent().devpath;
    const auto sentinelSeen = [&sentinelPath]
    {
        const auto& paths = witnessedPaths();
        return std::find (paths.begin(), paths.end(), sentinelPath) != paths.end();
    };
    EXPECT_TRUE (runMessageLoopUntil (sentinelSeen)) << "the sentinel event never reached the witness";

    auto result = recordedCalls();
    recordedCalls().clear();
    return result;
}
} // namespace zarvo::test
