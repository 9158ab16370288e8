// The device operations of ZarvoHid against the virtual KT-Q7TR through the real transport: the
// reports the device received, byte for byte and in order, the directions of every transfer, the
// log lines and the results; with no handle, with a failing transfer, and after the device vanished.
#include "CommandFrame.h"
#include "HidTransport.h"
#include "OutputCapture.h"
#include "VirtualMicrophoneTest.h"
#include "ZarvoHid.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace zarvo;
using namespace zarvo::test;
using Bytes = MicrophoneModel::Bytes;
using Lines = std::vector<std::string>;

namespace
{
Bytes sent (const ReportBuffer& buffer)
{
    return Bytes (buffer.begin(), buffer.begin() + reportLength);
}

// A whole report: the given bytes, then zeros.
Bytes report (std::initializer_list<unsigned char> start)
{
    Bytes bytes (start);
    bytes.resize (reportLength, 0);
    return bytes;
}

ReportBuffer setFrame (unsigned char groupId, unsigned char parameter, int value)
{
    ReportBuffer buffer;
    buildSetFrame (buffer, groupId, parameter, value);
    return buffer;
}

ReportBuffer queryFrame (unsigned char groupId)
{
    ReportBuffer buffer;
    buildQueryFrame (buffer, groupId);
    return buffer;
}

Bytes query (unsigned char groupId)
{
    return sent (queryFrame (groupId));
}

Bytes infoQuery()
{
    ReportBuffer buffer;
    buildDeviceInfoQuery (buffer);
    return sent (buffer);
}

// "out" or "in" for each transfer that reached the device, with "!" for a failed one.
Lines directions (const MicrophoneModel& model)
{
    Lines result;
    for (const auto& transfer : model.transfers())
        result.push_back (std::string (transfer.direction == MicrophoneModel::Direction::output ? "out" : "in") +
                          (transfer.result < 0 ? "!" : ""));
    return result;
}

// Replaces std::cerr's buffer and notes, for every log line, how many transfers had reached the
// device when the line was written: where a line falls between the transfers.
class LineTimeline : public std::streambuf
{
public:
    explicit LineTimeline (const MicrophoneModel& model) : model (model), previous (std::cerr.rdbuf (this)) {}
    ~LineTimeline() override { std::cerr.rdbuf (previous); }

    std::vector<std::pair<std::string, std::size_t>> lines;

protected:
    int overflow (int c) override
    {
        if (c == traits_type::eof())
            return 0;
        if (c == '\n')
        {
            lines.emplace_back (current, model.transfers().size());
            current.clear();
        }
        else
            current += static_cast<char> (c);
        return c;
    }

private:
    const MicrophoneModel& model;
    std::string current;
    std::streambuf* previous;
};

class DeviceOperations : public VirtualMicrophoneTest
{
protected:
    void SetUp() override
    {
        VirtualMicrophoneTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        hid.hidDevice = hid::hid_open_path (microphone().path().c_str());
        ASSERT_NE (hid.hidDevice, nullptr);
        model().clearRecord();
    }

    void TearDown() override
    {
        hid::hid_close (hid.hidDevice);
        hid.hidDevice = nullptr;
        VirtualMicrophoneTest::TearDown();
    }

