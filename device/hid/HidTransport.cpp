#include "HidTransport.h"

#include "linux/EnumerationSource.h"
#include "linux/HidrawNode.h"
#include "linux/ReportDescriptor.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace zarvo::hid
{
namespace
{
void recordError (hid_device* device, std::wstring text)
{
    device->lastError = std::move (text);
}

void recordPlatformError (hid_device* device, int errorNumber)
{
    recordError (device, linux_layer::errorText (errorNumber));
}

bool serialMatches (const wchar_t* wanted, const wchar_t* entrySerial)
{
    return std::wcscmp (wanted, entrySerial != nullptr ? entrySerial : L"") == 0;
}

hid_device* failOpen (hid_device* device)
{
    linux_layer::closeNode (device->fd);
    delete device;
    return nullptr;
}

bool isOpen (const hid_device* device)
{
    return device != nullptr && device->fd >= 0;
}

// The result of a transfer from what the kernel returned.
int transferResult (hid_device* device, int transferred)
{
    if (transferred < 0)
    {
        recordPlatformError (device, errno);
        return -1;
    }
    return transferred + 1;
}

enum class EntryString
{
    manufacturer,
    product,
    serialNumber
};

const wchar_t* orEmpty (const wchar_t* text)
{
    return text != nullptr ? text : L"";
}

EntryStrings stringsOf (const hid_device_info& entry)
{
    return { orEmpty (entry.manufacturer_string), orEmpty (entry.product_string), orEmpty (entry.serial_number) };
}

// The entry of the current enumeration whose path is the device's, if there is one.
std::optional<EntryStrings> lookUpStrings (const hid_device& device)
{
    hid_device_info* devices = hid_enumerate (0, 0);
    const hid_device_info* entry = devices;
    while (entry != nullptr && (entry->path == nullptr || device.path != entry->path))
        entry = entry->next;

    std::optional<EntryStrings> strings;
    if (entry != nullptr)
        strings = stringsOf (*entry);
    zarvo::hid::hid_free_enumeration (devices);
    return strings;
}

int copyEntryString (hid_device* device, EntryString which, wchar_t* string, std::size_t maxlen)
{
    if (device == nullptr)
        return -1;
    if (string == nullptr || maxlen == 0)
    {
        recordError (device, L"string buffer is empty");
        return -1;
    }

    std::optional<EntryStrings> lookedUp;
    if (!device->entryStrings)
        lookedUp = lookUpStrings (*device);
    const auto& strings = device->entryStrings ? device->entryStrings : lookedUp;
    if (!strings)
    {
        recordError (device, L"device is not in the enumeration");
        return -1;
    }
    const std::wstring& text = which == EntryString::manufacturer ? strings->manufacturer
                               : which == EntryString::product    ? strings->product
                                                                  : strings->serialNumber;
    std::wcsncpy (string, text.c_str(), maxlen);
    string[maxlen - 1] = L'\0';
    return 0;
}
} // namespace

hid_device_info* hid_enumerate (unsigned short vendorId, unsigned short productId)
{
    return linux_layer::enumerateDevices (vendorId, productId);
}

void hid_free_enumeration (hid_device_info* devices)
{
    ::hid_free_enumeration (devices);
}

hid_device* hid_open (unsigned short vendorId, unsigned short productId, const wchar_t* serialNumber,
                      int interfaceNumber)
{
    hid_device_info* devices = hid_enumerate (vendorId, productId);

    const hid_device_info* chosen = nullptr;
    for (const hid_device_info* entry = devices; entry != nullptr; entry = entry->next)
    {
        if (entry->vendor_id == vendorId && entry->product_id == productId &&
            entry->interface_number == interfaceNumber &&
            (serialNumber == nullptr || serialMatches (serialNumber, entry->serial_number)))
        {
            chosen = entry;
            break;
        }
    }

    hid_device* device = nullptr;
    if (chosen != nullptr && chosen->path != nullptr)
    {
        std::printf ("Path: %s\n", chosen->path);
        device = hid_open_path (chosen->path);
        if (device != nullptr)
            device->entryStrings = stringsOf (*chosen);
    }

    zarvo::hid::hid_free_enumeration (devices);
    return device;
}

hid_device* hid_open_path (const char* path)
{
    if (::hid_init() < 0)
        return nullptr;
    // No path names no device: the open fails as it does for a path that does not exist.
    if (path == nullptr)
        return nullptr;

    auto* device = new hid_device;
    device->path = path;

    device->fd = linux_layer::openNode (path);
    if (device->fd < 0)
    {
        recordPlatformError (device, errno);
        return failOpen (device);
    }

    // The Windows program asked the HID class driver to queue 257 input reports here. hidraw has no
    // such request: it keeps a fixed queue of its own per open file, which only stream reads use.

    // In place of the driver's parsed report description and its capabilities: the raw descriptor,
    // parsed here.
    std::vector<unsigned char> descriptor;
    if (!linux_layer::readReportDescriptor (device->fd, descriptor))
    {
        recordPlatformError (device, errno);
        return failOpen (device);
    }
    const auto lengths = linux_layer::reportLengthsFromDescriptor (descriptor.data(), descriptor.size());
    if (!lengths)
    {
        recordError (device, L"report descriptor cannot be parsed");
        return failOpen (device);
    }

    device->outputReportLength = static_cast<unsigned short> (lengths->output);
    device->inputReportLength = lengths->input;
    return device;
}

int hid_send_feature_report (hid_device* device, const unsigned char* data, std::size_t length)
{
    if (!isOpen (device))
        return -1;
    return transferResult (device, linux_layer::sendOutputReport (device->fd, data, length, device->outputReport));
}

int hid_get_feature_report (hid_device* device, unsigned char* data, std::size_t length)
{
    if (!isOpen (device))
        return -1;
    return transferResult (device, linux_layer::getInputReport (device->fd, data, length));
}

int hid_set_nonblocking (hid_device* device, int nonblock)
{
    if (device == nullptr)
        return -1;
    device->blocking = nonblock == 0;
    return 0;
}

int hid_get_manufacturer_string (hid_device* device, wchar_t* string, std::size_t maxlen)
{
    return copyEntryString (device, EntryString::manufacturer, string, maxlen);
}

int hid_get_product_string (hid_device* device, wchar_t* string, std::size_t maxlen)
{
    return copyEntryString (device, EntryString::product, string, maxlen);
}

int hid_get_serial_number_string (hid_device* device, wchar_t* string, std::size_t maxlen)
{
    return copyEntryString (device, EntryString::serialNumber, string, maxlen);
}

int hid_get_indexed_string (hid_device* device, int, wchar_t*, std::size_t)
{
    // Windows asks the device for the USB string descriptor of that index. hidraw offers no such
    // request (hidapi's hidraw backend fails this call too): whatever the index, there is no text.
    if (device != nullptr)
        recordError (device, L"indexed strings cannot be read through hidraw");
    return -1;
}

const wchar_t* hid_error (hid_device* device)
{
    if (device == nullptr || !device->lastError)
        return nullptr;
    return device->lastError->c_str();
}

void hid_close (hid_device* device)
{
    if (device == nullptr)
        return;
    linux_layer::closeNode (device->fd);
    delete device;
}
} // namespace zarvo::hid
