// Opening the KT-Q7TR: registration for device changes, the enumeration walk that picks the first
// KT-Q7TR interface, the open by its full identity, and the diagnostic picture printed on the way.
#include "ZarvoHid.h"

#include "DeviceNotification.h"
#include "HidTransport.h"

#include <array>
#include <cstdio>
#include <cwchar>
#include <exception>

namespace zarvo
{
int targetInterfaceNumber = 0;

namespace
{
constexpr unsigned short q7trVendorId = 0xFF01;
constexpr unsigned short q7trProductId = 0x0009;

// Serial number of the chosen entry, then each string read from the device.
constexpr std::size_t textBufferLength = 255;
using TextBuffer = std::array<wchar_t, textBufferLength>;

// Writing an entry's lines can fail only by exhausted memory; the walk then writes them again,
// but not for ever: a logger that keeps failing must not stop the microphone from being opened.
constexpr int entryLineAttempts = 4;

// The dump of a read shows at most the first 16 data bytes.
constexpr int dumpedBytes = 16;

void log (const juce::String& line)
{
    juce::Logger::outputDebugString (line);
}

const wchar_t* orEmpty (const wchar_t* text)
{
    return text != nullptr ? text : L"";
}

const char* orEmpty (const char* text)
{
    return text != nullptr ? text : "";
}

void logEntryLines (const hid_device_info& entry)
{
    for (const int value : { static_cast<int> (entry.usage_page), static_cast<int> (entry.usage),
                             static_cast<int> (entry.vendor_id), static_cast<int> (entry.product_id) })
        log ("hid_register_device_notification run" + juce::String (value));
}

void logEntryLinesRetrying (const hid_device_info& entry)
{
    for (int attempt = 1;; ++attempt)
    {
        try
        {
            logEntryLines (entry);
            return;
        }
        catch (const std::exception&)
        {
            if (attempt >= entryLineAttempts)
                return; // the lines are diagnostics: the walk goes on without them
        }
    }
}

void printChosenEntry (const hid_device_info& entry)
{
    std::printf ("Device Found\n  type: %04hx %04hx\n  path: %s\n  serial_number: %ls", q7trVendorId, q7trProductId,
                 orEmpty (entry.path), orEmpty (entry.serial_number));
    std::printf ("\n");
    std::printf ("  Manufacturer: %ls\n", orEmpty (entry.manufacturer_string));
    std::printf ("  Product:      %ls\n", orEmpty (entry.product_string));
    std::printf ("  Release:      %hx\n", entry.release_number);
    std::printf ("  Interface:    %d\n", entry.interface_number);
    std::printf ("  Usage Page:   %04x\n", static_cast<unsigned int> (entry.usage_page));
    std::printf ("  Usage:       %04x\n", static_cast<unsigned int> (entry.usage));
    std::printf ("\n");
}

void copySerialNumber (TextBuffer& text, const wchar_t* serialNumber)
{
    text.fill (L'\0');
    std::wcsncpy (text.data(), orEmpty (serialNumber), text.size() - 1);
}

using StringGetter = int (*) (hid::hid_device*, wchar_t*, std::size_t);

// Empties the buffer and reads one string into it; a failed read leaves it empty.
void readString (hid::hid_device* device, TextBuffer& text, StringGetter getter, const char* failureLine)
{
    text.fill (L'\0');
    if (getter (device, text.data(), text.size()) < 0)
        std::printf ("%s", failureLine);
}

void printDeviceStrings (hid::hid_device* device, TextBuffer& text)
{
    readString (device, text, hid::hid_get_manufacturer_string, "Unable to read manufacturer string\n");
    std::printf ("Manufacturer String: %ls\n", text.data());

    readString (device, text, hid::hid_get_product_string, "Unable to read product string\n");
    std::printf ("Product String: %ls\n", text.data());

    readString (device, text, hid::hid_get_serial_number_string, "Unable to read serial number string\n");
    std::printf ("Serial Number String: (%d) %ls", static_cast<int> (text[0]), text.data());
    std::printf ("\n");

    text.fill (L'\0');
    if (hid::hid_get_indexed_string (device, 1, text.data(), text.size()) < 0)
        std::printf ("Unable to read indexed string 1\n");
    std::printf ("Indexed String 1: %ls\n", text.data());
}

// Data bytes 1 up to the result, at most 16; the report id in byte 0 is never shown.
void printDump (const ReportBuffer& buffer, int result)
{
    for (int i = 1; i < result; ++i)
    {
        std::printf ("%02x ", static_cast<unsigned int> (buffer[static_cast<std::size_t> (i)]));
        if (i == dumpedBytes)
        {
            std::printf ("\n");
            break;
        }
    }
    std::printf ("\n");
}

void readAndPrint (hid::hid_device* device, ReportBuffer& buffer, const char* resultFormat)
{
    clearReport (buffer);
    const int result = hid::hid_get_feature_report (device, buffer.data(), reportLength);
    if (result < 0)
    {
        std::printf ("Unable to get a feature report.\n");
        std::printf ("%ls", orEmpty (hid::hid_error (device)));
        return;
    }
    std::printf (resultFormat, result);
    printDump (buffer, result);
}

void greetDevice (hid::hid_device* device)
{
    ReportBuffer buffer;
    buildQueryFrame (buffer, group::heartbeat);
    const int sent = hid::hid_send_feature_report (device, buffer.data(), reportLength);
    if (sent < 0)
        std::printf ("Unable to send a feature report.\n");
    else
        std::printf ("Set Report %d.\n", sent);

    readAndPrint (device, buffer, "Get Report 1:%d\n");
    clearReport (buffer);
    hid::hid_get_feature_report (device, buffer.data(), reportLength);
    readAndPrint (device, buffer, "Get Report 2:%d\n");
}
} // namespace

int ZarvoHid::openDevice()
{
    targetInterfaceNumber = 0;
    if (::hid_init() != 0)
        return -1;

    log ("hid_register_device_notification run");
    hid::hid_register_device_notification (HidDeviceChangeCallback, this);
    log ("hid_register_device_notification end");

    TextBuffer text{};
    unsigned short vendorId = 0;
    unsigned short productId = 0;
    bool chosen = false;

    hid_device_info* devices = hid::hid_enumerate (0, 0);
    for (const hid_device_info* entry = devices; entry != nullptr; entry = entry->next)
    {
        logEntryLinesRetrying (*entry);
        if (entry->vendor_id != q7trVendorId || entry->product_id != q7trProductId)
            continue;

        printChosenEntry (*entry);
        copySerialNumber (text, entry->serial_number);
        vendorId = entry->vendor_id;
        productId = entry->product_id;
        targetInterfaceNumber = entry->interface_number;
        chosen = true;
        break;
    }
    hid::hid_free_enumeration (devices);

    hid::hid_device* device =
        chosen ? hid::hid_open (vendorId, productId, text.data(), targetInterfaceNumber) : nullptr;
    if (device == nullptr)
    {
        std::printf ("unable to open device\n");
        return 1;
    }

    // Every arrival opens the microphone again; the handle it replaces belongs to the removed
    // device and nothing else holds it, so it is released rather than left open.
    hid::hid_device* replaced = hidDevice;
    hidDevice = device;
    hid::hid_close (replaced);

    printDeviceStrings (device, text);
    hid::hid_set_nonblocking (device, 1);
    greetDevice (device);
    return 0;
}
} // namespace zarvo
