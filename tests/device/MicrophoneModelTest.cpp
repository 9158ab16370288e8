// The virtual KT-Q7TR's model on its own: the replies it gives are read with the system's own
// decoders, so a reply at a wrong position shows here and not as a puzzle in a transport test.
#include "MicrophoneModel.h"
#include "CommandFrame.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

using namespace zarvo;
using zarvo::test::MicrophoneModel;

namespace
{
ReportBuffer toBuffer (const MicrophoneModel::Bytes& bytes)
{
    ReportBuffer buffer{};
    std::copy (bytes.begin(), bytes.end(), buffer.begin());
    return buffer;
}

// Sends the frame, then fetches one input report and returns it.
ReportBuffer ask (MicrophoneModel& model, const ReportBuffer& frame)
{
    const auto generation = model.openGeneration();
    EXPECT_EQ (model.receiveOutputReport (generation, frame.data(), reportLength).result, reportLength);
    const auto answer = model.sendInputReport (generation, reportLength);
    EXPECT_EQ (answer.result, reportLength);
    return toBuffer (answer.data);
}

ReportBuffer query (MicrophoneModel& model, unsigned char groupId)
{
    ReportBuffer frame;
    buildQueryFrame (frame, groupId);
    return ask (model, frame);
}

void set (MicrophoneModel& model, unsigned char groupId, unsigned char parameter, int value)
{
    ReportBuffer frame;
    buildSetFrame (frame, groupId, parameter, value);
    model.receiveOutputReport (model.openGeneration(), frame.data(), reportLength);
}
} // namespace

TEST (MicrophoneModel, RepliesDecodeToTheDeviceState)
{
    MicrophoneModel model;

    // Factory state as the control panel reads it.
    EXPECT_EQ (reply::mute (query (model, group::microphone)), 0);
    EXPECT_EQ (reply::gainPercent (query (model, group::microphone)), 65);
    EXPECT_EQ (reply::noiseLevel (query (model, group::noiseReduction)), 78);
    EXPECT_EQ (reply::reverbDepth (query (model, group::reverb)), 20);
    EXPECT_EQ (reply::reverbTime (query (model, group::reverb)), 70);

    struct Case
    {
        unsigned char groupId, parameter;
        int value;
        std::function<int (const ReportBuffer&)> read;
        int expected;
    };
    const Case cases[] = {
        { group::microphone, param::mute, 1, reply::mute, 1 },
        { group::microphone, param::gain, 4096, reply::gainPercent, 100 },
        { group::noiseReduction, param::noiseOn, 1, reply::noiseOn, 1 },
        { group::noiseReduction, param::noiseLevel, -9000, reply::noiseLevel, 0 },
        { group::reverb, param::reverbOn, 1, reply::reverbOn, 1 },
        { group::reverb, param::reverbDepth, 300, reply::reverbDepth, 100 },
        { group::reverb, param::reverbTime, 33, reply::reverbTime, 33 },
    };
    for (const auto& c : cases)
    {
        set (model, c.groupId, c.parameter, c.value);
        EXPECT_EQ (model.parameter (c.groupId, c.parameter), c.value);
        EXPECT_EQ (c.read (query (model, c.groupId)), c.expected)
            << "group " << int (c.groupId) << " parameter " << int (c.parameter);
    }

    model.setInputLevel (51234);
    EXPECT_EQ (reply::inputLevel (query (model, group::inputLevel)), 51234u);

    ReportBuffer infoQuery;
    buildDeviceInfoQuery (infoQuery);
    EXPECT_EQ (reply::deviceInfo (ask (model, infoQuery)).text(), "Q7TR V1.2.0");
    model.setDeviceInfo ("AB12", "2.0.01");
    EXPECT_EQ (reply::deviceInfo (ask (model, infoQuery)).text(), "AB12 2.0.01");
    model.setDeviceInfo ("AB12", "2.0.01", '\0');
    const auto info = reply::deviceInfo (ask (model, infoQuery));
    EXPECT_EQ (info.bytes[4], 0);
    EXPECT_EQ (std::string (info.bytes.begin() + 5, info.bytes.begin() + 11), "2.0.01");
}

TEST (MicrophoneModel, InjectedFailuresHitTheCountedTransferOnly)
{
    MicrophoneModel model;
    const auto generation = model.openGeneration();
    ReportBuffer frame;
    buildQueryFrame (frame, group::heartbeat);

    model.failTransfer (2, EIO);
    model.completeEmpty (3);
    EXPECT_EQ (model.receiveOutputReport (generation, frame.data(), reportLength).result, reportLength);
    EXPECT_EQ (model.sendInputReport (generation, reportLength).result, -EIO);
    EXPECT_EQ (model.receiveOutputReport (generation, frame.data(), reportLength).result, 0);
    EXPECT_EQ (model.sendInputReport (generation, reportLength).result, reportLength);

    // Only the first output reached the device; the log has all four, in order.
    EXPECT_EQ (model.receivedReports().size(), 1u);
    const auto log = model.transfers();
    ASSERT_EQ (log.size(), 4u);
    EXPECT_EQ (log[1].direction, MicrophoneModel::Direction::input);
    EXPECT_EQ (log[1].result, -EIO);
    EXPECT_EQ (log[2].result, 0);
}

TEST (MicrophoneModel, AHandleFromBeforeVanishingStaysDead)
{
    MicrophoneModel model;
    const auto before = model.openGeneration();
    model.vanish();
    EXPECT_FALSE (model.present());
    EXPECT_EQ (model.sendInputReport (before, reportLength).result, -ENODEV);
    ReportBuffer frame;
    buildQueryFrame (frame, group::heartbeat);
    EXPECT_EQ (model.receiveOutputReport (before, frame.data(), reportLength).result, -ENODEV);
    EXPECT_TRUE (model.receivedReports().empty());
    EXPECT_EQ (model.refusedReports(),
               (std::vector<MicrophoneModel::Bytes>{ { frame.begin(), frame.begin() + reportLength } }));

    model.comeBack();
    EXPECT_FALSE (model.reachable (before));
    EXPECT_EQ (model.sendInputReport (before, reportLength).result, -ENODEV);
    EXPECT_TRUE (model.reachable (model.openGeneration()));
    EXPECT_EQ (model.sendInputReport (model.openGeneration(), reportLength).result, reportLength);
    EXPECT_EQ (model.transfers().size(), 1u); // dead handles never reach the device
    model.clearRecord();
    EXPECT_TRUE (model.refusedReports().empty());
}