    ZarvoHid hid;
    ZarvoHid unopened; // never given a device
};

// ---- the five frame senders

struct SenderCase
{
    const char* name;
    std::function<int (ZarvoHid&, const unsigned char*)> send;
    unsigned char ownGroup;
    ReportBuffer frame; // what the control panel hands over for this sender
    const char* successLine;
    bool logsFrameResult;
};

std::vector<SenderCase> senderCases()
{
    return {
        { "sendReverbMessage, reverberation on",
          [] (ZarvoHid& h, const unsigned char* f) { return h.sendReverbMessage (f, false); }, group::reverb,
          setFrame (group::reverb, param::reverbDepth, 150), "sendMessage ReverbSlider success", false },
        { "sendReverbMessage, reverberation off",
          [] (ZarvoHid& h, const unsigned char* f) { return h.sendReverbMessage (f, true); }, group::reverb,
          setFrame (group::reverb, param::reverbOn, 0), "sendMessage GainSlider success", false },
        { "sendNoiseMessage, noise reduction on",
          [] (ZarvoHid& h, const unsigned char* f) { return h.sendNoiseMessage (f, false); }, group::noiseReduction,
          setFrame (group::noiseReduction, param::noiseLevel, -9000), "sendMessage NoiseSlider success", false },
        { "sendNoiseMessage, noise reduction off",
          [] (ZarvoHid& h, const unsigned char* f) { return h.sendNoiseMessage (f, true); }, group::noiseReduction,
          setFrame (group::noiseReduction, param::noiseOn, 0), "sendMessage GainSlider success", false },
        { "sendGainMessage", [] (ZarvoHid& h, const unsigned char* f) { return h.sendGainMessage (f); },
          group::microphone, setFrame (group::microphone, param::gain, 2662), "sendMessage GainSlider success", false },
        { "sendMuteOffMessage", [] (ZarvoHid& h, const unsigned char* f) { return h.sendMuteOffMessage (f); },
          group::microphone, setFrame (group::microphone, param::mute, 0), "close Mic Noise Suppressor success",
          false },
        { "sendMuteOnMessage", [] (ZarvoHid& h, const unsigned char* f) { return h.sendMuteOnMessage (f); },
          group::microphone, setFrame (group::microphone, param::mute, 1), "open Mic Noise Suppressor success", true },
    };
}

// The lines a sender writes when its frame transfer gave frameResult.
Lines senderLines (const SenderCase& c, int frameResult, const std::string& last)
{
    Lines lines;
    if (c.logsFrameResult)
        lines.push_back (std::to_string (frameResult));
    lines.push_back (last);
    return lines;
}
} // namespace

TEST_F (DeviceOperations, SendersSendTheFrameThenTheirOwnGroupQueryThenReadOneReply)
{
    for (const auto& c : senderCases())
    {
        SCOPED_TRACE (c.name);
        model().clearRecord();
        LogCapture log;

        EXPECT_EQ (c.send (hid, c.frame.data()), 0);

        EXPECT_EQ (model().receivedReports(), (std::vector<Bytes>{ sent (c.frame), query (c.ownGroup) }));
        EXPECT_EQ (directions (model()), (Lines{ "out", "out", "in" }));
        EXPECT_EQ (log.lines(), senderLines (c, reportLength + 1, c.successLine));
    }
}

TEST_F (DeviceOperations, SendersQueryTheirOwnGroupWhateverGroupTheFrameCarries)
{
    const auto foreign = setFrame (group::inputLevel, 0, 7);
    for (const auto& c : senderCases())
    {
        SCOPED_TRACE (c.name);
        model().clearRecord();
        LogCapture log;

        c.send (hid, foreign.data());

        EXPECT_EQ (model().receivedReports(), (std::vector<Bytes>{ sent (foreign), query (c.ownGroup) }));
    }
}

TEST_F (DeviceOperations, SendersReadAReplyOnlyWhenTheFrameWentOutAndStillReportSuccess)
{
    struct Outcome
    {
        const char* name;
        std::function<void (MicrophoneModel&)> inject;
        int frameResult;
        Lines directions;
        bool frameReceived;
    };
    const Outcome outcomes[] = {
        { "frame fails", [] (MicrophoneModel& m) { m.failTransfer (1, EIO); }, -1, { "out!", "out" }, false },
        // A frame that completes with no bytes still counts as gone out: 0 bytes + 1.
        { "frame completes empty", [] (MicrophoneModel& m) { m.completeEmpty (1); }, 1, { "out", "out", "in" }, false },
        { "query fails",
          [] (MicrophoneModel& m) { m.failTransfer (2, EIO); },
          reportLength + 1,
          { "out", "out!", "in" },
          true },
    };
    for (const auto& outcome : outcomes)
    {
        for (const auto& c : senderCases())
        {
            SCOPED_TRACE (std::string (c.name) + ", " + outcome.name);
            model().clearRecord();
            outcome.inject (model());
            LogCapture log;

            EXPECT_EQ (c.send (hid, c.frame.data()), 0);

            EXPECT_EQ (directions (model()), outcome.directions);
            const auto received = model().receivedReports();
            ASSERT_FALSE (received.empty());
            EXPECT_EQ (received.front() == sent (c.frame), outcome.frameReceived);
            EXPECT_EQ (log.lines(), senderLines (c, outcome.frameResult, c.successLine));
        }
    }
}

