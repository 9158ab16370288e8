// The control panel beside a virtual KT-Q7TR that misbehaves. Every transfer of every device
// operation, of the opening's greeting, of the synchronisation and of the heartbeat poll is failed in
// turn: an I/O error, a transfer that moves no bytes, a short reply, a reply of random bytes from a
// printed seed, the device vanishing between two transfers, a device that takes 200 ms per transfer.
// Each case holds what the operation logs, prints and returns against a prediction made from the
// fault and from what the device's record says it answered; then the panel has to go on: the mask
// and the status line follow the next heartbeat, the pacer keeps to it, and once the fault is over
// the operation works again and the next paint shows the device.
//
// Then the report descriptor: a malformed one fails the open and nothing else, and large report
// lengths are taken as the transport takes them.
#include "PanelTest.h"

#include "BinaryData.h"
#include "HidTransport.h"
#include "linux/HidrawNode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

using namespace zarvo;
using namespace zarvo::test;
using Bytes = MicrophoneModel::Bytes;
using Lines = std::vector<std::string>;
using Direction = MicrophoneModel::Direction;

namespace
{
// ---- the faults

enum class Kind
{
    none,
    ioError,
    noBytes,
    shortReply,
    randomReply,
    vanish,
    slow
};

struct Fault
{
    Kind kind = Kind::none;
    int transfer = 0; // 1: the operation's first; 0 (slow): every one
    std::uint32_t seed = 0;
};

// The report id and bytes 1 to 8: every field that starts at byte 8 keeps its low byte only, every
// later one is cut away.
constexpr std::size_t shortReplyBytes = 9;
constexpr auto slowAnswer = std::chrono::milliseconds (200);
// The random replies of operation o at transfer t come from seed firstSeed + 100 o + t.
constexpr std::uint32_t firstSeed = 20240517;

std::string describe (const Fault& fault)
{
    const std::string at = " at transfer " + std::to_string (fault.transfer);
    switch (fault.kind)
    {
    case Kind::none:
        return "no fault";
    case Kind::ioError:
        return "I/O error" + at;
    case Kind::noBytes:
        return "no bytes moved" + at;
    case Kind::shortReply:
        return "reply of " + std::to_string (shortReplyBytes) + " bytes" + at;
    case Kind::randomReply:
        return "random reply from seed " + std::to_string (fault.seed) + at;
    case Kind::vanish:
        return "device gone" + at;
    case Kind::slow:
        return "200 ms per transfer";
    }
    return {};
}

// ---- what the device is sent

const Bytes heartbeatQuery = reportOf ({ 0x00, 0xA5, 0x5A, 0x00, 0x00, 0x16 });
const Bytes micQuery = reportOf ({ 0x00, 0xA5, 0x5A, 0x8C, 0x00, 0x16 });
const Bytes noiseQuery = reportOf ({ 0x00, 0xA5, 0x5A, 0x81, 0x00, 0x16 });
const Bytes reverbQuery = reportOf ({ 0x00, 0xA5, 0x5A, 0x82, 0x00, 0x16 });
const Bytes levelQuery = reportOf ({ 0x00, 0xA5, 0x5A, 0x84, 0x00, 0x16 });
const Bytes infoQuery = reportOf ({ 0x00, 0xA5, 0x5A, 0xFC, 0x01, 0x01, 0x16 });
const Bytes startupFrame = reportOf ({ 0x00, 0xA5, 0x5A, 0x8C, 0x03, 0x00, 0x01, 0x00, 0x16 });

Bytes setFrame (unsigned char groupId, unsigned char parameter, unsigned char low, unsigned char high)
{
    return reportOf ({ 0x00, 0xA5, 0x5A, groupId, 0x03, parameter, low, high, 0x16 });
}

// ---- reading replies, as the device's fields are laid out

unsigned int word (const Bytes& reply, std::size_t low)
{
    return reply[low] + 256u * reply[low + 1];
}

int gainPercent (unsigned int raw)
{
    const int percent = static_cast<int> (raw * std::ldexp (1.0, -12) * 100.0 + 1.0);
    return std::clamp (percent, 0, 100);
}

int noiseLevel (unsigned int raw)
{
    return static_cast<int16_t> (static_cast<int16_t> (raw) * 100 / 9000 + 100);
}

std::string joined (const std::vector<int>& values)
{
    std::string text;
    for (const int value : values)
        text += (text.empty() ? "" : " ") + std::to_string (value);
    return text;
}

std::string narrow (const std::wstring& text)
{
    return std::string (text.begin(), text.end());
}

std::string hex2 (unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    return { digits[byte >> 4], digits[byte & 0xF] };
}

// ---- the panel as the cases look at it

struct PanelState
{
    std::array<int, 4> sliders{};
    bool muted = false;
    bool noiseOff = false;
    bool reverbOff = false;
    int noiseKnobX = 0;
    int reverbKnobX = 0;
    bool mutedImage = false;
    std::wstring errorText; // of the handle the panel's ZarvoHid holds

