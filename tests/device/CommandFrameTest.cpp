#include "CommandFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace zarvo;

namespace
{
std::vector<int> head (const ReportBuffer& buffer, size_t count)
{
    return std::vector<int> (buffer.begin(), buffer.begin() + (long) count);
}

// Every byte from `from` to the end of the buffer is zero.
bool zeroFrom (const ReportBuffer& buffer, size_t from)
{
    for (auto i = from; i < buffer.size(); ++i)
        if (buffer[i] != 0)
            return false;
    return true;
}

ReportBuffer dirtyBuffer()
{
    ReportBuffer buffer;
    buffer.fill (0xEE);
    return buffer;
}

ReportBuffer replyWith (std::initializer_list<std::pair<size_t, unsigned char>> bytes)
{
    ReportBuffer reply {};
    for (auto [index, value] : bytes)
        reply[index] = value;
    return reply;
}
} // namespace

TEST (CommandFrame, SetFramesCarryTheValueAsLittleEndianTwosComplement)
{
    struct Case
    {
        unsigned char group, parameter;
        int value;
        std::vector<int> expected;
    };
    const Case cases[] = {
        { group::noiseReduction, param::noiseLevel, -2000, { 0x00, 0xA5, 0x5A, 0x81, 0x03, 0x01, 0x30, 0xF8, 0x16 } },
        { group::microphone, param::gain, 2662, { 0x00, 0xA5, 0x5A, 0x8C, 0x03, 0x02, 0x66, 0x0A, 0x16 } },
        { group::noiseReduction, param::noiseLevel, -9000, { 0x00, 0xA5, 0x5A, 0x81, 0x03, 0x01, 0xD8, 0xDC, 0x16 } },
        { group::microphone, param::gain, 4096, { 0x00, 0xA5, 0x5A, 0x8C, 0x03, 0x02, 0x00, 0x10, 0x16 } },
        { group::microphone, param::mute, 1, { 0x00, 0xA5, 0x5A, 0x8C, 0x03, 0x01, 0x01, 0x00, 0x16 } },
        { group::microphone, param::startup, 1, { 0x00, 0xA5, 0x5A, 0x8C, 0x03, 0x00, 0x01, 0x00, 0x16 } },
        { group::reverb, param::reverbDepth, 60, { 0x00, 0xA5, 0x5A, 0x82, 0x03, 0x02, 0x3C, 0x00, 0x16 } },
        { group::reverb, param::reverbTime, 70, { 0x00, 0xA5, 0x5A, 0x82, 0x03, 0x04, 0x46, 0x00, 0x16 } },
        { group::reverb, param::reverbOn, 0, { 0x00, 0xA5, 0x5A, 0x82, 0x03, 0x00, 0x00, 0x00, 0x16 } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.value);
        auto buffer = dirtyBuffer();
        buildSetFrame (buffer, c.group, c.parameter, c.value);
        EXPECT_EQ (head (buffer, 9), c.expected);
        EXPECT_TRUE (zeroFrom (buffer, 9));
    }
}

