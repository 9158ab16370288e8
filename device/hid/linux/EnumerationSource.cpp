#include "EnumerationSource.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>

namespace zarvo::hid::linux_layer
{
namespace
{
std::mutex sourceLock;
EntrySource installedSource; // empty: hidapi's enumeration

char* copyText (const std::optional<std::string>& text)
{
    return text ? ::strdup (text->c_str()) : nullptr;
}

wchar_t* copyText (const std::optional<std::wstring>& text)
{
    return text ? ::wcsdup (text->c_str()) : nullptr;
}

hid_device_info* makeInfo (const EnumerationEntry& entry)
{
    auto* info = static_cast<hid_device_info*> (std::calloc (1, sizeof (hid_device_info)));
    if (info == nullptr)
        return nullptr;
    info->path = copyText (entry.path);
    info->vendor_id = entry.vendorId;
    info->product_id = entry.productId;
    info->serial_number = copyText (entry.serialNumber);
    info->release_number = entry.releaseNumber;
    info->manufacturer_string = copyText (entry.manufacturer);
    info->product_string = copyText (entry.product);
    info->usage_page = entry.usagePage;
    info->usage = entry.usage;
    info->interface_number = entry.interfaceNumber;
    info->bus_type = HID_API_BUS_USB;
    return info;
}
} // namespace

void setEnumerationSource (EntrySource source)
{
    std::lock_guard<std::mutex> guard (sourceLock);
    installedSource = std::move (source);
}

void setEnumerationEntries (std::vector<EnumerationEntry> entries)
{
    setEnumerationSource ([entries = std::move (entries)] { return entries; });
}

void useSystemEnumeration()
{
    setEnumerationSource ({});
}

ScopedEnumerationEntries::ScopedEnumerationEntries (std::vector<EnumerationEntry> entries)
{
    setEnumerationEntries (std::move (entries));
}

ScopedEnumerationEntries::~ScopedEnumerationEntries()
{
    useSystemEnumeration();
}

hid_device_info* enumerateDevices (unsigned short vendorId, unsigned short productId)
{
    EntrySource source;
    {
        std::lock_guard<std::mutex> guard (sourceLock);
        source = installedSource;
    }
    if (!source)
        return ::hid_enumerate (vendorId, productId);

    hid_device_info* first = nullptr;
    hid_device_info** link = &first;
    for (const auto& entry : source())
    {
        if ((vendorId != 0 && entry.vendorId != vendorId) || (productId != 0 && entry.productId != productId))
            continue;
        auto* info = makeInfo (entry);
        if (info == nullptr)
            break;
        *link = info;
        link = &info->next;
    }
    return first;
}
} // namespace zarvo::hid::linux_layer