    std::string describe() const
    {
        return "sliders " + joined ({ sliders[0], sliders[1], sliders[2], sliders[3] }) +
               (muted ? ", muted" : ", not muted") + (noiseOff ? ", noise reduction off" : ", noise reduction on") +
               (reverbOff ? ", reverberation off" : ", reverberation on") + ", knobs at " +
               std::to_string (noiseKnobX) + " and " + std::to_string (reverbKnobX) +
               (mutedImage ? ", muted image" : ", unmuted image");
    }
};

std::wstring errorTextOf (hid::hid_device* device)
{
    const wchar_t* text = hid::hid_error (device);
    return text != nullptr ? text : L"";
}

PanelState stateOf (BackgroundComponent& panel)
{
    PanelState state;
    state.sliders = { (int)panel.gainSlider.getValue(), (int)panel.noiseSlider.getValue(),
                      (int)panel.reverbDepthSlider.getValue(), (int)panel.reverbTimeSlider.getValue() };
    state.muted = panel.muted;
    state.noiseOff = panel.noiseOff;
    state.reverbOff = panel.reverbOff;
    state.noiseKnobX = panel.noiseKnob.getX();
    state.reverbKnobX = panel.reverbKnob.getX();
    const auto mutedImage =
        juce::ImageCache::getFromMemory (BinaryData::pressedNoisebtn_png, BinaryData::pressedNoisebtn_pngSize);
    state.mutedImage = panel.muteButton.getNormalImage() == mutedImage;
    state.errorText = errorTextOf (panel.hid->hidDevice);
    return state;
}

// ---- the prediction

// Walks an operation's transfers as the operation makes them, and says for each what the product
// must get back from the transport: from the fault where it strikes, otherwise from the device's
// record, which also has to show every transfer that reached the device, in order, with the report
// the device received and the fault it was told to make. What the operation does with the results,
// its lines and its return value, is written down by the operation's own prediction below.
class Prediction
{
public:
    Prediction (Fault faultToMake, std::vector<MicrophoneModel::Transfer> deviceRecord, std::wstring errorText)
        : lastError (std::move (errorText)), fault (faultToMake), record (std::move (deviceRecord))
    {
    }

    // An output transfer of the frame; the result it gives.
    int out (const Bytes& frame)
    {
        begin (Direction::output);
        if (gone())
            return fail (L"No such device");
        const auto* transfer = next (Direction::output);
        if (strikes (Kind::ioError))
        {
            expectResult (transfer, -EIO);
            return fail (L"Input/output error");
        }
        if (strikes (Kind::noBytes))
        {
            expectResult (transfer, 0);
            return 1;
        }
        expectResult (transfer, reportLength);
        if (transfer != nullptr && transfer->bytes != frame)
            mismatch ("the device received another report");
        return reportLength + 1;
    }

    // An input transfer; the result it gives, and in `delivered` the 257 bytes the caller's zeroed
    // buffer holds after it.
    int in (Bytes* delivered = nullptr)
    {
        begin (Direction::input);
        Bytes bytes (reportLength, 0);
        int result = reportLength + 1;
        if (gone())
            result = fail (L"No such device");
        else
        {
            const auto* transfer = next (Direction::input);
            if (strikes (Kind::ioError))
            {
                expectResult (transfer, -EIO);
                result = fail (L"Input/output error");
            }
            else if (strikes (Kind::noBytes))
            {
                expectResult (transfer, 0);
                result = 1;
            }
            else if (strikes (Kind::shortReply))
            {
                expectResult (transfer, (int)shortReplyBytes);
                result = (int)shortReplyBytes + 1;
            }
            else
            {
                expectResult (transfer, reportLength);
                if (strikes (Kind::randomReply) && transfer != nullptr &&
                    transfer->bytes != MicrophoneModel::randomReport (fault.seed, reportLength))
                    mismatch ("the reply is not the seed's random report");
            }
            if (transfer != nullptr && result > 0)
                std::copy_n (transfer->bytes.begin(), std::min (transfer->bytes.size(), bytes.size()), bytes.begin());
        }
        if (delivered != nullptr)
            *delivered = bytes;
        return result;
    }

    void logs (const std::string& line) { lines.push_back (line); }
    void prints (const std::string& text) { printed += text; }

    // Where the device's record departs from the transfers predicted.
    Lines mismatches() const
    {
        Lines all = problems;
        if (cursor < record.size())
            all.push_back ("the device saw " + std::to_string (record.size() - cursor) + " transfers more");
        return all;
    }

    Lines lines;
    std::string printed;
    std::string returned;
    std::vector<Direction> directions; // of every transfer the operation makes
    std::wstring lastError;            // the handle's error text after the transfers

private:
    void begin (Direction direction)
    {
        ++step;
        directions.push_back (direction);
    }

    bool strikes (Kind kind) const { return fault.kind == kind && fault.transfer == step; }

    // Whether the device is gone by this transfer: from the vanishing on, nothing reaches it.
    bool gone()
    {
        if (strikes (Kind::vanish))
            vanished = true;
        return vanished;
    }

    int fail (const std::wstring& errorText)
    {
        lastError = errorText;
        return -1;
    }

    const MicrophoneModel::Transfer* next (Direction direction)
    {
        if (cursor >= record.size())
        {
            mismatch ("it never reached the device");
            return nullptr;
        }
        const auto& transfer = record[cursor++];
        if (transfer.direction != direction)
            mismatch (direction == Direction::output ? "the device saw an input transfer"
                                                     : "the device saw an output transfer");
        return &transfer;
    }

