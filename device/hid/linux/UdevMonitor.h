// A libudev monitor of one subsystem's device events (as udevd announces them), served by the
// JUCE message loop: each event reaches the handler on the message thread.
#pragma once

#include <memory>

struct udev;
struct udev_monitor;

namespace zarvo::hid
{
class UdevMonitor
{
public:
    // action is udev's ("add", "remove", "change", ...), syspath the device's path under /sys.
    // Both are valid only during the call. The handler may destroy the monitor.
    using EventHandler = void (*) (const char* action, const char* syspath);

    // Null when udev, the monitor's socket or the message loop is not available.
    static std::unique_ptr<UdevMonitor> create (const char* subsystem, EventHandler handler);
    ~UdevMonitor();

    UdevMonitor (const UdevMonitor&) = delete;
    UdevMonitor& operator= (const UdevMonitor&) = delete;

private:
    UdevMonitor (udev* context, udev_monitor* monitor, EventHandler handler);
    void receiveEvent();

    udev* context;
    udev_monitor* monitor;
    int fd;
    EventHandler handler;
};
} // namespace zarvo::hid
