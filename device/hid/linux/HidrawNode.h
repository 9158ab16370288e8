// The Linux calls of the HID transport: opening and closing a hidraw node, reading its report
// descriptor, and moving one output or one input report with the single-report requests, never
// through the report stream that hidraw's read() serves. Failures return -1 or false and leave the
// reason in errno, which errorText turns into the platform's message.
#pragma once

#include <array>
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

// The longest report a request can carry: its length travels in the request code's 14-bit size
// field. Longer lengths fail with EINVAL; nothing is cut.
constexpr std::size_t maxReportLength = (1u << 14) - 1;

// Where an output report is copied before it is sent, kept by the device record so that a send
// allocates nothing.
using OutputReportCopy = std::array<unsigned char, maxReportLength>;

// One output report (HIDIOCSOUTPUT) or one input report (HIDIOCGINPUT); data[0] is the report id.
// Both complete synchronously and return the number of bytes the kernel moved; neither allocates.
//
// The kernel sends an output report as it sends one written to the node: over the device's
// interrupt OUT endpoint when it has one, and as a SET_REPORT control transfer only when it has
// none. An input report is always fetched with a GET_REPORT control transfer, never taken from the
// interrupt IN stream. The USB HID driver bounds each of these transfers (5 s), so a device that
// never answers fails the call rather than hanging it.
//
// HIDIOCSOUTPUT is declared read-write: the kernel's hidraw only reads the buffer, but a device
// file served by something else (over FUSE, for one) may write into it. So the report travels in
// `copy`, and the caller's report stays as it was.
int sendOutputReport (int fd, const unsigned char* data, std::size_t length, OutputReportCopy& copy);
int getInputReport (int fd, unsigned char* data, std::size_t length);

// The system's message for an errno value.
std::wstring errorText (int errorNumber);
} // namespace zarvo::hid::linux_layer
