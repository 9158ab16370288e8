#include "linux/ReportDescriptor.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using zarvo::hid::linux_layer::ReportLengths;
using zarvo::hid::linux_layer::reportLengthsFromDescriptor;

namespace
{
using Bytes = std::vector<unsigned char>;

// Vendor collection with 256-byte input and output reports, no report ids: the KT-Q7TR's layout.
const Bytes noIds = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96,
    0x00, 0x01, 0x09, 0x01, 0x81, 0x02, 0x96, 0x00, 0x01, 0x09, 0x01, 0x91, 0x02, 0xC0,
};

// Report 1: 8-byte input; report 2: 63-byte input and 32-byte output; report 3: a 200-byte feature
// report, which counts for neither length.
const Bytes withIds = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, //
    0x85, 0x01, 0x95, 0x08, 0x09, 0x01, 0x81, 0x02,       // id 1: 8 input bytes
    0x85, 0x02, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02,       // id 2: 63 input bytes
    0x95, 0x20, 0x09, 0x01, 0x91, 0x02,                   //       32 output bytes
    0x85, 0x03, 0x95, 0xC8, 0x09, 0x01, 0xB1, 0x02,       // id 3: 200 feature bytes
    0xC0,
};

// Fields that do not fill whole bytes, a Push/Pop pair around a change of report size, a long item
// and a four-byte data item.
const Bytes bitsAndStack = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, // 3 bits
    0x75, 0x05, 0x95, 0x01, 0x81, 0x01,                                     // 5 bits of padding
    0xA4,                                                                   // Push
    0x75, 0x0C, 0x95, 0x01, 0x81, 0x06,                                     // 12 bits: 20 bits so far
    0xB4,                                                                   // Pop: size 5, count 1 again
    0x81, 0x01,                                                             // 5 bits: 25 bits, 4 bytes
    0xFE, 0x02, 0x10, 0xAA, 0xBB,                                           // long item with 2 data bytes
    0x27, 0xFF, 0xFF, 0x00, 0x00,                                           // Logical Maximum, 4-byte data
    0xC0,
};

Bytes cut (const Bytes& bytes, std::size_t size)
{
    return Bytes (bytes.begin(), bytes.begin() + (long)size);
}

struct Case
{
    std::string name;
    Bytes descriptor;
    std::optional<ReportLengths> expected;
};

std::string describe (const std::optional<ReportLengths>& lengths)
{
    if (!lengths)
        return "none";
    return std::to_string (lengths->input) + "/" + std::to_string (lengths->output);
}
} // namespace

TEST (ReportDescriptor, LengthsIncludeTheReportIdByteOrTheDescriptorIsRefused)
{
    const std::vector<Case> cases = {
        { "no report ids", noIds, ReportLengths{ 257, 257 } },
        { "report ids: the longest report of each kind", withIds, ReportLengths{ 64, 33 } },
        { "partial bytes, push and pop, long and 4-byte items", bitsAndStack, ReportLengths{ 5, 0 } },
        { "only output", { 0xA1, 0x01, 0x75, 0x08, 0x95, 0x10, 0x91, 0x02, 0xC0 }, ReportLengths{ 0, 17 } },
        { "empty", {}, std::nullopt },
        { "cut inside a short item's data", cut (noIds, 16), std::nullopt },
        { "cut after a prefix", cut (noIds, 14), std::nullopt },
        { "cut inside a long item", { 0xFE, 0x04, 0x10, 0x01 }, std::nullopt },
        { "collection never ended", cut (noIds, noIds.size() - 1), std::nullopt },
        { "end without collection", { 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0 }, std::nullopt },
        { "pop without push", { 0xA1, 0x01, 0xB4, 0xC0 }, std::nullopt },
        { "report id 0", { 0xA1, 0x01, 0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0 }, std::nullopt },
        { "report beyond 16384 bytes",
          { 0xA1, 0x01, 0x75, 0x08, 0x96, 0x01, 0x40, 0x81, 0x02, 0xC0 }, // 16385 bytes
          std::nullopt },
        { "size times count beyond 32 bits",
          { 0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0xC0 },
          std::nullopt },
    };

    for (const auto& c : cases)
    {
        const auto lengths = reportLengthsFromDescriptor (c.descriptor.data(), c.descriptor.size());
        EXPECT_EQ (describe (lengths), describe (c.expected)) << c.name;
    }
}