    void expectResult (const MicrophoneModel::Transfer* transfer, int result)
    {
        if (transfer != nullptr && transfer->result != result)
            mismatch ("the device answered " + std::to_string (transfer->result) + ", not " + std::to_string (result));
    }

    void mismatch (const std::string& what) { problems.push_back ("transfer " + std::to_string (step) + ": " + what); }

    Fault fault;
    std::vector<MicrophoneModel::Transfer> record;
    std::size_t cursor = 0;
    int step = 0;
    bool vanished = false;
    Lines problems;
};

// ---- the operations' predictions

int predictHeartbeat (Prediction& p)
{
    const int result = p.out (heartbeatQuery);
    p.logs ("HeartbeatData: " + std::to_string (result));
    p.in();
    return result;
}

unsigned int predictInputLevel (Prediction& p)
{
    p.out (levelQuery);
    Bytes reply;
    p.in (&reply);
    const unsigned int level = word (reply, 8);
    p.logs ("origin Slience:" + std::to_string (level));
    return level;
}

void predictSender (Prediction& p, const Bytes& frame, const Bytes& query, const std::string& successLine,
                    bool logsFrameResult)
{
    const int frameResult = p.out (frame);
    if (logsFrameResult)
        p.logs (std::to_string (frameResult));
    p.out (query);
    if (frameResult > 0)
        p.in();
    p.logs (successLine);
    p.returned = "0";
}

std::array<int, 8> predictStatus (Prediction& p)
{
    std::array<int, 8> status{};
    Bytes reply;
    p.out (infoQuery);
    p.in();
    p.out (micQuery);
    p.in (&reply);
    status[1] = reply[8];
    status[2] = gainPercent (word (reply, 10));
    p.out (noiseQuery);
    p.in (&reply);
    status[3] = noiseLevel (word (reply, 8));
    status[5] = reply[6];
    p.out (reverbQuery);
    p.in (&reply);
    status[4] = (int)(word (reply, 10) / 3);
    status[6] = reply[6];
    status[7] = reply[14];
    return status;
}

// The greeting prints what each read gave: its result and at most 16 data bytes, or the failure
// and the handle's error text, with no line end after it.
void predictGreetingRead (Prediction& p, const std::string& resultText)
{
    Bytes reply;
    const int result = p.in (&reply);
    if (result < 0)
    {
        p.prints ("Unable to get a feature report.\n" + narrow (p.lastError));
        return;
    }
    p.prints (resultText + std::to_string (result) + "\n");
    for (int i = 1; i < result; ++i)
    {
        p.prints (hex2 (reply[(std::size_t)i]) + " ");
        if (i == 16)
        {
            p.prints ("\n");
            break;
        }
    }
    p.prints ("\n");
}

const char* const noiseSuccess = "sendMessage NoiseSlider success";
const char* const reverbSuccess = "sendMessage ReverbSlider success";
const char* const gainSuccess = "sendMessage GainSlider success";
const char* const muteOnSuccess = "open Mic Noise Suppressor success";
const char* const muteOffSuccess = "close Mic Noise Suppressor success";

// The frames the panel's switches send.
const Bytes muteOnFrame = setFrame (0x8C, 0x01, 0x01, 0x00);
const Bytes muteOffFrame = setFrame (0x8C, 0x01, 0x00, 0x00);
Bytes noiseSwitchFrame (bool on)
{
    return setFrame (0x81, 0x00, on ? 1 : 0, 0x00);
}
Bytes reverbSwitchFrame (bool on)
{
    return setFrame (0x82, 0x00, on ? 1 : 0, 0x00);
}

// The frames the senders are handed here, and the factory defaults.
const Bytes reverbDepthFrame = setFrame (0x82, 0x02, 0x5A, 0x00); // 90
const Bytes noiseLevelFrame = setFrame (0x81, 0x01, 0x6C, 0xEE);  // -4500
const Bytes gainFrame = setFrame (0x8C, 0x02, 0x00, 0x10);        // 4096
const std::array<Bytes, 7> factoryFrames = {
    setFrame (0x8C, 0x01, 0x00, 0x00), setFrame (0x8C, 0x02, 0x66, 0x0A), setFrame (0x81, 0x00, 0x00, 0x00),
    setFrame (0x81, 0x01, 0x30, 0xF8), setFrame (0x82, 0x00, 0x00, 0x00), setFrame (0x82, 0x02, 0x3C, 0x00),
    setFrame (0x82, 0x04, 0x46, 0x00),
};
const std::array<const Bytes*, 7> factoryQueries = { &micQuery,    &micQuery,    &noiseQuery, &noiseQuery,
                                                     &reverbQuery, &reverbQuery, &reverbQuery };

// Where the greeting starts in what the opening prints: after the device's strings.
const std::string greetingStart = "Indexed String 1: \n";

struct Operation
{
    std::string name;
    // What the operation does with each transfer's result: its lines, what it prints and returns.
    std::function<void (Prediction&, const PanelState& before)> predict;
    // Runs it on the panel or on the panel's ZarvoHid; returns what it returned, described as the
    // prediction describes it.
    std::function<std::string (BackgroundComponent&)> run;
    bool isOpening = false;
    bool isHeartbeatPoll = false;
};

Operation sender (const std::string& name, const Bytes& frame, const Bytes& query, const std::string& successLine,
                  std::function<int (ZarvoHid&, const unsigned char*)> call, bool logsFrameResult = false)
{
    return { name,
             [=] (Prediction& p, const PanelState&) { predictSender (p, frame, query, successLine, logsFrameResult); },
             [=] (BackgroundComponent& panel) { return std::to_string (call (*panel.hid, frame.data())); } };
}

const std::vector<Operation>& operations()
{
    static const std::vector<Operation> all = {
        { "sendStartupCommand",
          [] (Prediction& p, const PanelState&)
          {
              p.out (startupFrame);
              p.out (micQuery);
              p.returned = std::to_string (p.in());
          },
          [] (BackgroundComponent& panel) { return std::to_string (panel.hid->sendStartupCommand()); } },
        { "sendHeartbeat",
          [] (Prediction& p, const PanelState&) { p.returned = std::to_string (predictHeartbeat (p)); },
          [] (BackgroundComponent& panel) { return std::to_string (panel.hid->sendHeartbeat()); } },
        { "readInputLevel",
          [] (Prediction& p, const PanelState&) { p.returned = std::to_string (predictInputLevel (p)); },
          [] (BackgroundComponent& panel) { return std::to_string (panel.hid->readInputLevel()); } },
        sender ("sendReverbMessage with reverberation on", reverbDepthFrame, reverbQuery, reverbSuccess,
                [] (ZarvoHid& hid, const unsigned char* frame) { return hid.sendReverbMessage (frame, false); }),
        sender ("sendReverbMessage with reverberation off", reverbDepthFrame, reverbQuery, gainSuccess,
                [] (ZarvoHid& hid, const unsigned char* frame) { return hid.sendReverbMessage (frame, true); }),
        sender ("sendNoiseMessage with noise reduction on", noiseLevelFrame, noiseQuery, noiseSuccess,
                [] (ZarvoHid& hid, const unsigned char* frame) { return hid.sendNoiseMessage (frame, false); }),
        sender ("sendNoiseMessage with noise reduction off", noiseLevelFrame, noiseQuery, gainSuccess,
                [] (ZarvoHid& hid, const unsigned char* frame) { return hid.sendNoiseMessage (frame, true); }),
        sender ("sendGainMessage", gainFrame, micQuery, gainSuccess,
                [] (ZarvoHid& hid, const unsigned char* frame) { return hid.sendGainMessage (frame); }),
        sender ("sendMuteOffMessage", muteOffFrame, micQuery, muteOffSuccess,
                [] (ZarvoHid& hid, const unsigned char* frame) { return hid.sendMuteOffMessage (frame); }),
        sender (
            "sendMuteOnMessage", muteOnFrame, micQuery, muteOnSuccess,
            [] (ZarvoHid& hid, const unsigned char* frame) { return hid.sendMuteOnMessage (frame); }, true),
        { "readDeviceInfo",
          [] (Prediction& p, const PanelState&)
          {
              p.out (infoQuery);
              Bytes reply;
              p.in (&reply);
              std::string signedBytes;
              std::vector<int> info;
              for (std::size_t i = 6; i < 18; ++i)
              {
                  signedBytes += std::to_string ((int)(signed char)reply[i]) + " ";
                  info.push_back (reply[i]);
              }
              p.logs ("ZarvoHid=============================");
              p.logs (signedBytes);
              p.logs ("=============================");
              p.returned = joined (info);
          },
          [] (BackgroundComponent& panel)
          {
              const auto info = panel.hid->readDeviceInfo();
              return joined (std::vector<int> (info.bytes.begin(), info.bytes.end()));
          } },
        { "sendFactoryDefaults",
          [] (Prediction& p, const PanelState&)
          {
              int result = -1;
              for (std::size_t i = 0; i < factoryFrames.size(); ++i)
              {
                  p.out (factoryFrames[i]);
                  if (i == 5)
                      p.logs ("ZarvoHid=============================send reverb_depth_buf");
                  p.out (*factoryQueries[i]);
                  result = p.in();
              }
              p.returned = std::to_string (result);
          },
          [] (BackgroundComponent& panel)
          {
              const auto& f = factoryFrames;
              return std::to_string (panel.hid->sendFactoryDefaults (f[0].data(), f[1].data(), f[2].data(), f[3].data(),
                                                                     f[4].data(), f[5].data(), f[6].data()));
          } },
        { "readStatus",
          [] (Prediction& p, const PanelState&)
          {
              const auto status = predictStatus (p);
              p.returned = joined (std::vector<int> (status.begin(), status.end()));
          },
          [] (BackgroundComponent& panel)
          {
              std::unique_ptr<int[]> status (
                  panel.hid->readStatus (infoQuery.data(), micQuery.data(), noiseQuery.data(), reverbQuery.data()));
              return joined (std::vector<int> (status.get(), status.get() + 8));
          } },
        { "openDevice",
          [] (Prediction& p, const PanelState&)
          {
              p.lastError = L"indexed strings cannot be read through hidraw"; // the new handle's, from its strings
              for (const auto* line :
                   { "hid_register_device_notification run", "hid_register_device_notification end",
                     "hid_register_device_notification run65280", "hid_register_device_notification run1",
                     "hid_register_device_notification run65281", "hid_register_device_notification run9" })
                  p.logs (line);
              const int sent = p.out (heartbeatQuery);
              p.prints (sent < 0 ? "Unable to send a feature report.\n"
                                 : "Set Report " + std::to_string (sent) + ".\n");
              predictGreetingRead (p, "Get Report 1:");
              p.in();
              predictGreetingRead (p, "Get Report 2:");
              p.returned = "0, a new handle";
          },
          [] (BackgroundComponent& panel)
          {
              auto* const before = panel.hid->hidDevice;
              const int result = panel.hid->openDevice();
              const bool replaced = panel.hid->hidDevice != nullptr && panel.hid->hidDevice != before;
              return std::to_string (result) + (replaced ? ", a new handle" : ", the same handle");
          },
          true },
        { "syncFromDevice",
          [] (Prediction& p, const PanelState& before)
          {
              const auto status = predictStatus (p);
              std::string line;
              for (const int element : status)
                  line += std::to_string (element).substr (0, 8) + " ";
              p.logs (line);

              PanelState after = before;
              for (std::size_t i = 0; i < 4; ++i)
                  after.sliders[i] = std::clamp (status[std::array<std::size_t, 4>{ 2, 3, 4, 7 }[i]], 0, 100);
              // Each switch is set against the device's state and toggled, which sends that state.
              if (status[1] == 0 || status[1] == 1)
              {
                  const bool muteOn = status[1] == 1;
                  predictSender (p, muteOn ? muteOnFrame : muteOffFrame, micQuery,
                                 muteOn ? muteOnSuccess : muteOffSuccess, muteOn);
                  after.muted = after.mutedImage = muteOn;
              }
              if (status[5] == 0 || status[5] == 1)
              {
                  const bool on = status[5] == 1;
                  predictSender (p, noiseSwitchFrame (on), noiseQuery, on ? gainSuccess : noiseSuccess, false);
                  after.noiseOff = !on;
                  after.noiseKnobX = on ? 455 : 405;
              }
              if (status[6] == 0 || status[6] == 1)
              {
                  const bool on = status[6] == 1;
                  predictSender (p, reverbSwitchFrame (on), reverbQuery, on ? gainSuccess : reverbSuccess, false);
                  after.reverbOff = !on;
                  after.reverbKnobX = on ? 455 : 405;
              }
              p.returned = after.describe();
          },
          [] (BackgroundComponent& panel)
          {
              panel.syncFromDevice();
              return stateOf (panel).describe();
          } },
        { "pollDevice",
          [] (Prediction& p, const PanelState&)
          {
              const int heartbeat = predictHeartbeat (p);
              const unsigned int level = predictInputLevel (p);
              p.logs ("HeartbeatTimer is running...");
              p.returned = "heartbeat " + std::to_string (heartbeat) + ", input level " + std::to_string (level);
          },
          [] (BackgroundComponent& panel)
          {
              panel.heartbeatTimer->timerCallback();
              return "heartbeat " + std::to_string (panel.heartbeat) + ", input level " +
                     std::to_string (panel.inputLevel);
          },
          false, true },
    };
    return all;
}

// The cases of one operation: each fault kind at each transfer it can strike. Short and random
// replies are replies, so they strike input transfers only. The slow device is one case per
// operation of at most eight transfers: how long a transfer takes does not depend on which one it
// is, and each slow transfer costs 200 ms.
std::vector<Fault> faultsOf (std::size_t operationIndex)
{
    const auto& operation = operations()[operationIndex];
    Prediction dryRun ({}, {}, L"");
    operation.predict (dryRun, PanelState{});

    std::vector<Fault> faults;
    for (int transfer = 1; transfer <= (int)dryRun.directions.size(); ++transfer)
    {
        for (const auto kind : { Kind::ioError, Kind::noBytes, Kind::vanish })
            faults.push_back ({ kind, transfer, 0 });
        if (dryRun.directions[(std::size_t)transfer - 1] == Direction::input)
        {
            faults.push_back ({ Kind::shortReply, transfer, 0 });
            faults.push_back ({ Kind::randomReply, transfer,
                                firstSeed + 100u * (std::uint32_t)operationIndex + (std::uint32_t)transfer });
        }
    }
    if (dryRun.directions.size() <= 8)
        faults.push_back ({ Kind::slow, 0, 0 });
    return faults;
}

const char* const connectedText = "已连接KT-Q7TR设备";
const char* const notConnectedText = "请连接KT-Q7TR设备";

std::string statusShownFor (int heartbeat)
{
    return heartbeat == -1 ? std::string ("mask over the panel, ") + notConnectedText
                           : std::string ("no mask, ") + connectedText;
}

// The report descriptor of the virtual microphone with input and output reports of `bytes` bytes.
Bytes descriptorWithReports (unsigned int bytes)
{
    const auto low = (unsigned char)(bytes & 0xFF);
    const auto high = (unsigned char)(bytes >> 8);
    return { 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96,
             low,  high, 0x09, 0x01, 0x81, 0x02, 0x96, low,  high, 0x09, 0x01, 0x91, 0x02, 0xC0 };
}
} // namespace

