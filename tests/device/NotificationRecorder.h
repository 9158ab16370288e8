// What the device-change tests share: callbacks that record each call they get, and delivery of
// injected events up to a sentinel, so that "nothing was called" needs no waiting on a clock.
#pragma once

#include "DeviceNotification.h"
#include "FileDescriptors.h"
#include "UdevEventInjector.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

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

// Sends the events and then the sentinel, runs the message loop until the sentinel has been
// recorded, and returns the calls recorded since the last clear, without the sentinel.
inline std::vector<NotificationCall> deliver (UdevEventInjector& injector, const std::vector<UdevEvent>& events)
{
    for (const auto& event : events)
        EXPECT_TRUE (injector.send (event)) << injector.error();
    EXPECT_TRUE (injector.send (UdevEventInjector::hidrawEvent ("add", sentinelVendorId, 0x0001, 0x5E57, 99)))
        << injector.error();

    auto& calls = recordedCalls();
    const auto sentinelSeen = [&calls] { return !calls.empty() && calls.back().vendorId == sentinelVendorId; };
    EXPECT_TRUE (runMessageLoopUntil (sentinelSeen)) << "the sentinel event never reached the callback";

    auto result = calls;
    if (sentinelSeen())
        result.pop_back();
    calls.clear();
    return result;
}
} // namespace zarvo::test
