#include "PanelTest.h"

#include "GlobalSingleton.h"
#include "HidTransport.h"
#include "PollUntil.h"
#include "UdevEventInjector.h"
#include "XErrors.h"

#include <stdexcept>
#include <vector>

namespace zarvo::test
{
namespace
{
// A panel never deletes its ZarvoHid, and the device-change registration holds only the last one
// registered. Every other one is held here until the process ends, so that the leak check at exit
// finds them all still reachable and reports only what nothing holds. The list is never freed: a
// destroyed one would let go of them before the check runs.
void keepUntilExit (ZarvoHid* device)
{
    static auto* const kept = new std::vector<ZarvoHid*>();
    kept->push_back (device);
}
} // namespace

void clearValueQueues()
{
    auto* queues = GlobalSingleton::getInstance();
    queues->singleQueue.clear();
    queues->noiseDequeValue.clear();
    queues->reverbDequeValue.clear();
    queues->reverbTimeQueue.clear();
    queues->singleUpDeque.clear();
}

MicrophoneModel::Bytes reportOf (std::initializer_list<unsigned char> frame)
{
    MicrophoneModel::Bytes bytes (frame);
    bytes.resize (reportLength, 0);
    return bytes;
}

void PanelTest::SetUp()
{
    ZARVO_ENTER_PRIVATE_NETWORK_NAMESPACE();
    VirtualMicrophoneTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
        return;
    ignoreXErrors();
    clearValueQueues();
    hid::linux_layer::setEnumerationSource (microphone().enumerationSource());
    capture = std::make_unique<LogCapture>();
}

void PanelTest::TearDown()
{
    destroyPanel();
    capture = nullptr;
    clearValueQueues();
    for (auto* device : devicesToClose)
    {
        hid::hid_close (device->hidDevice);
        device->hidDevice = nullptr;
    }
    devicesToClose.clear();
    VirtualMicrophoneTest::TearDown();
}

BackgroundComponent& PanelTest::makePanel()
{
    destroyPanel();
    if (!microphoneListed)
        hid::linux_layer::setEnumerationEntries ({});
    {
        StdoutCapture printed; // the opening's picture of the device
        builtPanel = std::make_unique<BackgroundComponent>();
    }
    hid = builtPanel->hid;
    return closeAfterTest (*builtPanel);
}

BackgroundComponent& PanelTest::closeAfterTest (BackgroundComponent& other)
{
    devicesToClose.push_back (other.hid);
    keepUntilExit (other.hid);
    return other;
}

BackgroundComponent& PanelTest::panelIn (juce::Component& mainComponent)
{
    for (auto* child : mainComponent.getChildren())
        if (auto* found = dynamic_cast<BackgroundComponent*> (child))
            return *found;
    throw std::logic_error ("no control panel among the children");
}

void PanelTest::withoutMicrophone()
{
    microphoneListed = false;
    hid::linux_layer::setEnumerationEntries ({});
}

void PanelTest::showOnDesktop()
{
    builtPanel->addToDesktop (0);
    builtPanel->setVisible (true);
    // Start with the pointer off the panel.
    mouseEvent ({ -50, -50 }, false);
}

void PanelTest::mouseEvent (juce::Point<int> point, bool buttonDown)
{
    auto* peer = builtPanel->getPeer();
    ASSERT_NE (peer, nullptr) << "showOnDesktop() first";
    const auto mods = buttonDown ? juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier) : juce::ModifierKeys();
    peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, point.toFloat(), mods,
                            juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                            juce::Time::currentTimeMillis());
}

void PanelTest::press (juce::Point<int> point)
{
    mouseEvent (point, false);
    mouseEvent (point, true);
}

void PanelTest::release (juce::Point<int> point)
{
    mouseEvent (point, false);
}

void PanelTest::click (juce::Point<int> point)
{
    press (point);
    release (point);
}

bool PanelTest::focusWindow()
{
    return focusWindowOf (builtPanel->getPeer());
}

bool PanelTest::focusWindowOf (juce::ComponentPeer* peer)
{
    // The window may not be mapped yet, and until it is the server refuses it the focus.
    return peer != nullptr && runMessageLoopUntil (
                                  [peer]
                                  {
                                      peer->grabFocus();
                                      return peer->isFocused();
                                  });
}

void PanelTest::pressKey (const juce::KeyPress& key)
{
    auto* peer = builtPanel->getPeer();
    ASSERT_NE (peer, nullptr) << "showOnDesktop() first";
    peer->handleKeyPress (key);
}

void PanelTest::stopTimers()
{
    auto& p = panel();
    p.heartbeatTimer->stopTimer();
    p.zarvoTimer->stopTimer();
    p.myTimer->stopTimer();
    p.dectorTimer->stopTimer();
    p.dectorTimer->maskTimer->stopTimer();
}

void PanelTest::deliverDeviceChange (bool removed)
{
    StdoutCapture printed;
    ZarvoHid::HidDeviceChangeCallback (VirtualMicrophone::vendorId, VirtualMicrophone::productId,
                                       microphone().path().c_str(), removed ? 1 : 0, hid);
}

void PanelTest::destroyPanel()
{
    if (builtPanel != nullptr && builtPanel->isOnDesktop())
    {
        mouseEvent ({ -50, -50 }, false);
        builtPanel->removeFromDesktop();
    }
    builtPanel = nullptr;
}
} // namespace zarvo::test