// ---- the fixture

class DeviceFaults : public PanelTest
{
protected:
    // Built with the device in a known state, its timers stopped so that nothing but the test talks
    // to the device, and painted once, so that the first paint's images are behind every case.
    BackgroundComponent& makeQuietPanel()
    {
        setKnownDeviceState();
        auto& p = makePanel();
        stopTimers();
        paintedStatus();
        return p;
    }

    // A device whose every answer differs from the idle one: muted, gain 51, noise reduction on at
    // 50, reverberation off at depth 30 and time 40, level 4660.
    void setKnownDeviceState()
    {
        model().setParameter (group::microphone, param::mute, 1);
        model().setParameter (group::microphone, param::gain, 2048);
        model().setParameter (group::noiseReduction, param::noiseOn, 1);
        model().setParameter (group::noiseReduction, param::noiseLevel, -4500);
        model().setParameter (group::reverb, param::reverbOn, 0);
        model().setParameter (group::reverb, param::reverbDepth, 90);
        model().setParameter (group::reverb, param::reverbTime, 40);
        model().setInputLevel (0x1234);
    }

    // One paint of the whole panel, as a repaint of its window makes it; what it shows of the device.
    std::string paintedStatus()
    {
        auto& p = panel();
        const auto paints = [this]
        {
            const auto lines = log().lines();
            return std::count_if (lines.begin(), lines.end(),
                                  [] (const std::string& line)
                                  { return line.rfind ("BackgroundComponent::paint time: ", 0) == 0; });
        };
        const auto paintsBefore = paints();
        p.createComponentSnapshot (p.getLocalBounds());
        EXPECT_EQ (paints(), paintsBefore + 1) << "the snapshot paints the panel once";
        const bool masked = p.noDeviceMask.getParentComponent() == &p && p.noDeviceMask.isVisible();
        return (masked ? "mask over the panel, " : "no mask, ") + p.statusLabel.getText().toStdString();
    }

