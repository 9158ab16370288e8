#include "UdevMonitor.h"

#include <juce_events/juce_events.h>
#include <libudev.h>

#include <string>

namespace zarvo::hid
{
namespace
{
// Room for a burst of events (a hub full of devices coming or going) while the message thread is
// busy, e.g. with the device I/O of the previous event's handler.
constexpr int receiveBufferSize = 4 * 1024 * 1024;
} // namespace

std::unique_ptr<UdevMonitor> UdevMonitor::create (const char* subsystem, EventHandler handler)
{
    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
        return nullptr;

    auto* context = udev_new();
    if (context == nullptr)
        return nullptr;

    // "udev" rather than "kernel": events once udevd has finished with the device, so that its
    // node exists and carries its permissions.
    auto* monitor = udev_monitor_new_from_netlink (context, "udev");
    if (monitor == nullptr || udev_monitor_filter_add_match_subsystem_devtype (monitor, subsystem, nullptr) < 0 ||
        udev_monitor_enable_receiving (monitor) < 0)
    {
        udev_monitor_unref (monitor);
        udev_unref (context);
        return nullptr;
    }
    // Best effort: the default buffer is only smaller.
    udev_monitor_set_receive_buffer_size (monitor, receiveBufferSize);

    return std::unique_ptr<UdevMonitor> (new UdevMonitor (context, monitor, handler));
}

UdevMonitor::UdevMonitor (udev* contextToUse, udev_monitor* monitorToUse, EventHandler handlerToUse)
    : context (contextToUse), monitor (monitorToUse), fd (udev_monitor_get_fd (monitorToUse)), handler (handlerToUse)
{
    juce::LinuxEventLoop::registerFdCallback (fd, [this] (int) { receiveEvent(); });
}

UdevMonitor::~UdevMonitor()
{
    juce::LinuxEventLoop::unregisterFdCallback (fd);
    udev_monitor_unref (monitor);
    udev_unref (context);
}

void UdevMonitor::receiveEvent()
{
    // One event per wake-up: the loop polls the descriptor again while more are queued, and the
    // events keep their order. Messages libudev rejects (wrong sender, filtered out) give null.
    auto* device = udev_monitor_receive_device (monitor);
    if (device == nullptr)
        return;

    const auto* action = udev_device_get_action (device);
    const auto* syspath = udev_device_get_syspath (device);
    const std::string actionText = action != nullptr ? action : "";
    const std::string syspathText = syspath != nullptr ? syspath : "";
    udev_device_unref (device);

    if (actionText.empty() || syspathText.empty())
        return;

    // Last thing done: the handler may end the monitor, and with it this object.
    handler (actionText.c_str(), syspathText.c_str());
}
} // namespace zarvo::hid