TEST_F (DeviceOperations, SendersWithoutADeviceSayTheyCannotOpenItAndReturnOne)
{
    for (const auto& c : senderCases())
    {
        SCOPED_TRACE (c.name);
        LogCapture log;

        EXPECT_EQ (c.send (unopened, c.frame.data()), 1);

        EXPECT_EQ (log.lines(), senderLines (c, -1, "unable to open device "));
    }
    EXPECT_TRUE (model().transfers().empty());
}

TEST_F (DeviceOperations, SendersOnAVanishedDeviceStillLogSuccess)
{
    microphone().vanish();
    for (const auto& c : senderCases())
    {
        SCOPED_TRACE (c.name);
        LogCapture log;

        EXPECT_EQ (c.send (hid, c.frame.data()), 0);

        EXPECT_EQ (log.lines(), senderLines (c, -1, c.successLine));
    }
    EXPECT_TRUE (model().transfers().empty());
}

// ---- start-up command, heartbeat, input level

TEST_F (DeviceOperations, StartupCommandSetsParameterZeroQueriesAndReturnsTheReadResult)
{
    LogCapture log;

    EXPECT_EQ (hid.sendStartupCommand(), reportLength + 1);

    EXPECT_EQ (model().receivedReports(),
               (std::vector<Bytes>{ report ({ 0x00, 0xA5, 0x5A, 0x8C, 0x03, 0x00, 0x01, 0x00, 0x16 }), query (0x8C) }));
    EXPECT_EQ (directions (model()), (Lines{ "out", "out", "in" }));
    EXPECT_EQ (model().parameter (group::microphone, param::startup), 1);
    EXPECT_TRUE (log.lines().empty());
}

TEST_F (DeviceOperations, StartupCommandResultIsThatOfItsRead)
{
    model().failTransfer (3, EIO);
    EXPECT_EQ (hid.sendStartupCommand(), -1);

    model().clearRecord();
    model().failTransfer (1, EIO);
    EXPECT_EQ (hid.sendStartupCommand(), reportLength + 1);
    EXPECT_EQ (directions (model()), (Lines{ "out!", "out", "in" }));

    LogCapture log;
    EXPECT_EQ (unopened.sendStartupCommand(), -1);
    microphone().vanish();
    EXPECT_EQ (hid.sendStartupCommand(), -1);
    EXPECT_TRUE (log.lines().empty());
}