    // One heartbeat tick; the heartbeat it leaves.
    int heartbeatTick()
    {
        panel().heartbeatTimer->timerCallback();
        return panel().heartbeat;
    }

    // One tick of the pacer: whether it held off, as it must while the heartbeat is -1 or 1.
    bool pacerHeldOff()
    {
        log().clear();
        panel().zarvoTimer->timerCallback();
        const auto lines = log().lines();
        const bool heldOff = std::find (lines.begin(), lines.end(), "sleep!!!!!!!") != lines.end();
        const bool drained = std::find (lines.begin(), lines.end(), "else sleep!!!!!!!") != lines.end();
        EXPECT_NE (heldOff, drained);
        return heldOff;
    }

    // Unplugged, announced, plugged in again and announced: the panel reopens the microphone.
    void replug()
    {
        auto* const deadHandle = hid->hidDevice;
        log().clear();
        model().clearRecord();
        deliverDeviceChange (true);
        EXPECT_EQ (log().lines(),
                   (Lines{ "start_test!!!!!!!!!", "1===========", "65281----9----1", "HidDeviceChangeCallback:1" }));
        EXPECT_TRUE (model().transfers().empty()) << "a removal does nothing but log";

        microphone().comeBack();
        setKnownDeviceState();
        log().clear();
        deliverDeviceChange (false);
        const auto lines = log().lines();
        EXPECT_TRUE (!lines.empty() && lines.front() == "start_test!!!!!!!!!" &&
                     lines.back() == "HidDeviceChangeCallback:0");
        EXPECT_NE (hid->hidDevice, nullptr);
        EXPECT_NE (hid->hidDevice, deadHandle);
        stopTimers();
    }
};

