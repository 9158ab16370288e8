// Fuzzes ZarvoHid's device operations with a microphone whose every answer comes from the input: the
// status read and its decoding, the device information with its logged bytes and its text, the input
// level, the heartbeat, the start-up command, the five senders and the factory defaults. Each
// transfer fails (with an errno), moves no bytes, moves a short report or moves the whole report,
// and each reply carries the input's bytes. The transport runs as it is down to the hidraw node
// calls, which this file defines in place of linux/HidrawNode.cpp (the target links the device
// library without it).
//
// Input: a sequence of operations. One byte picks the operation; each of its transfers then takes
// one control byte (low two bits: 0 failure, 1 no bytes, 2 short, 3 whole; for a short transfer one
// more byte gives the length - 1), and a reply takes as many bytes as it moved. The senders take two
// value bytes and a flag byte first. Where the input ends, transfers fail, as on a vanished device.
#include "HidTransport.h"
#include "ZarvoHid.h"
#include "linux/HidrawNode.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// The input, read from the front.
struct Script
{
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    bool empty() const { return size == 0; }
    std::uint8_t next()
    {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
};

Script script;

void check (bool holds, const char* what)
{
    if (!holds)
    {
        std::fprintf (stderr, "fuzz_device_replies: %s\n", what);
        std::abort();
    }
}

// Every transfer the operations make is one whole report.
constexpr std::size_t transferLength = zarvo::reportLength;

// The outcome of one transfer: the byte count the node moves, or -1 with errno set.
int scriptedTransfer (std::size_t length)
{
    static const int failures[] = { EIO, ENODEV, ETIMEDOUT, EPIPE, EPROTO, ESHUTDOWN };
    const auto control = script.next();
    switch (control & 3)
    {
    case 0:
        errno = failures[(control >> 2) % (sizeof failures / sizeof failures[0])];
        return -1;
    case 1:
        return 0;
    case 2:
        return 1 + static_cast<int> (script.next() % (length - 1));
    default:
        return static_cast<int> (length);
    }
}

std::ostringstream logLines;

std::vector<std::string> takeLog()
{
    std::vector<std::string> lines;
    std::istringstream in (logLines.str());
    for (std::string line; std::getline (in, line);)
        lines.push_back (line);
    logLines.str ({});
    return lines;
}

// A transfer result as the operations pass it on: -1, or the bytes moved + 1.
bool isTransferResult (int result)
{
    return result == -1 || (result >= 1 && result <= static_cast<int> (transferLength) + 1);
}

void heartbeat (zarvo::ZarvoHid& hid)
{
    const int result = hid.sendHeartbeat();
    check (isTransferResult (result), "heartbeat result out of range");
    const auto lines = takeLog();
    check (lines.size() == 1 && lines[0] == "HeartbeatData: " + std::to_string (result), "heartbeat log line");
}

void inputLevel (zarvo::ZarvoHid& hid)
{
    const unsigned int level = hid.readInputLevel();
    check (level <= 65535, "input level above 16 bits");
    const auto lines = takeLog();
    check (lines.size() == 1 && lines[0] == "origin Slience:" + std::to_string (level), "input level log line");
}

void status (zarvo::ZarvoHid& hid)
{
    zarvo::ReportBuffer info, mic, noise, reverb;
    zarvo::buildDeviceInfoQuery (info);
    zarvo::buildQueryFrame (mic, zarvo::group::microphone);
    zarvo::buildQueryFrame (noise, zarvo::group::noiseReduction);
    zarvo::buildQueryFrame (reverb, zarvo::group::reverb);

    const zarvo::DeviceStatus state = hid.readStatus (info.data(), mic.data(), noise.data(), reverb.data());
    check (state != nullptr, "no status");
    check (state[0] == 0, "element 0 carries a value");
    check (state[1] >= 0 && state[1] <= 255, "mute outside a byte");
    check (state[2] >= 0 && state[2] <= 100, "gain percent outside 0..100");
    // A signed 16-bit raw level, scaled and offset without a limit.
    check (state[3] >= -264 && state[3] <= 464, "noise-reduction level outside its raw range");
    check (state[4] >= 0 && state[4] <= 21845, "reverberation depth outside its raw range");
    check (state[5] >= 0 && state[5] <= 255, "noise switch outside a byte");
    check (state[6] >= 0 && state[6] <= 255, "reverberation switch outside a byte");
    check (state[7] >= 0 && state[7] <= 255, "reverberation time outside a byte");
    delete[] state;
    check (takeLog().empty(), "the status read logs nothing");
}

void deviceInfo (zarvo::ZarvoHid& hid)
{
    const zarvo::DeviceInfo info = hid.readDeviceInfo();

    const auto lines = takeLog();
    check (lines.size() == 3, "device information: three log lines");
    check (lines[0] == "ZarvoHid=============================", "device information: first line");
    check (lines[2] == "=============================", "device information: last line");

    // The middle line: each byte as a signed decimal followed by one blank.
    std::string expected;
    for (const unsigned char byte : info.bytes)
        expected += std::to_string (static_cast<int> (static_cast<signed char> (byte))) + " ";
    check (lines[1] == expected, "device information: the bytes line");

    const std::string text = info.text();
    const auto firstZero = std::find (info.bytes.begin(), info.bytes.end(), 0);
    check (text.size() == static_cast<std::size_t> (firstZero - info.bytes.begin()), "text ends at the first zero");
    check (std::equal (text.begin(), text.end(), info.bytes.begin(),
                       [] (char c, unsigned char byte) { return static_cast<unsigned char> (c) == byte; }),
           "text is the bytes");
}

void startup (zarvo::ZarvoHid& hid)
{
    check (isTransferResult (hid.sendStartupCommand()), "start-up result out of range");
    check (takeLog().empty(), "the start-up command logs nothing");
}

void sender (zarvo::ZarvoHid& hid, int which)
{
    const int value = script.next() | (script.next() << 8);
    const bool effectOff = (script.next() & 1) != 0;

    static const unsigned char groups[] = { zarvo::group::reverb, zarvo::group::noiseReduction,
                                            zarvo::group::microphone, zarvo::group::microphone,
                                            zarvo::group::microphone };
    zarvo::ReportBuffer frame;
    zarvo::buildSetFrame (frame, groups[which], static_cast<unsigned char> (which), value);

    int result = 0;
    switch (which)
    {
    case 0:
        result = hid.sendReverbMessage (frame.data(), effectOff);
        break;
    case 1:
        result = hid.sendNoiseMessage (frame.data(), effectOff);
        break;
    case 2:
        result = hid.sendGainMessage (frame.data());
        break;
    case 3:
        result = hid.sendMuteOffMessage (frame.data());
        break;
    default:
        result = hid.sendMuteOnMessage (frame.data());
        break;
    }
    check (result == 0, "a sender with a device returns 0");
    const auto lines = takeLog();
    check (!lines.empty() && lines.back().find ("success") != std::string::npos, "a sender logs its success line");
}

void factoryDefaults (zarvo::ZarvoHid& hid)
{
    zarvo::ReportBuffer frames[7];
    const unsigned char groups[] = { 0x8C, 0x8C, 0x81, 0x81, 0x82, 0x82, 0x82 };
    for (int i = 0; i < 7; ++i)
        zarvo::buildSetFrame (frames[i], groups[i], 0, i);
    const int result = hid.sendFactoryDefaults (frames[0].data(), frames[1].data(), frames[2].data(), frames[3].data(),
                                                frames[4].data(), frames[5].data(), frames[6].data());
    check (isTransferResult (result), "factory-default result out of range");
    const auto lines = takeLog();
    check (lines.size() == 1 && lines[0] == "ZarvoHid=============================send reverb_depth_buf",
           "factory defaults: one log line");
}

zarvo::hid::hid_device* device = nullptr;
zarvo::ZarvoHid* hid = nullptr;

// The node the scripted device answers on; no system call ever sees it.
constexpr int scriptedFd = 1 << 20;
} // namespace

