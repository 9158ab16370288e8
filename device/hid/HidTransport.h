// The HID transport of the device link: enumeration, opening a device by vendor id, product id,
// serial number and interface number, and moving one output or one input report at a time with
// synchronous completion. It lives beside Debian's hidapi, whose exports carry the same names, in a
// namespace of its own; enumeration and hid_init stay hidapi's.
#pragma once

#include "linux/HidrawNode.h"

#include <hidapi/hidapi.h>

#include <cstddef>
#include <optional>
#include <string>

namespace zarvo::hid
{
// The manufacturer, product and serial number texts of an enumeration entry; an absent text is
// empty.
struct EntryStrings
{
    std::wstring manufacturer;
    std::wstring product;
    std::wstring serialNumber;
};

// Our own device record: hidapi's is opaque, and its transfers go through the report stream.
// There is no read buffer or read event: only hidapi's reads would use them, and this record has
// none.
struct hid_device
{
    int fd = -1;                           // the opened hidraw node
    std::string path;                      // as opened; the key to the device's enumeration entry
    bool blocking = true;                  // only reads would look at it
    unsigned short outputReportLength = 0; // bytes, report id included
    std::size_t inputReportLength = 0;     // bytes, report id included
    std::optional<std::wstring> lastError; // replaced by every recorded error
    // The strings of the entry hid_open chose; absent for a device opened by its path alone.
    std::optional<EntryStrings> entryStrings;
    // Every output report travels in this copy (see linux_layer::sendOutputReport).
    linux_layer::OutputReportCopy outputReport;
};

// hidapi's enumeration, through the Linux layer's seam (see linux/EnumerationSource.h) so that tests
// can present devices of their choice. Release the list with hid_free_enumeration. Call both
// qualified (zarvo::hid::hid_free_enumeration): hid_device_info is hidapi's global type, so an
// unqualified call also finds hidapi's function and is ambiguous.
hid_device_info* hid_enumerate (unsigned short vendorId, unsigned short productId);
void hid_free_enumeration (hid_device_info* devices);

// Opens the first enumerated interface whose vendor id, product id and interface number equal the
// arguments and, when a serial number is given, whose serial number equals it (an entry without one
// counts as empty). Prints "Path: %s\n" before opening. Null when nothing matched or the open
// failed. The device keeps the strings of that entry.
hid_device* hid_open (unsigned short vendorId, unsigned short productId, const wchar_t* serialNumber,
                      int interfaceNumber);
// Opens a hidraw node and reads its report lengths. Null on failure; the error text goes with the
// discarded record.
hid_device* hid_open_path (const char* path);

// One output report to the device (despite the name, not a feature report) and one input report
// from it, at most linux_layer::maxReportLength bytes. Both return the bytes transferred + 1, or
// -1: at once for a null device, and with the platform's message as the device's error text when
// the platform fails the transfer or the length is longer. A successful transfer allocates
// nothing; only a failure's error text does. The send leaves the caller's report as it was. The
// kernel sends the output report over the device's interrupt OUT endpoint, or as a SET_REPORT
// control transfer where the device has none; the input report is always a GET_REPORT control
// transfer.
int hid_send_feature_report (hid_device* device, const unsigned char* data, std::size_t length);
int hid_get_feature_report (hid_device* device, unsigned char* data, std::size_t length);

// Records the flag and returns 0.
int hid_set_nonblocking (hid_device* device, int nonblock);

// The strings of the device's enumeration entry, at most maxlen - 1 characters and a terminator. 0
// on success (an absent string gives empty text), -1 when the buffer is empty or no entry is known.
// A device from hid_open has the strings of the entry it was opened by, kept from the open: they
// describe the device that was opened, so a read gives them without enumerating, even after the
// device vanished or while the enumeration lists another device at its path. A device opened by
// its path alone has none kept: each read looks up the entry whose path is the device's in the
// enumeration of the moment, and fails when there is none.
int hid_get_manufacturer_string (hid_device* device, wchar_t* string, std::size_t maxlen);
int hid_get_product_string (hid_device* device, wchar_t* string, std::size_t maxlen);
int hid_get_serial_number_string (hid_device* device, wchar_t* string, std::size_t maxlen);
// hidraw reaches no USB string descriptors, so on Linux every index, 1 included, fails with -1 and
// an error text, and the buffer is left as it was.
int hid_get_indexed_string (hid_device* device, int stringIndex, wchar_t* string, std::size_t maxlen);

// The device's last error text; null before the first error and for a null device.
const wchar_t* hid_error (hid_device* device);

// Closes the node and frees the record. The device opening releases the device it replaces this
// way; the device open at shutdown ends with the process.
void hid_close (hid_device* device);
} // namespace zarvo::hid