TEST_F (DeviceOperations, HeartbeatReturnsItsOutputResultWhateverTheReply)
{
    struct Case
    {
        const char* name;
        std::function<void (MicrophoneModel&)> inject;
        int result;
        Lines directions;
    };
    const Case cases[] = {
        { "answered", [] (MicrophoneModel&) {}, reportLength + 1, { "out", "in" } },
        { "query fails", [] (MicrophoneModel& m) { m.failTransfer (1, EIO); }, -1, { "out!", "in" } },
        { "query completes empty", [] (MicrophoneModel& m) { m.completeEmpty (1); }, 1, { "out", "in" } },
        { "reply fails", [] (MicrophoneModel& m) { m.failTransfer (2, EIO); }, reportLength + 1, { "out", "in!" } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        model().clearRecord();
        c.inject (model());
        LogCapture log;

        EXPECT_EQ (hid.sendHeartbeat(), c.result);

        EXPECT_EQ (directions (model()), c.directions);
        EXPECT_EQ (log.lines(), (Lines{ "HeartbeatData: " + std::to_string (c.result) }));
    }
    model().clearRecord();
    LogCapture log;
    hid.sendHeartbeat();
    EXPECT_EQ (model().receivedReports(), (std::vector<Bytes>{ report ({ 0x00, 0xA5, 0x5A, 0x00, 0x00, 0x16 }) }));
}

TEST_F (DeviceOperations, HeartbeatWithoutAnswerIsMinusOne)
{
    LogCapture log;
    EXPECT_EQ (unopened.sendHeartbeat(), -1);
    microphone().vanish();
    EXPECT_EQ (hid.sendHeartbeat(), -1);
    EXPECT_EQ (log.lines(), (Lines{ "HeartbeatData: -1", "HeartbeatData: -1" }));
}

TEST_F (DeviceOperations, InputLevelIsReadFromTheReplyAsAnUnsignedNumber)
{
    for (const unsigned int level : { 0u, 0x1234u, 0xFFFFu })
    {
        SCOPED_TRACE (level);
        model().clearRecord();
        model().setInputLevel (level);
        LogCapture log;

        EXPECT_EQ (hid.readInputLevel(), level);

        EXPECT_EQ (model().receivedReports(), (std::vector<Bytes>{ query (0x84) }));
        EXPECT_EQ (directions (model()), (Lines{ "out", "in" }));
        EXPECT_EQ (log.lines(), (Lines{ "origin Slience:" + std::to_string (level) }));
    }
}

TEST_F (DeviceOperations, InputLevelIsZeroWhenNoReplyArrives)
{
    model().setInputLevel (500);
    model().failTransfer (2, EIO);
    LogCapture log;

    EXPECT_EQ (hid.readInputLevel(), 0u);
    EXPECT_EQ (unopened.readInputLevel(), 0u);
    microphone().vanish();
    EXPECT_EQ (hid.readInputLevel(), 0u);

    EXPECT_EQ (log.lines(), (Lines (3, "origin Slience:0")));
}

// ---- device information

TEST_F (DeviceOperations, DeviceInfoLogsEachByteAsASignedNumberFollowedByABlank)
{
    model().setDeviceInfo ("Q7\xC8R", "V1.2.0");
    LogCapture log;

    const DeviceInfo info = hid.readDeviceInfo();

    EXPECT_EQ (model().receivedReports(), (std::vector<Bytes>{ infoQuery() }));
    EXPECT_EQ (directions (model()), (Lines{ "out", "in" }));
    const std::array<unsigned char, 12> expected{ 'Q', '7', 0xC8, 'R', ' ', 'V', '1', '.', '2', '.', '0', 0 };
    EXPECT_EQ (info.bytes, expected);
    EXPECT_EQ (log.lines(), (Lines{ "ZarvoHid=============================", "81 55 -56 82 32 86 49 46 50 46 48 0 ",
                                    "=============================" }));
}

TEST_F (DeviceOperations, DeviceInfoWithoutAReplyIsTwelveZeros)
{
    const Lines zeros{ "ZarvoHid=============================", "0 0 0 0 0 0 0 0 0 0 0 0 ",
                       "=============================" };
    const std::array<unsigned char, 12> none{};

    model().failTransfer (2, EIO);
    {
        LogCapture log;
        EXPECT_EQ (hid.readDeviceInfo().bytes, none);
        EXPECT_EQ (log.lines(), zeros);
    }
    {
        LogCapture log;
        EXPECT_EQ (unopened.readDeviceInfo().bytes, none);
        EXPECT_EQ (log.lines(), zeros);
    }
    microphone().vanish();
    {
        LogCapture log;
        EXPECT_EQ (hid.readDeviceInfo().bytes, none);
        EXPECT_EQ (log.lines(), zeros);
    }
}

// ---- factory defaults

namespace
{
struct FactoryFrames
{
    ReportBuffer mute = setFrame (group::microphone, param::mute, 0);
    ReportBuffer gain = setFrame (group::microphone, param::gain, 2662);
    ReportBuffer noiseSwitch = setFrame (group::noiseReduction, param::noiseOn, 0);
    ReportBuffer noiseLevel = setFrame (group::noiseReduction, param::noiseLevel, -2000);
    ReportBuffer reverbSwitch = setFrame (group::reverb, param::reverbOn, 0);
    ReportBuffer reverbDepth = setFrame (group::reverb, param::reverbDepth, 60);
    ReportBuffer reverbTime = setFrame (group::reverb, param::reverbTime, 70);

    int sendWith (ZarvoHid& hid) const
    {
        return hid.sendFactoryDefaults (mute.data(), gain.data(), noiseSwitch.data(), noiseLevel.data(),
                                        reverbSwitch.data(), reverbDepth.data(), reverbTime.data());
    }
};

const char* const reverbDepthLine = "ZarvoHid=============================send reverb_depth_buf";
} // namespace

TEST_F (DeviceOperations, FactoryDefaultsSendEachFrameWithItsPositionsQueryAndOneReply)
{
    const FactoryFrames frames;
    model().setParameter (group::microphone, param::gain, 100);
    model().setParameter (group::reverb, param::reverbOn, 1);
    LineTimeline timeline (model());

    EXPECT_EQ (frames.sendWith (hid), reportLength + 1);

    EXPECT_EQ (model().receivedReports(),
               (std::vector<Bytes>{ sent (frames.mute), query (0x8C), sent (frames.gain), query (0x8C),
                                    sent (frames.noiseSwitch), query (0x81), sent (frames.noiseLevel), query (0x81),
                                    sent (frames.reverbSwitch), query (0x82), sent (frames.reverbDepth), query (0x82),
                                    sent (frames.reverbTime), query (0x82) }));
    Lines expected;
    for (int i = 0; i < 7; ++i)
        expected.insert (expected.end(), { "out", "out", "in" });
    EXPECT_EQ (directions (model()), expected);

    // The one line falls after the sixth frame (transfer 16) and before the sixth query.
    ASSERT_EQ (timeline.lines.size(), 1u);
    EXPECT_EQ (timeline.lines[0].first, reverbDepthLine);
    EXPECT_EQ (timeline.lines[0].second, 16u);

    EXPECT_EQ (model().parameter (group::microphone, param::gain), 2662);
    EXPECT_EQ (model().parameter (group::reverb, param::reverbOn), 0);
}

TEST_F (DeviceOperations, FactoryDefaultsQueryByPositionWhateverTheFramesCarry)
{
    const auto foreign = setFrame (group::inputLevel, 0, 1);
    LogCapture log;

    hid.sendFactoryDefaults (foreign.data(), foreign.data(), foreign.data(), foreign.data(), foreign.data(),
                             foreign.data(), foreign.data());

    const auto received = model().receivedReports();
    ASSERT_EQ (received.size(), 14u);
    const unsigned char groups[] = { 0x8C, 0x8C, 0x81, 0x81, 0x82, 0x82, 0x82 };
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ (received[2 * i + 1], query (groups[i])) << "query " << i + 1;
    EXPECT_EQ (log.lines(), (Lines{ reverbDepthLine }));
}

TEST_F (DeviceOperations, FactoryDefaultsReadAfterEveryFrameEvenWhenItFailed)
{
    const FactoryFrames frames;
    model().failTransfer (1, EIO);  // the mute frame
    model().failTransfer (16, EIO); // the reverberation depth frame
    LogCapture log;

    EXPECT_EQ (frames.sendWith (hid), reportLength + 1);

    auto expected = Lines{};
    for (int i = 0; i < 7; ++i)
        expected.insert (expected.end(), { "out", "out", "in" });
    expected[0] = "out!";
    expected[15] = "out!";
    EXPECT_EQ (directions (model()), expected);
    EXPECT_EQ (log.lines(), (Lines{ reverbDepthLine }));
}

TEST_F (DeviceOperations, FactoryDefaultsResultIsThatOfTheLastRead)
{
    const FactoryFrames frames;
    LogCapture log;
    model().failTransfer (21, EIO);
    EXPECT_EQ (frames.sendWith (hid), -1);

    EXPECT_EQ (frames.sendWith (unopened), -1);
    microphone().vanish();
    EXPECT_EQ (frames.sendWith (hid), -1);
    EXPECT_EQ (log.lines(), (Lines (3, reverbDepthLine)));
}

// ---- status

namespace
{
using Status = std::unique_ptr<int[]>;

struct StatusQueries
{
    ReportBuffer info;
    ReportBuffer mic = queryFrame (group::microphone);
    ReportBuffer noise = queryFrame (group::noiseReduction);
    ReportBuffer reverb = queryFrame (group::reverb);

    StatusQueries() { buildDeviceInfoQuery (info); }
};

std::vector<int> elements (const Status& status)
{
    return std::vector<int> (status.get(), status.get() + 8);
}
} // namespace

TEST_F (DeviceOperations, StatusReadsEachReplyRightAfterItsQueryAndDecodesIt)
{
    struct Case
    {
        const char* name;
        int mute, gain, noiseOn, noiseLevel, reverbOn, depth, time;
        std::vector<int> status;
    };
    const Case cases[] = {
        { "factory values", 0, 2662, 0, -2000, 0, 60, 70, { 0, 0, 65, 78, 20, 0, 0, 70 } },
        { "ends of the sent ranges", 1, 2048, 1, -9000, 1, 300, 100, { 0, 1, 51, 0, 100, 1, 1, 100 } },
        // Only the gain percent is limited.
        { "outside the sent ranges", 1, 5000, 1, 32767, 1, 65535, 255, { 0, 1, 100, 464, 21845, 1, 1, 255 } },
    };
    const StatusQueries queries;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        model().setParameter (group::microphone, param::mute, c.mute);
        model().setParameter (group::microphone, param::gain, c.gain);
        model().setParameter (group::noiseReduction, param::noiseOn, c.noiseOn);
        model().setParameter (group::noiseReduction, param::noiseLevel, c.noiseLevel);
        model().setParameter (group::reverb, param::reverbOn, c.reverbOn);
        model().setParameter (group::reverb, param::reverbDepth, c.depth);
        model().setParameter (group::reverb, param::reverbTime, c.time);
        model().clearRecord();
        LogCapture log;

        const Status status (
            hid.readStatus (queries.info.data(), queries.mic.data(), queries.noise.data(), queries.reverb.data()));

        EXPECT_EQ (elements (status), c.status);
        EXPECT_EQ (model().receivedReports(),
                   (std::vector<Bytes>{ infoQuery(), query (0x8C), query (0x81), query (0x82) }));
        EXPECT_EQ (directions (model()), (Lines{ "out", "in", "out", "in", "out", "in", "out", "in" }));
        EXPECT_TRUE (log.lines().empty());
    }
}

