// The Linux calls of the HID transport: opening and closing a hidraw node, reading its report
// descriptor, and moving one output or one input report through the device's control pipe with
// the single-report requests (never the report stream). Failures return -1 or false and leave the
// reason in errno, which errorText turns into the platform's message.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zarvo::hid::linux_layer
{
// Opens the node for reading and writing. hidraw nodes are not exclusive, so every opener shares
// the device, as the Windows program's shared-access open did.
int openNode (const char* path);
void closeNode (int fd);

// The raw report descriptor (HIDIOCGRDESCSIZE, then HIDIOCGRDESC). An empty descriptor fails with
// EINVAL.
bool readReportDescriptor (int fd, std::vector<unsigned char>& descriptor);

// One output report (HIDIOCSOUTPUT) or one input report (HIDIOCGINPUT); data[0] is the report id.
// Both complete synchronously and return the number of bytes the kernel moved. The USB core bounds
// each control transfer, so a device that never answers fails the call rather than hanging it.
int sendOutputReport (int fd, const unsigned char* data, std::size_t length);
int getInputReport (int fd, unsigned char* data, std::size_t length);

// The system's message for an errno value.
std::wstring errorText (int errorNumber);
} // namespace zarvo::hid::linux_layer
