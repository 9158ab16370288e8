// Fuzzes the report-descriptor parser with whatever descriptor a device might hand the kernel: the
// transport opens a device only when its descriptor parses, and takes its report lengths from it.
#include "linux/ReportDescriptor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
void check (bool holds, const char* what)
{
    if (!holds)
    {
        std::fprintf (stderr, "fuzz_report_descriptor: %s\n", what);
        std::abort();
    }
}

// The kernel's largest report, plus the report id byte the lengths count.
constexpr std::size_t longestLength = 16384 + 1;
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // A copy of exactly the descriptor's size, so that a read past its end is caught.
    const std::vector<unsigned char> descriptor (data, data + size);
    const auto lengths =
        zarvo::hid::linux_layer::reportLengthsFromDescriptor (descriptor.empty() ? nullptr : descriptor.data(), size);
    if (!lengths)
        return 0;

    check (size > 0, "an empty descriptor parses");
    check (lengths->input <= longestLength, "input report longer than the kernel allows");
    check (lengths->output <= longestLength, "output report longer than the kernel allows");
    return 0;
}
