// The report lengths of a HID device, worked out from its report descriptor. On Linux no driver
// parses the descriptor for us, so this stands where the HID class driver's capabilities would.
#pragma once

#include <cstddef>
#include <optional>

namespace zarvo::hid::linux_layer
{
struct ReportLengths
{
    // Bytes of the largest input and the largest output report, report id byte included. The id
    // byte counts also when the device declares no report ids (byte 0 is then always 0), so a
    // device of 256-byte reports has lengths of 257. A kind of report the device lacks gives 0.
    std::size_t input = 0;
    std::size_t output = 0;
};

// Nothing when the descriptor is empty, ends inside an item, or is malformed (a Pop without a Push,
// unbalanced collections, report id 0, a report larger than the kernel's 16384-byte limit).
std::optional<ReportLengths> reportLengthsFromDescriptor (const unsigned char* descriptor, std::size_t size);
} // namespace zarvo::hid::linux_layer