TEST (CommandFrame, QueriesEndRightAfterTheirPayload)
{
    struct Case
    {
        unsigned char group;
        bool information;
        std::vector<int> expected;
    };
    const Case cases[] = {
        { group::heartbeat, false, { 0x00, 0xA5, 0x5A, 0x00, 0x00, 0x16 } },
        { group::microphone, false, { 0x00, 0xA5, 0x5A, 0x8C, 0x00, 0x16 } },
        { group::noiseReduction, false, { 0x00, 0xA5, 0x5A, 0x81, 0x00, 0x16 } },
        { group::reverb, false, { 0x00, 0xA5, 0x5A, 0x82, 0x00, 0x16 } },
        { group::inputLevel, false, { 0x00, 0xA5, 0x5A, 0x84, 0x00, 0x16 } },
        // The information query has a one-byte payload, so its end marker stands at byte 6.
        { group::deviceInfo, true, { 0x00, 0xA5, 0x5A, 0xFC, 0x01, 0x01, 0x16 } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE ((int) c.group);
        auto buffer = dirtyBuffer();
        if (c.information)
            buildDeviceInfoQuery (buffer);
        else
            buildQueryFrame (buffer, c.group);
        EXPECT_EQ (head (buffer, c.expected.size()), c.expected);
        EXPECT_TRUE (zeroFrom (buffer, c.expected.size()));
    }
}

TEST (CommandFrame, AllZeroReplyDecodesToTheRestingValues)
{
    const ReportBuffer reply {};
    EXPECT_EQ (reply::mute (reply), 0);
    EXPECT_EQ (reply::gainPercent (reply), 1);
    EXPECT_EQ (reply::noiseOn (reply), 0);
    EXPECT_EQ (reply::noiseLevel (reply), 100);
    EXPECT_EQ (reply::reverbOn (reply), 0);
    EXPECT_EQ (reply::reverbDepth (reply), 0);
    EXPECT_EQ (reply::reverbTime (reply), 0);
    EXPECT_EQ (reply::inputLevel (reply), 0u);
    const auto info = reply::deviceInfo (reply);
    EXPECT_EQ (info.bytes, (std::array<unsigned char, 12> {}));
    EXPECT_EQ (info.text(), "");
}

TEST (CommandFrame, GainPercentAddsOneBeforeTruncatingAndIsLimited)
{
    const std::pair<unsigned int, int> cases[] = {
        { 0, 1 }, { 2048, 51 }, { 2662, 65 }, { 4096, 100 }, { 4097, 100 }, { 8192, 100 }, { 65535, 100 }, { 40, 1 }, { 41, 2 },
    };
    for (auto [raw, percent] : cases)
    {
        EXPECT_EQ (gainPercentFromRaw (raw), percent) << "raw " << raw;
        const auto reply = replyWith ({ { 10, (unsigned char) (raw & 0xFF) }, { 11, (unsigned char) (raw >> 8) } });
        EXPECT_EQ (reply::gainPercent (reply), percent) << "raw " << raw;
    }
}

TEST (CommandFrame, NoiseLevelIsSignedAndUnlimited)
{
    const std::pair<int, int> cases[] = {
        { -9000, 0 }, { -2000, 78 }, { -1980, 78 }, { 0, 100 }, { 32767, 464 }, { -32768, -264 }, { -90, 99 }, { -89, 100 },
    };
    for (auto [raw, level] : cases)
    {
        EXPECT_EQ (noiseLevelFromRaw ((int16_t) raw), level) << "raw " << raw;
        const auto bits = (unsigned int) (uint16_t) raw;
        const auto reply = replyWith ({ { 8, (unsigned char) (bits & 0xFF) }, { 9, (unsigned char) (bits >> 8) } });
        EXPECT_EQ (reply::rawNoiseLevel (reply), raw);
        EXPECT_EQ (reply::noiseLevel (reply), level) << "raw " << raw;
    }
}

TEST (CommandFrame, ReverbDepthIsAThirdWithoutLimit)
{
    const std::pair<unsigned int, int> cases[] = { { 60, 20 }, { 300, 100 }, { 65535, 21845 }, { 2, 0 }, { 0, 0 } };
    for (auto [raw, depth] : cases)
    {
        EXPECT_EQ (reverbDepthFromRaw (raw), depth) << "raw " << raw;
        const auto reply = replyWith ({ { 10, (unsigned char) (raw & 0xFF) }, { 11, (unsigned char) (raw >> 8) } });
        EXPECT_EQ (reply::reverbDepth (reply), depth) << "raw " << raw;
    }
}

TEST (CommandFrame, EachFieldIsReadAtItsOwnPositionOnly)
{
    // A reply whose other bytes are all set must not leak into a field.
    ReportBuffer reply;
    reply.fill (0xFF);
    reply[8] = 1;   // mute, or the low byte of the noise level / input level
    reply[9] = 0x02;
    reply[10] = 0x34;
    reply[11] = 0x01;
    reply[6] = 1;
    reply[14] = 200;
    reply[15] = 7;
    EXPECT_EQ (reply::mute (reply), 1);
    EXPECT_EQ (reply::rawGain (reply), 0x0134u);
    EXPECT_EQ (reply::noiseOn (reply), 1);
    EXPECT_EQ (reply::rawNoiseLevel (reply), 0x0201);
    EXPECT_EQ (reply::reverbOn (reply), 1);
    EXPECT_EQ (reply::rawReverbDepth (reply), 0x0134u);
    EXPECT_EQ (reply::reverbTime (reply), 200);
    EXPECT_EQ (reply::inputLevel (reply), 0x0201u);
}

TEST (CommandFrame, DeviceInfoIsBytesSixToSeventeenReadAsTextToTheFirstZero)
{
    ReportBuffer reply;
    reply.fill (0x55);
    const char payload[] = "Q7TR V1.0.3x";
    for (int i = 0; i < 12; ++i)
        reply[(size_t) (6 + i)] = (unsigned char) payload[i];
    auto info = reply::deviceInfo (reply);
    EXPECT_EQ (info.text(), "Q7TR V1.0.3x");
    EXPECT_EQ (info.bytes[4], ' ');

    info.bytes[2] = 0;
    EXPECT_EQ (info.text(), "Q7");
}

// Device units as the control panel computes them from a slider value v (0..100).
namespace
{
int gainUnits (int v)
{
    return (int) ((float) v / 100.0f * 4096.0f);
}
int noiseUnits (int v)
{
    return (int) ((v - 100) * 0.9 * 100.0);
}

ReportBuffer wordReply (size_t low, int value)
{
    const auto bits = (unsigned int) value & 0xFFFFu;
    return replyWith ({ { low, (unsigned char) (bits & 0xFF) }, { low + 1, (unsigned char) (bits >> 8) } });
}
} // namespace

TEST (CommandFrame, SliderValuesRoundTripThroughDeviceUnits)
{
    for (int v = 0; v <= 100; ++v)
    {
        SCOPED_TRACE (v);
        // What a set frame carries is what the device hands back in its reply.
        ReportBuffer frame;
        buildSetFrame (frame, group::noiseReduction, param::noiseLevel, noiseUnits (v));
        EXPECT_EQ (noiseUnits (v), (v - 100) * 90);
        auto reply = replyWith ({ { 8, frame[6] }, { 9, frame[7] } });
        EXPECT_EQ (reply::noiseLevel (reply), v);

        EXPECT_EQ (reply::reverbDepth (wordReply (10, v * 3)), v);
        EXPECT_EQ (reply::reverbTime (replyWith ({ { 14, (unsigned char) v } })), v);

        const int gain = gainUnits (v);
        EXPECT_EQ (gain, v * 4096 / 100);
        buildSetFrame (frame, group::microphone, param::gain, gain);
        reply = replyWith ({ { 10, frame[6] }, { 11, frame[7] } });
        const bool exact = (v * 4096) % 100 == 0;
        const int expected = (exact && v < 100) ? v + 1 : v;
        EXPECT_EQ (reply::gainPercent (reply), expected);
    }
}

TEST (CommandFrame, GainSlidersOnExactMultiplesReadBackOneHigher)
{
    const std::pair<int, int> cases[] = { { 0, 1 }, { 25, 26 }, { 50, 51 }, { 75, 76 }, { 65, 65 }, { 1, 1 }, { 99, 99 }, { 100, 100 } };
    for (auto [slider, readBack] : cases)
        EXPECT_EQ (gainPercentFromRaw ((unsigned int) gainUnits (slider)), readBack) << "slider " << slider;
    // 4096 decodes to 101 before the limit: slider 100 reads back only through it.
    EXPECT_EQ ((int) (4096.0 / 4096.0 * 100.0 + 1.0), 101);
}

TEST (CommandFrame, FactoryDefaultsDecodeToThePanelsDefaults)
{
    EXPECT_EQ (gainPercentFromRaw (0x0A66), 65);
    EXPECT_EQ (noiseLevelFromRaw ((int16_t) 0xF830), 78);
    EXPECT_EQ (reverbDepthFromRaw (0x003C), 20);
    EXPECT_EQ (reply::reverbTime (replyWith ({ { 14, 0x46 } })), 70);
}