TEST_F (DeviceOperations, StatusDecodesRepliesByPositionWhateverQueriesArePassed)
{
    // The reverberation query in the microphone's place: its reply's parameter 1 (here 1) is read as
    // mute and its depth (300) as the raw gain.
    model().setParameter (group::reverb, 1, 1);
    model().setParameter (group::reverb, param::reverbDepth, 300);
    const StatusQueries queries;

    const Status status (
        hid.readStatus (queries.info.data(), queries.reverb.data(), queries.noise.data(), queries.reverb.data()));

    EXPECT_EQ (status[1], 1);
    EXPECT_EQ (status[2], gainPercentFromRaw (300));
    EXPECT_EQ (model().receivedReports()[1], query (0x82));
}

TEST_F (DeviceOperations, StatusWithoutRepliesIsTheIdleDevice)
{
    const std::vector<int> idle{ 0, 0, 1, 100, 0, 0, 0, 0 };
    const StatusQueries queries;
    auto read = [&] (ZarvoHid& h)
    {
        return elements (Status (
            h.readStatus (queries.info.data(), queries.mic.data(), queries.noise.data(), queries.reverb.data())));
    };

    EXPECT_EQ (read (unopened), idle);
    microphone().vanish();
    EXPECT_EQ (read (hid), idle);
}

TEST_F (DeviceOperations, StatusFailedReplyLeavesOnlyItsElementsIdle)
{
    model().setParameter (group::microphone, param::mute, 1);
    model().setParameter (group::microphone, param::gain, 4096);
    model().failTransfer (4, EIO); // the microphone group's reply
    const StatusQueries queries;

    const Status status (
        hid.readStatus (queries.info.data(), queries.mic.data(), queries.noise.data(), queries.reverb.data()));

    EXPECT_EQ (elements (status), (std::vector<int>{ 0, 0, 1, 78, 20, 0, 0, 70 }));
    EXPECT_EQ (directions (model()), (Lines{ "out", "in", "out", "in!", "out", "in", "out", "in" }));
}