class DeviceFaultMatrix : public DeviceFaults, public ::testing::WithParamInterface<std::size_t>
{
protected:
    // Runs the operation with the fault injected and holds its outcome against the prediction.
    void runWith (const Operation& operation, const Fault& fault)
    {
        SCOPED_TRACE (describe (fault));
        setKnownDeviceState();
        const auto before = stateOf (panel());
        model().clearRecord();
        log().clear();
        inject (fault);

        std::string returned, printed;
        const auto start = std::chrono::steady_clock::now();
        {
            StdoutCapture output;
            returned = operation.run (panel());
            printed = output.text();
        }
        const auto took = std::chrono::steady_clock::now() - start;
        model().setAnswerDelay (std::chrono::milliseconds (0));
        stopTimers(); // the operations that talk to the device restart the heartbeat poll
        if (operation.isOpening)
        {
            const auto greeting = printed.find (greetingStart);
            printed = greeting == std::string::npos ? "(no greeting) " + printed
                                                    : printed.substr (greeting + greetingStart.size());
        }

        Prediction prediction (fault, model().transfers(), before.errorText);
        operation.predict (prediction, before);

        EXPECT_EQ (log().lines(), prediction.lines);
        EXPECT_EQ (printed, prediction.printed);
        EXPECT_EQ (returned, prediction.returned);
        EXPECT_EQ (narrow (errorTextOf (hid->hidDevice)), narrow (prediction.lastError)) << "the handle's error text";
        for (const auto& mismatch : prediction.mismatches())
            ADD_FAILURE() << mismatch;
        if (fault.kind == Kind::slow)
        {
            EXPECT_GE (took, slowAnswer * prediction.directions.size()) << "every transfer waits for its answer";
        }
    }

