// The seam in front of hidapi's enumeration. The transport and the device opening list the present
// HID devices through it, and a device's manufacturer, product and serial number strings are those
// of its entry, so that both are read from one place. Normally the list is hidapi's own (libudev
// reading sysfs). sysfs cannot show a device that is not a kernel HID device, such as a virtual
// microphone served over FUSE, so tests install entries of their choice instead:
//
//     linux_layer::ScopedEnumerationEntries entries ({ microphone.enumerationEntry() });
//
// or, for a list that changes while the test runs, setEnumerationSource with a function.
#pragma once

#include <hidapi/hidapi.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zarvo::hid::linux_layer
{
// One device interface, as a test presents it. Absent texts become null pointers in the list.
struct EnumerationEntry
{
    std::optional<std::string> path;
    unsigned short vendorId = 0;
    unsigned short productId = 0;
    std::optional<std::wstring> serialNumber;
    unsigned short releaseNumber = 0;
    std::optional<std::wstring> manufacturer;
    std::optional<std::wstring> product;
    unsigned short usagePage = 0;
    unsigned short usage = 0;
    int interfaceNumber = -1; // -1: the path carries no interface part
};

// Called at every enumeration; returns every present device interface in enumeration order.
using EntrySource = std::function<std::vector<EnumerationEntry>()>;

// From now on enumerations list what the source returns, filtered by vendor and product id as
// hidapi filters (0 matches any).
void setEnumerationSource (EntrySource source);
// The same with a fixed list.
void setEnumerationEntries (std::vector<EnumerationEntry> entries);
// Back to hidapi's enumeration.
void useSystemEnumeration();

// Installs a fixed list for its lifetime and goes back to hidapi's enumeration afterwards.
class ScopedEnumerationEntries
{
public:
    explicit ScopedEnumerationEntries (std::vector<EnumerationEntry> entries);
    ~ScopedEnumerationEntries();
    ScopedEnumerationEntries (const ScopedEnumerationEntries&) = delete;
    ScopedEnumerationEntries& operator= (const ScopedEnumerationEntries&) = delete;
};

// The list in hidapi's form, or null when it is empty. Installed entries are allocated the way
// hidapi allocates its own, so hid_free_enumeration releases either kind.
hid_device_info* enumerateDevices (unsigned short vendorId, unsigned short productId);
} // namespace zarvo::hid::linux_layer
