// Preloaded into the real application by the end-to-end tests and the development tool
// zarvo_virtual_microphone: answers hidapi's hid_enumerate with the virtual KT-Q7TR, which sysfs
// cannot list, while the test says it is plugged in, and with nothing otherwise (no real device
// reaches the application then). The test names a control file in ZARVO_E2E_ENUMERATION; its first
// line is the device file's path, its second "present" or "absent". The application itself knows
// nothing of this.
//
// The list is allocated as hidapi allocates its own (calloc, strdup, wcsdup), so hidapi's
// hid_free_enumeration releases it.
#include <hidapi/hidapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <string>

namespace
{
constexpr unsigned short q7trVendorId = 0xFF01;
constexpr unsigned short q7trProductId = 0x0009;

bool readControl (std::string& path)
{
    const char* controlFile = std::getenv ("ZARVO_E2E_ENUMERATION");
    if (controlFile == nullptr)
        return false;
    std::ifstream control (controlFile);
    std::string presence;
    if (!std::getline (control, path) || !std::getline (control, presence))
        return false;
    return presence == "present" && !path.empty();
}

bool matches (unsigned short wanted, unsigned short actual)
{
    return wanted == 0 || wanted == actual;
}
} // namespace

extern "C" hid_device_info* hid_enumerate (unsigned short vendorId, unsigned short productId)
{
    std::string path;
    if (!readControl (path) || !matches (vendorId, q7trVendorId) || !matches (productId, q7trProductId))
        return nullptr;

    auto* info = static_cast<hid_device_info*> (std::calloc (1, sizeof (hid_device_info)));
    if (info == nullptr)
        return nullptr;
    info->path = ::strdup (path.c_str());
    info->vendor_id = q7trVendorId;
    info->product_id = q7trProductId;
    info->serial_number = ::wcsdup (L"Q7TR00000001");
    info->release_number = 0x0100;
    info->manufacturer_string = ::wcsdup (L"Zarvo");
    info->product_string = ::wcsdup (L"KT-Q7TR");
    info->usage_page = 0xFF00;
    info->usage = 0x0001;
    info->interface_number = 0;
    info->bus_type = HID_API_BUS_USB;
    return info;
}