    void inject (const Fault& fault)
    {
        switch (fault.kind)
        {
        case Kind::none:
            break;
        case Kind::ioError:
            model().failTransfer (fault.transfer, EIO);
            break;
        case Kind::noBytes:
            model().completeEmpty (fault.transfer);
            break;
        case Kind::shortReply:
            model().completeShort (fault.transfer, shortReplyBytes);
            break;
        case Kind::randomReply:
            std::cout << "[ random   ] " << operations()[GetParam()].name << ": reply " << fault.transfer
                      << " from seed " << fault.seed << std::endl;
            model().replyRandom (fault.transfer, fault.seed);
            break;
        case Kind::vanish:
            model().vanishBefore (fault.transfer);
            break;
        case Kind::slow:
            model().setAnswerDelay (slowAnswer);
            break;
        }
    }

    // After the fault: the heartbeat, the mask and the status line agree and the pacer keeps to the
    // heartbeat; once the fault is over, the operation works again and the next paint shows the
    // device.
    void goesOn (const Operation& operation, const Fault& fault)
    {
        SCOPED_TRACE ("after " + describe (fault));
        const bool gone = fault.kind == Kind::vanish;
        // The poll's own heartbeat first (1 when it moved no bytes, which paint counts as a device
        // that answers and the pacer as one that does not), then the next one.
        if (operation.isHeartbeatPoll)
            followsTheHeartbeat();
        EXPECT_EQ (heartbeatTick(), gone ? -1 : reportLength + 1);
        followsTheHeartbeat();

        if (gone)
            replug();

        runWith (operation, {});
        EXPECT_EQ (heartbeatTick(), reportLength + 1);
        followsTheHeartbeat();
    }

    void followsTheHeartbeat()
    {
        const int heartbeat = panel().heartbeat;
        SCOPED_TRACE ("heartbeat " + std::to_string (heartbeat));
        EXPECT_EQ (paintedStatus(), statusShownFor (heartbeat));
        EXPECT_EQ (pacerHeldOff(), heartbeat == -1 || heartbeat == 1);
        stopTimers();
    }
};

