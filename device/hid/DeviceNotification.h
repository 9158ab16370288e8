// Notification of HID device arrival and removal: one process-wide registration of a callback
// that hears of every HID device interface that comes or goes, on the message thread.
#pragma once

namespace zarvo::hid
{
// Called once per arrival (removed 0) or removal (removed 1), one event at a time, in the order
// the system reports them. devicePath is valid only during the call; userData is the pointer given
// at registration.
using DeviceChangeCallback = void (*) (unsigned short vendorId, unsigned short productId, const char* devicePath,
                                       int removed, void* userData);

// Must be called on the message thread, whose loop then runs the callback.
// The first call with a callback creates the event source and stores callback and user data; later
// calls only replace them. A null callback ends the event source for good: the stored callback
// stays, so a later registration creates nothing. If the source cannot be created, nothing is
// stored and a later registration tries again.
void hid_register_device_notification (DeviceChangeCallback callback, void* userData);

// Reads the vendor and product ids out of a hidraw device path, which names the HID device as
// BBBB:VVVV:PPPP.NNNN (bus, vendor, product, instance, in hex; any case): the last path component
// with a ':' after its first four characters. Returns 1 when both ids were read, else 0. Each group
// must be hexadecimal to its end; a group cut short by the end of the text reads up to there, and
// one cut off entirely reads as 0.
int parseVendorProduct (const char* path, unsigned short* vendorId, unsigned short* productId);
} // namespace zarvo::hid
