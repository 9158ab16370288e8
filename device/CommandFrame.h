// The KT-Q7TR's wire format: the 257-byte report buffer, the query, set and device-information
// frames the host writes as output reports, and the decoding of the fields the device's input
// reports carry. Every frame built and every reply read in the system goes through here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zarvo
{
// Byte 0 is the report id (always 0), bytes 1 to 256 the report data.
constexpr int reportLength = 257;
// Callers keep buffers larger than one report and pass reportLength to the transfers.
constexpr int reportBufferSize = 512;
using ReportBuffer = std::array<unsigned char, reportBufferSize>;

constexpr unsigned char startMarker1 = 0xA5;
constexpr unsigned char startMarker2 = 0x5A;
constexpr unsigned char endMarker = 0x16;

namespace group
{
constexpr unsigned char heartbeat = 0x00;
constexpr unsigned char microphone = 0x8C;
constexpr unsigned char noiseReduction = 0x81;
constexpr unsigned char reverb = 0x82;
constexpr unsigned char inputLevel = 0x84;
constexpr unsigned char deviceInfo = 0xFC;
} // namespace group

namespace param
{
// microphone group
constexpr unsigned char startup = 0;
constexpr unsigned char mute = 1;
constexpr unsigned char gain = 2;
// noise-reduction group
constexpr unsigned char noiseOn = 0;
constexpr unsigned char noiseLevel = 1;
// reverberation group
constexpr unsigned char reverbOn = 0;
constexpr unsigned char reverbDepth = 2;
constexpr unsigned char reverbTime = 4;
} // namespace param

// Payload byte of the device-information query.
constexpr unsigned char deviceInfoSelector = 0x01;

// Each builder zero-fills the whole buffer first, so every byte the frame does not name is 0.
void buildQueryFrame (ReportBuffer& buffer, unsigned char groupId);
void buildSetFrame (ReportBuffer& buffer, unsigned char groupId, unsigned char parameter, int value);
void buildDeviceInfoQuery (ReportBuffer& buffer);
void clearReport (ReportBuffer& buffer);

// The 12 device-information bytes: model (0-3), separator (4), firmware version (5-10), spare (11).
struct DeviceInfo
{
    static constexpr int size = 12;
    std::array<unsigned char, size> bytes {};

    // The bytes carry no terminator: as text they run to the first zero byte, at most 12.
    std::string text() const;
};

// Decoding of raw values into what the control panel shows.
int gainPercentFromRaw (unsigned int rawGain);
int noiseLevelFromRaw (int16_t rawLevel);
int reverbDepthFromRaw (unsigned int rawDepth);

// Reply fields, read by position only: no marker, group or length is checked.
namespace reply
{
int mute (const ReportBuffer& reply);             // 0x8C reply, byte 8
unsigned int rawGain (const ReportBuffer& reply); // 0x8C reply, bytes 10-11
int gainPercent (const ReportBuffer& reply);
int noiseOn (const ReportBuffer& reply);           // 0x81 reply, byte 6
int16_t rawNoiseLevel (const ReportBuffer& reply); // 0x81 reply, bytes 8-9
int noiseLevel (const ReportBuffer& reply);
int reverbOn (const ReportBuffer& reply);               // 0x82 reply, byte 6
unsigned int rawReverbDepth (const ReportBuffer& reply); // 0x82 reply, bytes 10-11
int reverbDepth (const ReportBuffer& reply);
int reverbTime (const ReportBuffer& reply);         // 0x82 reply, byte 14
unsigned int inputLevel (const ReportBuffer& reply); // 0x84 reply, bytes 8-9
DeviceInfo deviceInfo (const ReportBuffer& reply);  // 0xFC reply, bytes 6-17
} // namespace reply
} // namespace zarvo