TEST_P (DeviceFaultMatrix, EveryTransferFailedInTurn)
{
    const auto& operation = operations()[GetParam()];
    makeQuietPanel();

    const auto faults = faultsOf (GetParam());
    ASSERT_FALSE (faults.empty());
    std::cout << "[ faults   ] " << operation.name << ": " << faults.size() << " cases" << std::endl;
    for (const auto& fault : faults)
    {
        runWith (operation, fault);
        goesOn (operation, fault);
        if (HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P (EveryOperation, DeviceFaultMatrix, ::testing::Range<std::size_t> (0, operations().size()),
                          [] (const ::testing::TestParamInfo<std::size_t>& info)
                          {
                              std::string name;
                              for (const char c : operations()[info.param].name)
                                  if (std::isalnum ((unsigned char)c))
                                      name += c;
                              return name;
                          });

// ---- report descriptors

TEST_F (DeviceFaults, AMalformedReportDescriptorFailsTheOpenAndNothingElse)
{
    const auto good = MicrophoneModel::defaultReportDescriptor();
    const auto withTail = [&] (std::initializer_list<unsigned char> tail)
    {
        auto bytes = good;
        bytes.insert (bytes.end(), tail);
        return bytes;
    };
    const auto cut = [&] (std::size_t size) { return Bytes (good.begin(), good.begin() + (long)size); };
    // Well formed but longer than the 4096 bytes a report descriptor may have: usages after the end.
    auto tooLong = good;
    while (tooLong.size() <= 4096)
        tooLong.insert (tooLong.end(), { 0x09, 0x01 });

    struct Case
    {
        std::string name;
        Bytes descriptor;
    };
    const std::vector<Case> cases = {
        // Each of these is whole up to its last item, which the descriptor's end cuts short.
        { "a short item's data runs past the end", withTail ({ 0x27, 0xFF, 0xFF }) },
        { "the end right after a short item's prefix", withTail ({ 0x75 }) },
        { "a long item's data runs past the end", withTail ({ 0xFE, 0x10, 0x00, 0x01, 0x02 }) },
        { "the end inside a long item's header", withTail ({ 0xFE, 0x02 }) },
        // Cut inside the report layout, before its collection ends.
        { "cut inside an item's data", cut (16) },
        { "longer than a report descriptor can be", tooLong },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        model().setReportDescriptor (c.descriptor);
        model().clearRecord();
        auto& p = makePanel();

        // The panel comes up as it does without a device.
        EXPECT_EQ (hid->hidDevice, nullptr);
        EXPECT_TRUE (model().transfers().empty()) << "nothing reached the device";
        const auto lines = log().lines();
        for (const auto* line :
             { "ZarvoHid=============================", "0 0 0 0 0 0 0 0 0 0 0 0 ", "0 0 1 100 0 0 0 0 ",
               "BackgroundComponent::BackgroundComponent(). The constructor end" })
            EXPECT_NE (std::find (lines.begin(), lines.end(), line), lines.end()) << line;
        EXPECT_EQ (p.heartbeatTimer->getTimerInterval(), 1);
        EXPECT_TRUE (p.zarvoTimer->isTimerRunning());
        EXPECT_TRUE (p.dectorTimer->isTimerRunning());
        stopTimers();

        // The open fails as any open of an unusable device does.
        {
            StdoutCapture printed;
            EXPECT_EQ (hid->openDevice(), 1);
            auto printedLines = printed.lines();
            ASSERT_GE (printedLines.size(), 2u);
            EXPECT_EQ (Lines (printedLines.end() - 2, printedLines.end()),
                       (Lines{ "Path: " + microphone().path(), "unable to open device" }));
        }
        EXPECT_EQ (hid->hidDevice, nullptr);

        EXPECT_EQ (heartbeatTick(), -1);
        EXPECT_EQ (p.inputLevel, 0u);
        EXPECT_EQ (paintedStatus(), statusShownFor (-1));
        EXPECT_TRUE (pacerHeldOff());
        stopTimers();

        // Nothing else: once the device describes itself properly, its next arrival opens it.
        model().setReportDescriptor (good);
        deliverDeviceChange (false);
        stopTimers();
        EXPECT_NE (hid->hidDevice, nullptr);
        EXPECT_EQ (heartbeatTick(), reportLength + 1);
        EXPECT_EQ (paintedStatus(), statusShownFor (reportLength + 1));
        stopTimers();
    }
}

TEST_F (DeviceFaults, LargeReportLengthsAreTakenAsTheTransportTakesThem)
{
    constexpr auto limit = hid::linux_layer::maxReportLength;
    struct Case
    {
        unsigned int reportBytes; // without the report id
        bool opens;               // the descriptor parses: reports up to the kernel's 16384 bytes
        bool movesReportsOfThatLength;
    };
    const Case cases[] = {
        { 4096, true, true },
        { (unsigned int)limit - 1, true, true }, // lengths of exactly the limit
        { (unsigned int)limit, true, false },    // one above it
        { 16384, true, false },                  // the largest report the kernel allows
        { 16385, false, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("reports of " + std::to_string (c.reportBytes) + " bytes");
        model().setReportDescriptor (descriptorWithReports (c.reportBytes));
        setKnownDeviceState();
        model().clearRecord();
        auto& p = makePanel();
        stopTimers();
        if (!c.opens)
        {
            EXPECT_EQ (hid->hidDevice, nullptr);
            EXPECT_TRUE (model().transfers().empty());
            EXPECT_EQ (heartbeatTick(), -1);
            EXPECT_EQ (paintedStatus(), statusShownFor (-1));
            stopTimers();
            continue;
        }

        ASSERT_NE (hid->hidDevice, nullptr);
        auto* const device = hid->hidDevice;
        EXPECT_EQ (device->outputReportLength, c.reportBytes + 1);
        EXPECT_EQ (device->inputReportLength, c.reportBytes + 1);

        // The panel's transfers are 257 bytes whatever the device's lengths: all went through, and
        // the panel reads the device.
        const auto construction = model().transfers();
        EXPECT_FALSE (construction.empty());
        for (const auto& transfer : construction)
            EXPECT_EQ (transfer.result, reportLength);
        EXPECT_EQ ((int)p.gainSlider.getValue(), 51);
        EXPECT_EQ (heartbeatTick(), reportLength + 1);
        EXPECT_EQ (p.inputLevel, 0x1234u);
        EXPECT_EQ (paintedStatus(), statusShownFor (reportLength + 1));

        // Reports of the device's own lengths: moved up to the limit, refused above it before they
        // reach the device.
        Bytes buffer (c.reportBytes + 1, 0);
        std::copy (heartbeatQuery.begin(), heartbeatQuery.begin() + 6, buffer.begin());
        model().clearRecord();
        const int sent = hid::hid_send_feature_report (device, buffer.data(), device->outputReportLength);
        const int got = hid::hid_get_feature_report (device, buffer.data(), device->inputReportLength);
        if (c.movesReportsOfThatLength)
        {
            EXPECT_EQ (sent, (int)c.reportBytes + 2);
            EXPECT_EQ (got, reportLength + 1) << "the device answers with its 257-byte reply";
            const auto received = model().receivedReports();
            ASSERT_EQ (received.size(), 1u);
            EXPECT_EQ (received[0].size(), c.reportBytes + 1);
        }
        else
        {
            EXPECT_EQ (sent, -1);
            EXPECT_EQ (got, -1);
            EXPECT_EQ (narrow (errorTextOf (device)), "Invalid argument");
            EXPECT_TRUE (model().transfers().empty()) << "nothing reached the device";
        }

        // The next transfer of the panel works.
        EXPECT_EQ (heartbeatTick(), reportLength + 1);
        EXPECT_EQ (paintedStatus(), statusShownFor (reportLength + 1));
        stopTimers();
    }
}
