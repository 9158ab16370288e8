#include "DeviceNotification.h"

#include "linux/UdevMonitor.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

namespace zarvo::hid
{
namespace
{
// The registration: one for the process, used on the message thread only.
DeviceChangeCallback deviceChangeCallback = nullptr;
void* deviceChangeUserData = nullptr;
std::unique_ptr<UdevMonitor> notificationMonitor;

// The device path handed to the callback: at most 255 characters and the terminator. The ids are
// read from the whole path first, since on Linux they stand near its end.
constexpr size_t devicePathTextSize = 256;

void deviceChangeEvent (const char* action, const char* syspath)
{
    int removed;
    if (std::strcmp (action, "add") == 0)
        removed = 0;
    else if (std::strcmp (action, "remove") == 0)
        removed = 1;
    else
        return;

    unsigned short vendorId = 0;
    unsigned short productId = 0;
    if (deviceChangeCallback == nullptr || parseVendorProduct (syspath, &vendorId, &productId) == 0)
        return;

    std::array<char, devicePathTextSize> devicePath{};
    std::strncpy (devicePath.data(), syspath, devicePath.size() - 1);
    deviceChangeCallback (vendorId, productId, devicePath.data(), removed, deviceChangeUserData);
}

// A group of up to four hex digits at `offset` in `text`, fewer where the text ends first.
bool readHexGroup (std::string_view text, size_t offset, unsigned short* value)
{
    const auto group = text.substr (std::min (offset, text.size()), 4);
    unsigned int result = 0;
    for (const char c : group)
    {
        if (!std::isxdigit (static_cast<unsigned char> (c)))
            return false;
        const auto digit = std::isdigit (static_cast<unsigned char> (c))
                               ? c - '0'
                               : std::toupper (static_cast<unsigned char> (c)) - 'A' + 10;
        result = result * 16 + static_cast<unsigned int> (digit);
    }
    *value = static_cast<unsigned short> (result);
    return true;
}
} // namespace

void hid_register_device_notification (DeviceChangeCallback callback, void* userData)
{
    if (callback == nullptr)
    {
        notificationMonitor.reset();
        return;
    }

    if (deviceChangeCallback == nullptr)
    {
        notificationMonitor = UdevMonitor::create ("hidraw", deviceChangeEvent);
        if (notificationMonitor == nullptr)
            return;
    }

    deviceChangeCallback = callback;
    deviceChangeUserData = userData;
}

int parseVendorProduct (const char* path, unsigned short* vendorId, unsigned short* productId)
{
    if (path == nullptr)
        return 0;
    const std::string_view text (path);

    // The HID device's name: the last component laid out as BBBB:VVVV:PPPP.NNNN, the ':' after
    // the bus group being its mark. Earlier components (a PCI address, a USB interface) may look
    // alike; the HID device always stands below them.
    constexpr auto none = std::string_view::npos;
    auto name = none;
    for (size_t start = 0; start <= text.size();)
    {
        auto end = text.find ('/', start);
        if (end == none)
            end = text.size();
        if (end - start > 4 && text[start + 4] == ':')
            name = start;
        start = end + 1;
    }
    if (name == none)
        return 0;

    if (!readHexGroup (text, name + 5, vendorId))
        return 0;
    if (!readHexGroup (text, name + 10, productId))
        return 0;
    return 1;
}
} // namespace zarvo::hid
