#include "CommandFrame.h"

#include <algorithm>

namespace zarvo
{
namespace
{
// In a group's reply the value of parameter k lies at bytes 6 + 2k (low) and 7 + 2k (high).
unsigned int word (const ReportBuffer& reply, int parameter)
{
    const int low = 6 + 2 * parameter;
    return static_cast<unsigned int> (reply[(size_t) low]) + 256u * reply[(size_t) low + 1];
}

int lowByte (const ReportBuffer& reply, int parameter)
{
    return reply[(size_t) (6 + 2 * parameter)];
}

void startFrame (ReportBuffer& buffer, unsigned char groupId, unsigned char payloadLength)
{
    clearReport (buffer);
    buffer[0] = 0x00;
    buffer[1] = startMarker1;
    buffer[2] = startMarker2;
    buffer[3] = groupId;
    buffer[4] = payloadLength;
    buffer[5u + payloadLength] = endMarker;
}
} // namespace

void clearReport (ReportBuffer& buffer)
{
    buffer.fill (0);
}

void buildQueryFrame (ReportBuffer& buffer, unsigned char groupId)
{
    startFrame (buffer, groupId, 0);
}

void buildSetFrame (ReportBuffer& buffer, unsigned char groupId, unsigned char parameter, int value)
{
    startFrame (buffer, groupId, 3);
    buffer[5] = parameter;
    buffer[6] = static_cast<unsigned char> (value & 0xFF);
    buffer[7] = static_cast<unsigned char> ((value >> 8) & 0xFF);
}

void buildDeviceInfoQuery (ReportBuffer& buffer)
{
    startFrame (buffer, group::deviceInfo, 1);
    buffer[5] = deviceInfoSelector;
}

std::string DeviceInfo::text() const
{
    const auto end = std::find (bytes.begin(), bytes.end(), 0);
    return std::string (bytes.begin(), end);
}

int gainPercentFromRaw (unsigned int rawGain)
{
    // The 1 is added before truncation, so 2662 reads back as 65 and 4096 as 101 before the limit.
    const double x = static_cast<double> (rawGain);
    const int p = static_cast<int> (x * (1.0 / 4096.0) * 100.0 + 1.0);
    if (p <= 0)
        return 0;
    return p > 100 ? 100 : p;
}

int noiseLevelFromRaw (int16_t rawLevel)
{
    // No limit: raw values outside the range the panel sends decode as they are.
    const int level = static_cast<int> (rawLevel) * 100 / 9000 + 100;
    return static_cast<int16_t> (level);
}

int reverbDepthFromRaw (unsigned int rawDepth)
{
    return static_cast<int> (rawDepth / 3u);
}

namespace reply
{
int mute (const ReportBuffer& r) { return lowByte (r, param::mute); }
unsigned int rawGain (const ReportBuffer& r) { return word (r, param::gain); }
int gainPercent (const ReportBuffer& r) { return gainPercentFromRaw (rawGain (r)); }
int noiseOn (const ReportBuffer& r) { return lowByte (r, param::noiseOn); }
int16_t rawNoiseLevel (const ReportBuffer& r) { return static_cast<int16_t> (word (r, param::noiseLevel)); }
int noiseLevel (const ReportBuffer& r) { return noiseLevelFromRaw (rawNoiseLevel (r)); }
int reverbOn (const ReportBuffer& r) { return lowByte (r, param::reverbOn); }
unsigned int rawReverbDepth (const ReportBuffer& r) { return word (r, param::reverbDepth); }
int reverbDepth (const ReportBuffer& r) { return reverbDepthFromRaw (rawReverbDepth (r)); }
int reverbTime (const ReportBuffer& r) { return lowByte (r, param::reverbTime); }
// The level reply carries its value where parameter 1 of a group would stand.
unsigned int inputLevel (const ReportBuffer& r) { return word (r, 1); }

DeviceInfo deviceInfo (const ReportBuffer& r)
{
    DeviceInfo info;
    std::copy_n (r.begin() + 6, DeviceInfo::size, info.bytes.begin());
    return info;
}
} // namespace reply
} // namespace zarvo
