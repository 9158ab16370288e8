#include "MicrophoneModel.h"

#include "CommandFrame.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <random>

namespace zarvo::test
{
namespace
{
int key (unsigned char groupId, unsigned char index)
{
    return (groupId << 8) | index;
}
} // namespace

MicrophoneModel::MicrophoneModel() : descriptor (defaultReportDescriptor()), currentReply (reportLength, 0)
{
    setParameter (group::microphone, param::startup, 0);
    setParameter (group::microphone, param::mute, 0);
    setParameter (group::microphone, param::gain, 2662);
    setParameter (group::noiseReduction, param::noiseOn, 0);
    setParameter (group::noiseReduction, param::noiseLevel, -2000);
    setParameter (group::reverb, param::reverbOn, 0);
    setParameter (group::reverb, param::reverbDepth, 60);
    setParameter (group::reverb, param::reverbTime, 70);
}

int MicrophoneModel::parameter (unsigned char groupId, unsigned char index) const
{
    std::lock_guard<std::mutex> guard (lock);
    const auto found = parameters.find (key (groupId, index));
    return found == parameters.end() ? 0 : found->second;
}

void MicrophoneModel::setParameter (unsigned char groupId, unsigned char index, int value)
{
    std::lock_guard<std::mutex> guard (lock);
    parameters[key (groupId, index)] = value;
}

void MicrophoneModel::setInputLevel (unsigned int level)
{
    std::lock_guard<std::mutex> guard (lock);
    inputLevel = level;
}

void MicrophoneModel::setDeviceInfo (const std::string& model, const std::string& firmware, unsigned char separator)
{
    std::lock_guard<std::mutex> guard (lock);
    infoModel = model;
    infoFirmware = firmware;
    infoSeparator = separator;
}

MicrophoneModel::Bytes MicrophoneModel::defaultReportDescriptor()
{
    return {
        0x06, 0x00, 0xFF, // Usage Page (vendor defined 0xFF00)
        0x09, 0x01,       // Usage (1)
        0xA1, 0x01,       // Collection (Application)
        0x15, 0x00,       //   Logical Minimum (0)
        0x26, 0xFF, 0x00, //   Logical Maximum (255)
        0x75, 0x08,       //   Report Size (8)
        0x96, 0x00, 0x01, //   Report Count (256)
        0x09, 0x01,       //   Usage (1)
        0x81, 0x02,       //   Input (Data, Variable, Absolute)
        0x96, 0x00, 0x01, //   Report Count (256)
        0x09, 0x01,       //   Usage (1)
        0x91, 0x02,       //   Output (Data, Variable, Absolute)
        0xC0,             // End Collection
    };
}

void MicrophoneModel::setReportDescriptor (Bytes newDescriptor)
{
    std::lock_guard<std::mutex> guard (lock);
    descriptor = std::move (newDescriptor);
}

MicrophoneModel::Bytes MicrophoneModel::reportDescriptor() const
{
    std::lock_guard<std::mutex> guard (lock);
    return descriptor;
}

void MicrophoneModel::failDescriptorRequests (int errorNumber)
{
    std::lock_guard<std::mutex> guard (lock);
    descriptorErrno = errorNumber;
}

int MicrophoneModel::descriptorFailure() const
{
    std::lock_guard<std::mutex> guard (lock);
    return descriptorErrno;
}

void MicrophoneModel::failTransfer (int nth, int errorNumber)
{
    std::lock_guard<std::mutex> guard (lock);
    injected[transferCount + nth] = { Failure::error, errorNumber };
}

void MicrophoneModel::completeEmpty (int nth)
{
    std::lock_guard<std::mutex> guard (lock);
    injected[transferCount + nth] = { Failure::empty, 0 };
}

void MicrophoneModel::completeShort (int nth, std::size_t bytes)
{
    std::lock_guard<std::mutex> guard (lock);
    injected[transferCount + nth] = { Failure::shortReport, 0, bytes };
}

void MicrophoneModel::replyRandom (int nth, std::uint32_t seed)
{
    std::lock_guard<std::mutex> guard (lock);
    Injected failure;
    failure.kind = Failure::random;
    failure.seed = seed;
    injected[transferCount + nth] = failure;
}

MicrophoneModel::Bytes MicrophoneModel::randomReport (std::uint32_t seed, std::size_t length)
{
    std::mt19937 engine (seed);
    Bytes bytes (length);
    for (auto& byte : bytes)
        byte = static_cast<unsigned char> (engine() >> 24);
    return bytes;
}

void MicrophoneModel::setAnswerDelay (std::chrono::milliseconds newDelay)
{
    std::lock_guard<std::mutex> guard (lock);
    delay = newDelay;
}

void MicrophoneModel::vanish()
{
    std::lock_guard<std::mutex> guard (lock);
    vanishNow();
}

void MicrophoneModel::vanishNow()
{
    if (isPresent)
        ++generation; // every handle opened so far belongs to the unplugged device
    isPresent = false;
}

void MicrophoneModel::vanishBefore (int nth)
{
    std::lock_guard<std::mutex> guard (lock);
    vanishBeforeTransfer = transferCount + nth;
}

void MicrophoneModel::vanishIfDue()
{
    if (vanishBeforeTransfer != 0 && transferCount + 1 == vanishBeforeTransfer)
    {
        vanishBeforeTransfer = 0;
        vanishNow();
    }
}

void MicrophoneModel::comeBack()
{
    std::lock_guard<std::mutex> guard (lock);
    isPresent = true;
}

bool MicrophoneModel::present() const
{
    std::lock_guard<std::mutex> guard (lock);
    return isPresent;
}

unsigned long long MicrophoneModel::openGeneration() const
{
    std::lock_guard<std::mutex> guard (lock);
    return generation;
}

bool MicrophoneModel::reachable (unsigned long long handleGeneration) const
{
    std::lock_guard<std::mutex> guard (lock);
    return isPresent && handleGeneration == generation;
}

std::vector<MicrophoneModel::Bytes> MicrophoneModel::receivedReports() const
{
    std::lock_guard<std::mutex> guard (lock);
    return received;
}

std::vector<MicrophoneModel::Bytes> MicrophoneModel::refusedReports() const
{
    std::lock_guard<std::mutex> guard (lock);
    return refused;
}

std::vector<MicrophoneModel::Transfer> MicrophoneModel::transfers() const
{
    std::lock_guard<std::mutex> guard (lock);
    return log;
}

void MicrophoneModel::clearRecord()
{
    std::lock_guard<std::mutex> guard (lock);
    received.clear();
    refused.clear();
    log.clear();
}

MicrophoneModel::Injected MicrophoneModel::takeFailure()
{
    ++transferCount;
    const auto found = injected.find (transferCount);
    if (found == injected.end())
        return {};
    const auto failure = found->second;
    injected.erase (found);
    return failure;
}

// What every transfer on a live handle goes through first: it is counted, and an injected error or
// empty completion decides its answer before the device looks at the report. Returns whether the
// transfer goes on to the device.
bool MicrophoneModel::startTransfer (Injected& failure, Answer& answer)
{
    failure = takeFailure();
    answer.delay = delay;
    if (failure.kind == Failure::error)
        answer.result = -failure.errorNumber;
    else if (failure.kind == Failure::empty)
        answer.result = 0;
    else
        return true;
    return false;
}

MicrophoneModel::Answer MicrophoneModel::receiveOutputReport (unsigned long long handleGeneration,
                                                              const unsigned char* data, std::size_t length)
{
    const auto receivedAt = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> guard (lock);
    // A handle of an earlier plug-in is refused before anything is counted.
    if (isPresent && handleGeneration == generation)
        vanishIfDue();
    if (!isPresent || handleGeneration != generation)
    {
        refused.emplace_back (data, data + length);
        return { -ENODEV, {}, {} };
    }

    Injected failure;
    Answer answer;
    Bytes report;
    if (startTransfer (failure, answer))
    {
        report.assign (data, data + length);
        answerFrame (report);
        received.push_back (report);
        answer.result = static_cast<int> (length);
    }
    log.push_back ({ Direction::output, std::move (report), answer.result, receivedAt });
    return answer;
}

MicrophoneModel::Answer MicrophoneModel::sendInputReport (unsigned long long handleGeneration, std::size_t length)
{
    const auto receivedAt = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> guard (lock);
    vanishIfDue();
    if (!isPresent || handleGeneration != generation)
        return { -ENODEV, {}, {} };

    Injected failure;
    Answer answer;
    if (startTransfer (failure, answer))
    {
        // A shorter request gets the start of the report, as the kernel cuts it.
        auto size = std::min (length, currentReply.size());
        if (failure.kind == Failure::shortReport)
            size = std::min (size, failure.bytes);
        if (failure.kind == Failure::random)
            answer.data = randomReport (failure.seed, size);
        else
            answer.data.assign (currentReply.begin(), currentReply.begin() + (long)size);
        answer.result = static_cast<int> (answer.data.size());
    }
    log.push_back ({ Direction::input, answer.data, answer.result, receivedAt });
    return answer;
}

// Replies look like frames: A5 5A group count 00, then the values (parameter k at bytes 6 + 2k and
// 7 + 2k), then the end marker. Only the value positions are part of what the host relies on.
MicrophoneModel::Bytes MicrophoneModel::groupReply (unsigned char groupId, int valueCount) const
{
    Bytes reply (reportLength, 0);
    reply[1] = startMarker1;
    reply[2] = startMarker2;
    reply[3] = groupId;
    reply[4] = static_cast<unsigned char> (2 * valueCount);
    for (int k = 0; k < valueCount; ++k)
    {
        const auto found = parameters.find (key (groupId, static_cast<unsigned char> (k)));
        const int value = found == parameters.end() ? 0 : found->second;
        reply[6 + 2 * k] = static_cast<unsigned char> (value & 0xFF);
        reply[7 + 2 * k] = static_cast<unsigned char> ((value >> 8) & 0xFF);
    }
    reply[6 + 2 * valueCount] = endMarker;
    return reply;
}

void MicrophoneModel::answerFrame (const Bytes& frame)
{
    // The device answers only what carries the start markers; anything else it ignores.
    if (frame.size() < 6 || frame[1] != startMarker1 || frame[2] != startMarker2)
        return;
    const unsigned char groupId = frame[3];
    const unsigned char payloadLength = frame[4];

    if (payloadLength == 3 && frame.size() >= 8)
    {
        const auto value = static_cast<int16_t> (frame[6] | (frame[7] << 8));
        parameters[key (groupId, frame[5])] = value;
        return;
    }

    if (groupId == group::deviceInfo && payloadLength == 1 && frame[5] == deviceInfoSelector)
    {
        Bytes reply (reportLength, 0);
        reply[1] = startMarker1;
        reply[2] = startMarker2;
        reply[3] = groupId;
        reply[4] = DeviceInfo::size;
        for (std::size_t i = 0; i < 4; ++i)
            reply[6 + i] = i < infoModel.size() ? static_cast<unsigned char> (infoModel[i]) : 0;
        reply[6 + 4] = infoSeparator;
        for (std::size_t i = 0; i < 6; ++i)
            reply[11 + i] = i < infoFirmware.size() ? static_cast<unsigned char> (infoFirmware[i]) : 0;
        reply[6 + DeviceInfo::size] = endMarker;
        currentReply = reply;
        return;
    }

    if (payloadLength != 0)
        return;

    switch (groupId)
    {
    case group::heartbeat:
        currentReply = groupReply (groupId, 0);
        break;
    case group::microphone:
        currentReply = groupReply (groupId, 3);
        break;
    case group::noiseReduction:
        currentReply = groupReply (groupId, 2);
        break;
    case group::reverb:
        currentReply = groupReply (groupId, 5);
        break;
    case group::inputLevel:
        // The level is the group's parameter 1.
        currentReply = groupReply (groupId, 2);
        currentReply[8] = static_cast<unsigned char> (inputLevel & 0xFF);
        currentReply[9] = static_cast<unsigned char> ((inputLevel >> 8) & 0xFF);
        break;
    default:
        break; // unknown groups leave the last reply standing
    }
}
} // namespace zarvo::test
