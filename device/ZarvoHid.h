// The device object through which the control panel talks to the KT-Q7TR: it holds the open
// device handle and turns the microphone's arrival and removal into its deviceChangedSignal.
#pragma once

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
// A Component only so that it lives in the framework's object model: it is never given a parent,
// bounds or visibility, and construction and destruction touch neither device nor transport.
class ZarvoHid : public juce::Component
{
public:
    ZarvoHid();
    ~ZarvoHid() override;

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
