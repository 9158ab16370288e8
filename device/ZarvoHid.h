// The device object through which the control panel talks to the KT-Q7TR: it holds the open
// device handle and turns the microphone's arrival and removal into its deviceChangedSignal.
#pragma once

#include "CommandFrame.h"
#include "Slot.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

namespace zarvo::hid
{
struct hid_device;
}

namespace zarvo
{
// The microphone's state as readStatus returns it: a new int[8] that the caller deletes with
// delete[]. 1 mute, 2 gain percent, 3 noise-reduction level, 4 reverberation depth, 5 noise
// reduction on, 6 reverberation on, 7 reverberation time; element 0 carries no device value and is 0.
using DeviceStatus = int*;

// The interface number of the entry the last openDevice chose; 0 until one is chosen.
extern int targetInterfaceNumber;

// A Component only so that it lives in the framework's object model: it is never given a parent,
// bounds or visibility, and construction and destruction touch neither device nor transport.
class ZarvoHid : public juce::Component
{
public:
    ZarvoHid();
    ~ZarvoHid() override;

    // Finds the KT-Q7TR, registers for device changes and opens it, replacing (and releasing) the
    // device an earlier call opened. -1: the HID library failed to start; 1: nothing was opened and
    // hidDevice is as it was; 0: opened and stored in hidDevice.
    int openDevice();

    // The device operations. Each is a fixed, synchronous sequence of transfers on hidDevice as it
    // finds it; none opens, closes or replaces it. Frames point to report buffers of at least
    // reportLength bytes, sent unchanged.
    int sendStartupCommand();
    int sendHeartbeat();
    unsigned int readInputLevel();
    // effectOff only selects the success line. The senders return 1 with no device, else 0.
    int sendReverbMessage (const unsigned char* frame, bool effectOff);
    int sendNoiseMessage (const unsigned char* frame, bool effectOff);
    int sendGainMessage (const unsigned char* frame);
    int sendMuteOffMessage (const unsigned char* frame);
    int sendMuteOnMessage (const unsigned char* frame);
    DeviceInfo readDeviceInfo();
    int sendFactoryDefaults (const unsigned char* muteFrame, const unsigned char* gainFrame,
                             const unsigned char* noiseSwitchFrame, const unsigned char* noiseLevelFrame,
                             const unsigned char* reverbSwitchFrame, const unsigned char* reverbDepthFrame,
                             const unsigned char* reverbTimeFrame);
    DeviceStatus readStatus (const unsigned char* infoQuery, const unsigned char* micQuery,
                             const unsigned char* noiseQuery, const unsigned char* reverbQuery);

    // Logs "start_test!!!!!!!!!", then calls every connected slot in connection order.
    void emitSignals();

    // The device-change callback registered for this object (userData is the ZarvoHid). Reacts
    // only to the KT-Q7TR: records the change, emits the signal, then logs what happened.
    static void HidDeviceChangeCallback (unsigned short vendorId, unsigned short productId, const char* devicePath,
                                         int removed, void* userData);

    // The open microphone; null until it is opened.
    hid::hid_device* hidDevice = nullptr;
    // 0 after an arrival, 1 after a removal; set before the handlers run.
    int lastDeviceChange = 0;
    // Handlers of device arrival and removal, in connection order. Handlers must not connect to
    // the object that is calling them.
    std::vector<std::shared_ptr<Slot<>>> deviceChangedSignal;

private:
    JUCE_DECLARE_NON_COPYABLE (ZarvoHid)
};
} // namespace zarvo
