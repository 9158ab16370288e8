// Fuzzes the way from a device event to the device-change callback: a udev event with the input's
// action and device path, multicast as udevd sends it, received by the real monitor of the
// notification registration, filtered by its action and parsed for the vendor and product ids. A
// second monitor of the same subsystem records what libudev made of the event, and the callbacks are
// checked against that: one for each "add" or "remove" whose path parses, with the ids parsed from
// the whole path, the path cut to 255 characters, and nothing for the rest. The path parser is also
// given the input's bytes directly. Runs in a private network namespace (root, or an unprivileged
// user namespace), as the hotplug tests do, so that no event of the machine comes in.
//
// Input: one byte picks the action ("add", "remove", "change", "bind", or the next n bytes, n taken
// from the byte after); the rest is the device path below /sys.
#include "DeviceNotification.h"
#include "PollUntil.h"
#include "UdevEventInjector.h"
#include "linux/UdevMonitor.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
void check (bool holds, const char* what)
{
    if (!holds)
    {
        std::fprintf (stderr, "fuzz_device_path: %s\n", what);
        std::abort();
    }
}

struct Callback
{
    unsigned short vendorId;
    unsigned short productId;
    std::string path;
    int removed;
};

struct Event
{
    std::string action;
    std::string syspath;
};

std::vector<Callback> callbacks;
std::vector<Event> events;
int userDataTag = 0;

void recordCallback (unsigned short vendorId, unsigned short productId, const char* devicePath, int removed,
                     void* userData)
{
    check (userData == &userDataTag, "callback with other user data");
    check (devicePath != nullptr, "callback without a path");
    callbacks.push_back ({ vendorId, productId, devicePath, removed });
}

void recordEvent (const char* action, const char* syspath)
{
    events.push_back ({ action, syspath });
}

std::unique_ptr<zarvo::test::UdevEventInjector> injector;
std::unique_ptr<zarvo::hid::UdevMonitor> witness;
unsigned long long sentinelCount = 0;

// Each input's event is followed by a sentinel of its own: once both monitors have seen it, every
// earlier event has been handled (the monitors keep the order).
std::string sentinelPath (unsigned long long n)
{
    return "/devices/virtual/fuzz-sentinel-" + std::to_string (n) + "/0003:FFFF:FFFE.0001/hidraw/hidraw0";
}

template <typename Records, typename IsSentinel> bool lastIs (const Records& records, IsSentinel isSentinel)
{
    return !records.empty() && isSentinel (records.back());
}

std::string actionFor (const std::uint8_t*& data, std::size_t& size)
{
    if (size == 0)
        return "add";
    const auto choice = *data++;
    --size;
    switch (choice % 5)
    {
    case 0:
        return "add";
    case 1:
        return "remove";
    case 2:
        return "change";
    case 3:
        return "bind";
    default:
        break;
    }
    std::size_t length = 0;
    if (size > 0)
    {
        length = *data++ % 16;
        --size;
    }
    length = std::min (length, size);
    std::string action (reinterpret_cast<const char*> (data), length);
    data += length;
    size -= length;
    return action;
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    const auto failure = zarvo::test::enterPrivateNetworkNamespace();
    if (!failure.empty())
    {
        std::fprintf (stderr, "fuzz_device_path: no private network namespace: %s\n", failure.c_str());
        std::exit (1);
    }
    juce::MessageManager::getInstance();

    injector = std::make_unique<zarvo::test::UdevEventInjector>();
    check (injector->isOpen(), "the injector has no socket");
    zarvo::hid::hid_register_device_notification (recordCallback, &userDataTag);
    witness = zarvo::hid::UdevMonitor::create ("hidraw", recordEvent);
    check (witness != nullptr, "no witness monitor");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    const std::string action = actionFor (data, size);
    const std::string devpath (reinterpret_cast<const char*> (data), size);

    // The parser on its own, with the bytes as they are up to a zero byte.
    unsigned short vendorId = 0, productId = 0;
    const int parsed = zarvo::hid::parseVendorProduct (devpath.c_str(), &vendorId, &productId);
    check (parsed == 0 || parsed == 1, "parser result is neither 0 nor 1");

    callbacks.clear();
    events.clear();
    check (injector->send ({ action, devpath, "hidraw", "/dev/hidraw0" }), "event not sent");
    const auto sentinel = sentinelPath (++sentinelCount);
    check (injector->send ({ "add", sentinel, "hidraw", "/dev/hidraw0" }), "sentinel not sent");

    const auto sentinelSyspath = "/sys" + sentinel;
    const auto isSentinelEvent = [&] (const Event& e) { return e.syspath == sentinelSyspath; };
    const auto isSentinelCallback = [&] (const Callback& c) { return c.path == sentinelSyspath; };
    check (zarvo::test::runMessageLoopUntil (
               [&] { return lastIs (events, isSentinelEvent) && lastIs (callbacks, isSentinelCallback); }, 30000, 0),
           "the sentinel did not come");
    events.pop_back();
    callbacks.pop_back();

    // What the registration owes for each event libudev delivered.
    std::vector<Callback> expected;
    for (const auto& event : events)
    {
        const int removed = event.action == "add" ? 0 : event.action == "remove" ? 1 : -1;
        unsigned short vendor = 0, product = 0;
        if (removed < 0 || zarvo::hid::parseVendorProduct (event.syspath.c_str(), &vendor, &product) == 0)
            continue;
        expected.push_back ({ vendor, product, event.syspath.substr (0, 255), removed });
    }

    check (callbacks.size() == expected.size(), "callback count differs from the events");
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        check (callbacks[i].vendorId == expected[i].vendorId, "vendor id differs");
        check (callbacks[i].productId == expected[i].productId, "product id differs");
        check (callbacks[i].removed == expected[i].removed, "removed flag differs");
        check (callbacks[i].path == expected[i].path, "path differs");
    }
    return 0;
}
