// The control panel's immediate dealings with the microphone: the switches, the mute button and
// their listeners, the information panel's showing and hiding, the heartbeat poll, the factory
// defaults, the synchronisation from the device's state and the handler of arrival and removal.
// Every path that talks to the device holds the heartbeat off meanwhile and restarts it at 60 ms.
#include "BackgroundComponent.h"

#include "BinaryData.h"

#include <algorithm>

namespace
{
void log (const juce::String& line)
{
    juce::Logger::outputDebugString (line);
}

constexpr int heartbeatInterval = 60;

// Alpha 1, not 0: drawn, though too faint to see.
const juce::Colour faintOverlay (0x01C83636);

juce::Image image (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

// One state of the effect switches: the knob lies at the right end while the effect is on.
constexpr int knobXWhenOn = 455;
constexpr int knobXWhenOff = 405;
} // namespace

void BackgroundComponent::ButtonListenrProxy::buttonClicked (juce::Button* button)
{
    if (button == &owner->noiseSwitch)
        owner->toggleNoiseReduction();
    else if (button == &owner->reverbSwitch)
        owner->toggleReverb();
    else if (button == &owner->muteButton)
        owner->toggleMute();
    else if (button == &owner->infoButton)
        owner->toggleInfoPanel();
    else if (button == &owner->clickCatcher)
        owner->hideInfoPanel();
}

void BackgroundComponent::LabelListenrProxy::mouseDown (const juce::MouseEvent& event)
{
    if (event.eventComponent == &owner->noiseOffText || event.eventComponent == &owner->noiseOnText)
        owner->toggleNoiseReduction();
    else if (event.eventComponent == &owner->reverbOffText || event.eventComponent == &owner->reverbOnText)
        owner->toggleReverb();
}

void BackgroundComponent::HeartbeatTimer::timerCallback()
{
    owner->pollDevice();
    log ("HeartbeatTimer is running...");
}

void BackgroundComponent::pollDevice()
{
    heartbeat = hid->sendHeartbeat();
    inputLevel = hid->readInputLevel();
}

void BackgroundComponent::toggleMute()
{
    heartbeatTimer->stopTimer();

    const auto mutedImage = image (BinaryData::pressedNoisebtn_png, BinaryData::pressedNoisebtn_pngSize);
    const auto unmutedImage = image (BinaryData::notSelectedNoisebtn_png, BinaryData::notSelectedNoisebtn_pngSize);
    const auto unmutedHoverImage = image (BinaryData::chooseNoisebtn_png, BinaryData::chooseNoisebtn_pngSize);

    zarvo::ReportBuffer frame;
    if (!muted)
    {
        muted = true;
        zarvo::buildSetFrame (frame, zarvo::group::microphone, zarvo::param::mute, 1);
        hid->sendMuteOnMessage (frame.data());
        muteButton.setImages (false, true, true, mutedImage, 1.0f, faintOverlay, mutedImage, 1.0f, faintOverlay,
                              mutedImage, 1.0f, faintOverlay, 0.0f);
    }
    else
    {
        muted = false;
        muteButton.setImages (false, true, true, unmutedImage, 1.0f, faintOverlay, unmutedHoverImage, 1.0f,
                              faintOverlay, unmutedImage, 1.0f, faintOverlay, 0.0f);
        zarvo::buildSetFrame (frame, zarvo::group::microphone, zarvo::param::mute, 0);
        hid->sendMuteOffMessage (frame.data());
    }

    heartbeatTimer->startTimer (heartbeatInterval);
}

void BackgroundComponent::toggleNoiseReduction()
{
    heartbeatTimer->stopTimer();

    // The command is the opposite of the state shown.
    zarvo::ReportBuffer frame;
    zarvo::buildSetFrame (frame, zarvo::group::noiseReduction, zarvo::param::noiseOn, noiseOff ? 1 : 0);
    hid->sendNoiseMessage (frame.data(), noiseOff);
    noiseKnob.setBounds (noiseOff ? knobXWhenOn : knobXWhenOff, 252, 50, 26);
    noiseOff = !noiseOff;

    heartbeatTimer->startTimer (heartbeatInterval);
}

void BackgroundComponent::toggleReverb()
{
    heartbeatTimer->stopTimer();

    zarvo::ReportBuffer frame;
    zarvo::buildSetFrame (frame, zarvo::group::reverb, zarvo::param::reverbOn, reverbOff ? 1 : 0);
    hid->sendReverbMessage (frame.data(), reverbOff);
    reverbKnob.setBounds (reverbOff ? knobXWhenOn : knobXWhenOff, 369, 50, 26);
    reverbOff = !reverbOff;

    heartbeatTimer->startTimer (heartbeatInterval);
}

void BackgroundComponent::toggleInfoPanel()
{
    if (!infoPanelShown)
    {
        // The catcher first, so that the information panel lies above it.
        addAndMakeVisible (clickCatcher);
        addAndMakeVisible (infoPanel);
        infoPanelShown = true;
    }
    else
    {
        infoPanelShown = false;
        infoPanel.setVisible (false);
        clickCatcher.setVisible (false);
    }
}

void BackgroundComponent::hideInfoPanel()
{
    if (!infoPanelShown)
        return;
    infoPanelShown = false;
    infoPanel.setVisible (false);
    clickCatcher.setVisible (false);
}

void BackgroundComponent::restoreFactoryDefaults()
{
    heartbeatTimer->stopTimer();

    // The level is -2000, not the -1980 of slider value 78: the device reads it back as 78 all the same.
    zarvo::ReportBuffer mute, gain, noiseSwitchFrame, noiseLevel, reverbSwitchFrame, reverbDepth, reverbTime;
    zarvo::buildSetFrame (mute, zarvo::group::microphone, zarvo::param::mute, 0);
    zarvo::buildSetFrame (gain, zarvo::group::microphone, zarvo::param::gain, 2662);
    zarvo::buildSetFrame (noiseSwitchFrame, zarvo::group::noiseReduction, zarvo::param::noiseOn, 0);
    zarvo::buildSetFrame (noiseLevel, zarvo::group::noiseReduction, zarvo::param::noiseLevel, -2000);
    zarvo::buildSetFrame (reverbSwitchFrame, zarvo::group::reverb, zarvo::param::reverbOn, 0);
    zarvo::buildSetFrame (reverbDepth, zarvo::group::reverb, zarvo::param::reverbDepth, 60);
    zarvo::buildSetFrame (reverbTime, zarvo::group::reverb, zarvo::param::reverbTime, 70);
    hid->sendFactoryDefaults (mute.data(), gain.data(), noiseSwitchFrame.data(), noiseLevel.data(),
                              reverbSwitchFrame.data(), reverbDepth.data(), reverbTime.data());

    heartbeatTimer->startTimer (heartbeatInterval);
}

void BackgroundComponent::syncFromDevice()
{
    heartbeatTimer->stopTimer();

    zarvo::ReportBuffer infoQuery, micQuery, noiseQuery, reverbQuery;
    zarvo::buildDeviceInfoQuery (infoQuery);
    zarvo::buildQueryFrame (micQuery, zarvo::group::microphone);
    zarvo::buildQueryFrame (noiseQuery, zarvo::group::noiseReduction);
    zarvo::buildQueryFrame (reverbQuery, zarvo::group::reverb);
    deviceStatus.reset (hid->readStatus (infoQuery.data(), micQuery.data(), noiseQuery.data(), reverbQuery.data()));

    // What the sliders queued before this read-back is stale now: sent after it, it would leave the
    // microphone on one value while the window shows another.
    dropQueuedSliderValues();

    juce::String line;
    for (int i = 0; i < 8; ++i)
        line << juce::String (deviceStatus[i]).substring (0, 8) << " ";
    log (line);

    // The listener sets the labels later; nothing is sent for the sliders.
    gainSlider.setValue (deviceStatus[2], juce::sendNotificationAsync);
    noiseSlider.setValue (deviceStatus[3], juce::sendNotificationAsync);
    reverbDepthSlider.setValue (deviceStatus[4], juce::sendNotificationAsync);
    reverbTimeSlider.setValue (deviceStatus[7], juce::sendNotificationAsync);
    // The stored values follow at once, not with the notifications: a tick of a held drag that
    // comes before them would push the values from before the read-back.
    storeSliderDeviceValues();

    // Each flag is set to the opposite of the device's state and then toggled, so that the switch
    // shows the device's state and sends it once more. Any other value leaves the switch alone.
    if (deviceStatus[1] == 1 || deviceStatus[1] == 0)
    {
        muted = deviceStatus[1] == 0;
        toggleMute();
    }
    if (deviceStatus[5] == 1 || deviceStatus[5] == 0)
    {
        noiseOff = deviceStatus[5] == 1;
        toggleNoiseReduction();
    }
    if (deviceStatus[6] == 1 || deviceStatus[6] == 0)
    {
        reverbOff = deviceStatus[6] == 1;
        toggleReverb();
    }

    heartbeatTimer->startTimer (heartbeatInterval);
}

void BackgroundComponent::onDeviceChanged()
{
    log (juce::String (hid->lastDeviceChange) + "===========");
    if (hid->lastDeviceChange != 0)
        return;

    hid->openDevice();
    syncFromDevice();
    hid->sendStartupCommand();

    readDeviceInfoIntoPanel();

    zarvoTimer->startTimer (10);
}

void BackgroundComponent::readDeviceInfoIntoPanel()
{
    // The bytes carry no terminator of their own: they run to the first zero byte, at most 12.
    std::fill (deviceInfo, deviceInfo + zarvo::DeviceInfo::size, 0);
    const auto info = hid->readDeviceInfo();
    for (int i = 0; i < zarvo::DeviceInfo::size && info.bytes[(size_t)i] != 0; ++i)
        deviceInfo[i] = info.bytes[(size_t)i];
    infoPanel.setDeviceInfo (deviceInfo);
}
