// Test support for device hotplug: a private network namespace for the test process, and an
// injector that multicasts udev-format device events there, as udevd announces them, so that a
// real libudev monitor (source "udev") created afterwards in the same process receives them.
#pragma once

#include "TestRun.h" // ZARVO_REQUIRE

#include <gtest/gtest.h>

#include <string>

namespace zarvo::test
{
// Moves the process into a network namespace of its own, so that injected events reach only its
// own monitors and none of the machine's reach them. As root: unshare (CLONE_NEWNET). Otherwise a
// user namespace that maps root to the caller, as `unshare -rn` does; that needs the process to be
// still single-threaded. Only the first call acts; later ones return its result. Returns an empty
// string on success, else the reason of the failure. Create monitors only after it succeeded.
std::string enterPrivateNetworkNamespace();

struct UdevEvent
{
    std::string action;  // "add", "remove", "change", ...
    std::string devpath; // below /sys: the monitor reports "/sys" + devpath
    std::string subsystem = "hidraw";
    std::string devname; // the device node; left out when empty
};

class UdevEventInjector
{
public:
    // Opens the netlink socket that sends the events; see isOpen() and error().
    UdevEventInjector();
    ~UdevEventInjector();
    UdevEventInjector (const UdevEventInjector&) = delete;
    UdevEventInjector& operator= (const UdevEventInjector&) = delete;

    bool isOpen() const { return socketFd >= 0; }
    const std::string& error() const { return lastError; }

    // Multicasts one event to the udev group, with the next sequence number. When it returns
    // true, the event is queued at every monitor of this namespace that accepts it.
    bool send (const UdevEvent& event);

    // The hidraw node of a HID device on USB: devpath
    // "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:VVVV:PPPP.NNNN/hidraw/hidrawN".
    static UdevEvent hidrawEvent (const std::string& action, unsigned short vendorId, unsigned short productId,
                                  int instance = 1, int node = 0);

private:
    int socketFd = -1;
    unsigned long long nextSeqnum = 1;
    std::string lastError;
};
} // namespace zarvo::test

// Enters the private network namespace, or leaves the current test: skipped where that is not
// possible, failed under CI.
#define ZARVO_ENTER_PRIVATE_NETWORK_NAMESPACE()                                                                        \
    ZARVO_REQUIRE (                                                                                                    \
        ::zarvo::test::withReason ("no private network namespace: ", ::zarvo::test::enterPrivateNetworkNamespace()))