// The hidraw node calls, answered by the script.
namespace zarvo::hid::linux_layer
{
int openNode (const char*)
{
    return scriptedFd;
}

void closeNode (int) {}

bool readReportDescriptor (int, std::vector<unsigned char>& descriptor)
{
    // One collection of 256-byte input and output reports without report ids, as the KT-Q7TR has.
    descriptor = { 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96,
                   0x00, 0x01, 0x09, 0x01, 0x81, 0x02, 0x96, 0x00, 0x01, 0x09, 0x01, 0x91, 0x02, 0xC0 };
    return true;
}

int sendOutputReport (int fd, const unsigned char* data, std::size_t length, OutputReportCopy&)
{
    check (fd == scriptedFd, "output report on another node");
    check (length == transferLength, "output report of another length");
    check (data[0] == 0 && data[1] == zarvo::startMarker1 && data[2] == zarvo::startMarker2,
           "output report is not a frame");
    return scriptedTransfer (length);
}

int getInputReport (int fd, unsigned char* data, std::size_t length)
{
    check (fd == scriptedFd, "input report on another node");
    check (length == transferLength, "input report of another length");
    const int moved = scriptedTransfer (length);
    for (int i = 0; i < moved; ++i)
        data[i] = script.next();
    return moved;
}

std::wstring errorText (int errorNumber)
{
    const std::string text = std::strerror (errorNumber);
    return std::wstring (text.begin(), text.end());
}
} // namespace zarvo::hid::linux_layer

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // The log lines are checked, not shown.
    std::cerr.rdbuf (logLines.rdbuf());

    device = zarvo::hid::hid_open_path ("/dev/hidraw-scripted");
    check (device != nullptr && device->outputReportLength == transferLength, "the scripted device does not open");
    // Kept for the process, as the control panel keeps its device object.
    hid = new zarvo::ZarvoHid();
    hid->hidDevice = device;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    script = Script{ data, size };
    logLines.str ({});

    for (int step = 0; step < 32 && !script.empty(); ++step)
    {
        const int operation = script.next() % 11;
        switch (operation)
        {
        case 0:
            heartbeat (*hid);
            break;
        case 1:
            inputLevel (*hid);
            break;
        case 2:
            status (*hid);
            break;
        case 3:
            deviceInfo (*hid);
            break;
        case 4:
            startup (*hid);
            break;
        case 10:
            factoryDefaults (*hid);
            break;
        default:
            sender (*hid, operation - 5);
            break;
        }
    }
    return 0;
}
