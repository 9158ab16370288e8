// The device operations of ZarvoHid: the start-up command, heartbeat, input level, the five frame
// senders, device information, factory defaults and the status read. Each is one fixed sequence of
// output and input report transfers; a failed transfer is not reported or repeated, and a failed
// input transfer leaves its buffer zero, which decodes as an idle device.
#include "ZarvoHid.h"

#include "HidTransport.h"

namespace zarvo
{
namespace
{
void log (const juce::String& line)
{
    juce::Logger::outputDebugString (line);
}

int sendFrame (hid::hid_device* device, const unsigned char* frame)
{
    return hid::hid_send_feature_report (device, frame, reportLength);
}

int sendQuery (hid::hid_device* device, unsigned char groupId)
{
    ReportBuffer query;
    buildQueryFrame (query, groupId);
    return sendFrame (device, query.data());
}

int readReply (hid::hid_device* device, ReportBuffer& reply)
{
    clearReport (reply);
    return hid::hid_get_feature_report (device, reply.data(), reportLength);
}

int readAndDropReply (hid::hid_device* device)
{
    ReportBuffer reply;
    return readReply (device, reply);
}

// The sequence the five senders share: the frame, then the sender's own group query whatever
// group the frame carries, then a reply only if the frame went out. The success line is written
// whenever a device is held, whether or not the transfers succeeded.
int sendFrameWithQuery (hid::hid_device* device, const unsigned char* frame, unsigned char queryGroup,
                        const char* successLine, bool logFrameResult)
{
    const int frameResult = sendFrame (device, frame);
    if (logFrameResult)
        log (juce::String (frameResult));

    sendQuery (device, queryGroup);
    if (frameResult > 0)
        readAndDropReply (device);

    if (device == nullptr)
    {
        log ("unable to open device ");
        return 1;
    }
    log (successLine);
    return 0;
}

constexpr const char* gainSuccessLine = "sendMessage GainSlider success";
} // namespace

int ZarvoHid::sendStartupCommand()
{
    ReportBuffer command;
    buildSetFrame (command, group::microphone, param::startup, 1);
    sendFrame (hidDevice, command.data());
    sendQuery (hidDevice, group::microphone);
    return readAndDropReply (hidDevice);
}

int ZarvoHid::sendHeartbeat()
{
    const int result = sendQuery (hidDevice, group::heartbeat);
    log ("HeartbeatData: " + juce::String (result));
    readAndDropReply (hidDevice);
    return result;
}

unsigned int ZarvoHid::readInputLevel()
{
    sendQuery (hidDevice, group::inputLevel);
    ReportBuffer reply;
    readReply (hidDevice, reply);
    const unsigned int level = reply::inputLevel (reply);
    log ("origin Slience:" + juce::String (level));
    return level;
}

int ZarvoHid::sendReverbMessage (const unsigned char* frame, bool effectOff)
{
    return sendFrameWithQuery (hidDevice, frame, group::reverb,
                               effectOff ? gainSuccessLine : "sendMessage ReverbSlider success", false);
}

int ZarvoHid::sendNoiseMessage (const unsigned char* frame, bool effectOff)
{
    return sendFrameWithQuery (hidDevice, frame, group::noiseReduction,
                               effectOff ? gainSuccessLine : "sendMessage NoiseSlider success", false);
}

int ZarvoHid::sendGainMessage (const unsigned char* frame)
{
    return sendFrameWithQuery (hidDevice, frame, group::microphone, gainSuccessLine, false);
}

int ZarvoHid::sendMuteOffMessage (const unsigned char* frame)
{
    return sendFrameWithQuery (hidDevice, frame, group::microphone, "close Mic Noise Suppressor success", false);
}

int ZarvoHid::sendMuteOnMessage (const unsigned char* frame)
{
    return sendFrameWithQuery (hidDevice, frame, group::microphone, "open Mic Noise Suppressor success", true);
}

DeviceInfo ZarvoHid::readDeviceInfo()
{
    ReportBuffer query;
    buildDeviceInfoQuery (query);
    sendFrame (hidDevice, query.data());

    ReportBuffer reply;
    readReply (hidDevice, reply);
    const DeviceInfo info = reply::deviceInfo (reply);

    log ("ZarvoHid=============================");
    juce::String bytes;
    for (const unsigned char byte : info.bytes)
        bytes << juce::String (static_cast<int> (static_cast<signed char> (byte))) << " ";
    log (bytes);
    log ("=============================");
    return info;
}

int ZarvoHid::sendFactoryDefaults (const unsigned char* muteFrame, const unsigned char* gainFrame,
                                   const unsigned char* noiseSwitchFrame, const unsigned char* noiseLevelFrame,
                                   const unsigned char* reverbSwitchFrame, const unsigned char* reverbDepthFrame,
                                   const unsigned char* reverbTimeFrame)
{
    struct Step
    {
        const unsigned char* frame;
        unsigned char queryGroup;
        bool isReverbDepth;
    };
    // The query follows the frame's position, not the group the frame carries.
    const Step steps[] = {
        { muteFrame, group::microphone, false },
        { gainFrame, group::microphone, false },
        { noiseSwitchFrame, group::noiseReduction, false },
        { noiseLevelFrame, group::noiseReduction, false },
        { reverbSwitchFrame, group::reverb, false },
        { reverbDepthFrame, group::reverb, true },
        { reverbTimeFrame, group::reverb, false },
    };

    int result = -1;
    for (const auto& step : steps)
    {
        sendFrame (hidDevice, step.frame);
        if (step.isReverbDepth)
            log ("ZarvoHid=============================send reverb_depth_buf");
        sendQuery (hidDevice, step.queryGroup);
        result = readAndDropReply (hidDevice);
    }
    return result;
}

DeviceStatus ZarvoHid::readStatus (const unsigned char* infoQuery, const unsigned char* micQuery,
                                   const unsigned char* noiseQuery, const unsigned char* reverbQuery)
{
    // The caller logs every element, so the one without a device value is set too.
    DeviceStatus status = new int[8]{};

    ReportBuffer reply;
    sendFrame (hidDevice, infoQuery);
    readReply (hidDevice, reply);

    // Each reply is decoded by its position in the sequence, whatever query the caller passed.
    sendFrame (hidDevice, micQuery);
    readReply (hidDevice, reply);
    status[1] = reply::mute (reply);
    status[2] = reply::gainPercent (reply);

    sendFrame (hidDevice, noiseQuery);
    readReply (hidDevice, reply);
    status[3] = reply::noiseLevel (reply);
    status[5] = reply::noiseOn (reply);

    sendFrame (hidDevice, reverbQuery);
    readReply (hidDevice, reply);
    status[4] = reply::reverbDepth (reply);
    status[6] = reply::reverbOn (reply);
    status[7] = reply::reverbTime (reply);
    return status;
}
} // namespace zarvo
