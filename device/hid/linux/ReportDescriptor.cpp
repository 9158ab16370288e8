#include "ReportDescriptor.h"

#include <cstdint>
#include <map>
#include <vector>

namespace zarvo::hid::linux_layer
{
namespace
{
// Item types and tags of the HID report descriptor's short items.
constexpr unsigned typeMain = 0;
constexpr unsigned typeGlobal = 1;

constexpr unsigned mainInput = 0x8;
constexpr unsigned mainOutput = 0x9;
constexpr unsigned mainCollection = 0xA;
constexpr unsigned mainEndCollection = 0xC;

constexpr unsigned globalReportSize = 0x7;
constexpr unsigned globalReportId = 0x8;
constexpr unsigned globalReportCount = 0x9;
constexpr unsigned globalPush = 0xA;
constexpr unsigned globalPop = 0xB;

constexpr unsigned char longItemPrefix = 0xFE;

// The kernel refuses reports above this size (HID_MAX_BUFFER_SIZE); it also keeps the lengths far
// inside the 16 bits an output report length has.
constexpr std::uint64_t maxReportBytes = 16384;

struct GlobalState
{
    std::uint32_t reportSize = 0; // bits per field
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0; // 0: the device declares no ids
};

// Bits of each report, by report id.
using ReportBits = std::map<std::uint32_t, std::uint64_t>;

std::size_t longestReport (const ReportBits& reports)
{
    std::size_t longest = 0;
    for (const auto& [id, bits] : reports)
    {
        const auto bytes = static_cast<std::size_t> ((bits + 7) / 8 + 1);
        if (bytes > longest)
            longest = bytes;
    }
    return longest;
}
} // namespace

std::optional<ReportLengths> reportLengthsFromDescriptor (const unsigned char* descriptor, std::size_t size)
{
    if (descriptor == nullptr || size == 0)
        return std::nullopt;

    GlobalState state;
    std::vector<GlobalState> stack;
    ReportBits inputBits, outputBits;
    int collectionDepth = 0;

    std::size_t pos = 0;
    while (pos < size)
    {
        const unsigned char prefix = descriptor[pos];

        if (prefix == longItemPrefix)
        {
            // Long items carry no report layout; only their length matters.
            if (pos + 3 > size)
                return std::nullopt;
            const std::size_t dataSize = descriptor[pos + 1];
            if (pos + 3 + dataSize > size)
                return std::nullopt;
            pos += 3 + dataSize;
            continue;
        }

        const std::size_t sizeCode = prefix & 0x3u;
        const std::size_t dataSize = sizeCode == 3 ? 4 : sizeCode;
        const unsigned type = (prefix >> 2) & 0x3u;
        const unsigned tag = (prefix >> 4) & 0xFu;
        if (pos + 1 + dataSize > size)
            return std::nullopt;

        std::uint32_t value = 0;
        for (std::size_t i = 0; i < dataSize; ++i)
            value |= static_cast<std::uint32_t> (descriptor[pos + 1 + i]) << (8 * i);
        pos += 1 + dataSize;

        if (type == typeGlobal)
        {
            switch (tag)
            {
            case globalReportSize:
                state.reportSize = value;
                break;
            case globalReportCount:
                state.reportCount = value;
                break;
            case globalReportId:
                if (value == 0 || value > 255)
                    return std::nullopt;
                state.reportId = value;
                break;
            case globalPush:
                stack.push_back (state);
                break;
            case globalPop:
                if (stack.empty())
                    return std::nullopt;
                state = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        }
        else if (type == typeMain)
        {
            if (tag == mainInput || tag == mainOutput)
            {
                auto& reports = tag == mainInput ? inputBits : outputBits;
                auto& bits = reports[state.reportId];
                bits += static_cast<std::uint64_t> (state.reportSize) * state.reportCount;
                if (bits > maxReportBytes * 8)
                    return std::nullopt;
            }
            else if (tag == mainCollection)
            {
                ++collectionDepth;
            }
            else if (tag == mainEndCollection)
            {
                if (collectionDepth == 0)
                    return std::nullopt;
                --collectionDepth;
            }
        }
        // Local items (usages, designators, strings) do not change the report layout.
    }

    if (collectionDepth != 0)
        return std::nullopt;

    return ReportLengths{ longestReport (inputBits), longestReport (outputBits) };
}
} // namespace zarvo::hid::linux_layer
