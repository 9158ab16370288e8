// The reports the application sends, as the virtual KT-Q7TR receives them (report id 0 first,
// zero-filled to the report length), written out byte for byte for the sessions of the real app.
#pragma once

#include "MicrophoneModel.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace zarvo::test::wire
{
using Bytes = MicrophoneModel::Bytes;
using Reports = std::vector<Bytes>;

constexpr unsigned char microphoneGroup = 0x8C;
constexpr unsigned char noiseGroup = 0x81;
constexpr unsigned char reverbGroup = 0x82;
constexpr int reportSize = 257;

inline Bytes report (std::initializer_list<unsigned char> bytes)
{
    Bytes result (bytes);
    result.resize (reportSize, 0);
    return result;
}

inline Bytes query (unsigned char group)
{
    return report ({ 0x00, 0xA5, 0x5A, group, 0x00, 0x16 });
}

inline Bytes setFrame (unsigned char group, unsigned char parameter, int value)
{
    return report ({ 0x00, 0xA5, 0x5A, group, 0x03, parameter, (unsigned char)(value & 0xFF),
                     (unsigned char)((value >> 8) & 0xFF), 0x16 });
}

inline const Bytes heartbeatQuery = query (0x00);
inline const Bytes levelQuery = query (0x84);
inline const Bytes infoQuery = report ({ 0x00, 0xA5, 0x5A, 0xFC, 0x01, 0x01, 0x16 });

inline Reports operator+ (Reports first, const Reports& then)
{
    first.insert (first.end(), then.begin(), then.end());
    return first;
}

// A set frame as the panel sends it: the frame, then its group's query.
inline Reports sent (const Bytes& frame)
{
    return { frame, query (frame[3]) };
}

// The heartbeat's polls, which go on between and beside every command.
inline bool isPoll (const Bytes& bytes)
{
    return bytes == heartbeatQuery || bytes == levelQuery;
}

// The value of a set frame of the group and parameter, or -1 for any other report.
inline int setValue (const Bytes& bytes, unsigned char group, unsigned char parameter)
{
    if (bytes.size() < 9 || bytes[1] != 0xA5 || bytes[2] != 0x5A || bytes[3] != group || bytes[4] != 0x03 ||
        bytes[5] != parameter)
        return -1;
    return bytes[6] | (bytes[7] << 8);
}

// How many heartbeat polls came after the first `mark` reports.
inline long heartbeatsAfter (const Reports& all, size_t mark)
{
    return all.size() > mark ? std::count (all.begin() + (long)mark, all.end(), heartbeatQuery) : 0;
}

// A set frame of one of the four sliders' parameters: the gain, the noise-reduction level and the
// reverberation's depth and time.
inline bool isSliderFrame (const Bytes& bytes)
{
    return setValue (bytes, microphoneGroup, 2) >= 0 || setValue (bytes, noiseGroup, 1) >= 0 ||
           setValue (bytes, reverbGroup, 2) >= 0 || setValue (bytes, reverbGroup, 4) >= 0;
}

// A report in hex for a failure's message, up to the frame's end mark: the zeros after it say nothing.
inline std::string describe (const Bytes& bytes)
{
    std::string text;
    for (size_t i = 0; i < bytes.size() && i < 12; ++i)
    {
        char hex[4];
        std::snprintf (hex, sizeof hex, "%02X ", bytes[i]);
        text += hex;
        if (i > 3 && bytes[i] == 0x16)
            break;
    }
    return text;
}

// One report a line.
inline std::string describe (const Reports& reports)
{
    std::string text;
    for (const auto& bytes : reports)
        text += "\n  " + describe (bytes);
    return text;
}
} // namespace zarvo::test::wire
