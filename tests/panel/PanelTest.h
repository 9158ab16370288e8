// A control panel beside a virtual KT-Q7TR, for the tests of BackgroundComponent. The process is
// moved into a private network namespace before the first panel registers for device changes, so
// that only injected udev events reach it; the value queues, which the product never empties, are
// emptied before and after each test; and the handle each panel leaves open is closed once the test
// is over, so that the device file can be unmounted, while its ZarvoHid is kept reachable until the
// process ends, as the application's is.
//
//     TEST_F (PanelTest, Something)
//     {
//         model().setParameter (...);           // the device's state before the panel opens it
//         auto& panel = makePanel();            // constructed with the log captured in log()
//         model().receivedReports();            // what reached the device, byte for byte
//     }
#pragma once

#include "BackgroundComponent.h"
#include "OutputCapture.h"
#include "VirtualMicrophoneTest.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <string>
#include <vector>

namespace zarvo::test
{
// Empties the four slider queues and the meter's segment queue.
void clearValueQueues();

// The bytes of a frame as the device received them: report id 0, then the frame, zero-filled to
// the report length.
MicrophoneModel::Bytes reportOf (std::initializer_list<unsigned char> frame);

class PanelTest : public VirtualMicrophoneTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the panel with the virtual microphone present in the enumeration (unless
    // withoutMicrophone() was called first). The log lines and standard output of the construction
    // are captured: log() holds the former from here until the test ends.
    BackgroundComponent& makePanel();
    BackgroundComponent& panel() { return *builtPanel; }

    // From now on the enumeration lists nothing: the next panel starts without a device.
    void withoutMicrophone();

    // Puts the panel on the desktop in a window of its own (for real mouse events and paints).
    void showOnDesktop();
    // Sends one mouse event to the panel's window, at a point in the panel's coordinates.
    void mouseEvent (juce::Point<int> point, bool buttonDown);
    void press (juce::Point<int> point);
    void release (juce::Point<int> point);
    void click (juce::Point<int> point);
    // Gives the panel's window the X input focus, as a window manager would on a click: JUCE lets a
    // component take the keyboard focus only while its window has it. False if it never came.
    bool focusWindow();
    // The same for another window of the test's.
    static bool focusWindowOf (juce::ComponentPeer* peer);
    // One key press through the window's peer, to whichever component has the keyboard focus.
    void pressKey (const juce::KeyPress& key);

    // Stops every timer of the panel (heartbeat, pacer, push timer and both meter timers), so that
    // the test runs their ticks itself.
    void stopTimers();

    // The KT-Q7TR's removal or arrival as the device-change notification delivers it to the panel's
    // ZarvoHid; what a reopening prints is kept off the test's output.
    void deliverDeviceChange (bool removed);

    // Destroys the panel now (its ZarvoHid and handle stay, as in the app).
    void destroyPanel();

    // For a panel the test built itself (inside a window, say): its handle is closed once the test
    // is over, and its ZarvoHid is kept reachable until the process ends. Returns the panel.
    BackgroundComponent& closeAfterTest (BackgroundComponent& other);
    // The control panel inside a main window's content or a main component.
    static BackgroundComponent& panelIn (juce::Component& mainComponent);

    LogCapture& log() { return *capture; }

    // The ZarvoHid of the last panel built; outlives the panel.
    ZarvoHid* hid = nullptr;

private:
    std::unique_ptr<LogCapture> capture;
    std::unique_ptr<BackgroundComponent> builtPanel;
    std::vector<ZarvoHid*> devicesToClose;
    bool microphoneListed = true;
};
} // namespace zarvo::test
