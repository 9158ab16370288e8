// The control panel's construction, layout and destruction.
#include "BackgroundComponent.h"

#include "GlobalSingleton.h"

#include <algorithm>
#include <functional>

namespace
{
void log (const juce::String& line)
{
    juce::Logger::outputDebugString (line);
}

constexpr int meterSegmentCount = 24;
} // namespace

BackgroundComponent::BackgroundComponent()
    : gainDeque (&GlobalSingleton::getInstance()->singleQueue),
      noiseDeque (&GlobalSingleton::getInstance()->noiseDequeValue),
      reverbDepthDeque (&GlobalSingleton::getInstance()->reverbDequeValue),
      reverbTimeDeque (&GlobalSingleton::getInstance()->reverbTimeQueue)
{
    log ("BackgroundComponent is running...");

    // The device object lives until the process ends: the device-change notification keeps it.
    hid = new zarvo::ZarvoHid();
    hid->openDevice();

    readDeviceInfoIntoPanel();

    log ("BackgroundComponent::BackgroundComponent(). The constructor run");

    // The first layout creates the meter bars, which so become the panel's first children.
    setSize (620, 675);

    for (auto* child : std::initializer_list<juce::Component*>{
             &infoButton,
             &instagramButton,
             &twitterButton,
             &facebookButton,
             &bilibiliButton,
             &douyinButton,
             &xiaohongshuButton,
             &gainSlider,
             &noiseSlider,
             &reverbDepthSlider,
             &reverbTimeSlider,
             &muteTitleLabel,
             &gainTitleLabel,
             &noiseTitleLabel,
             &reverbTitleLabel,
             &reverbDepthTitleLabel,
             &reverbTimeTitleLabel,
             &gainMinLabel,
             &gainMaxLabel,
             &noiseMinLabel,
             &noiseMaxLabel,
             &reverbDepthMinLabel,
             &reverbDepthMaxLabel,
             &reverbTimeMaxLabel,
             &reverbTimeMinLabel,
             &gainIcon,
             &noiseIcon1,
             &noiseIcon2,
             &noiseIcon3,
             &reverbDepthIcon,
             &reverbDepthIconFrame,
             &reverbTimeIcon1,
             &reverbTimeIcon2,
             &reverbTimeIcon3,
             &reverbTimeIconFrame,
             &muteButton,
             &gainValueLabel,
             &noiseValueLabel,
             &reverbDepthValueLabel,
             &reverbTimeValueLabel,
         })
        addAndMakeVisible (child);

    // The panel has neither a parent nor a look-and-feel of its own yet, so these land on the
    // default look-and-feel: every slider of the application without colours of its own takes them.
    getLookAndFeel().setColour (juce::Slider::trackColourId, juce::Colour (0xFFFFAB21));
    getLookAndFeel().setColour (juce::Slider::thumbColourId, juce::Colour (0xFFFFFFFF));

    // The fixed ON and OFF texts come after the knobs, so they lie above them.
    for (auto* child : std::initializer_list<juce::Component*>{
             &noiseSwitch,
             &reverbSwitch,
             &noiseOnLabel,
             &noiseOffLabel,
             &reverbOnLabel,
             &reverbOffLabel,
             &noiseKnob,
             &reverbKnob,
             &noiseOffText,
             &noiseOnText,
             &reverbOffText,
             &reverbOnText,
             &statusLabel,
             &noiseSwitchCaption,
             &reverbSwitchCaption,
         })
        addAndMakeVisible (child);

    for (auto* slider : { &gainSlider, &noiseSlider, &reverbDepthSlider, &reverbTimeSlider })
    {
        slider->setRange (0, 100, 1);
        slider->setTextBoxStyle (juce::Slider::NoTextBox, true, 50, 30);
        slider->setWantsKeyboardFocus (true);
        if (slider == &gainSlider)
            slider->setValue (65, juce::sendNotificationAsync);
        if (slider == &noiseSlider)
            slider->setValue (78, juce::sendNotificationAsync);
    }
    for (auto* slider : { &gainSlider, &noiseSlider, &reverbDepthSlider, &reverbTimeSlider })
        slider->addListener (this);

    // The sliders take the keyboard focus; a key listener sees an arrow before the slider does.
    sliderKeyProxy = std::make_unique<SliderKeyListenerProxy> (this);
    for (auto* slider : { &gainSlider, &noiseSlider, &reverbDepthSlider, &reverbTimeSlider })
        slider->addKeyListener (sliderKeyProxy.get());

    buttonProxy = std::make_unique<ButtonListenrProxy> (this);
    noiseSwitch.addListener (buttonProxy.get());
    noiseSwitch.setWantsKeyboardFocus (false);
    reverbSwitch.addListener (buttonProxy.get());
    reverbSwitch.setWantsKeyboardFocus (false);
    muteButton.addListener (buttonProxy.get());
    infoButton.addListener (buttonProxy.get());
    clickCatcher.addListener (buttonProxy.get());

    myTimer = std::make_unique<BackgroundTimer> (this);
    heartbeatTimer = std::make_unique<HeartbeatTimer> (this);
    zarvoTimer = std::make_unique<ZarvoTimer> (this);
    labelProxy = std::make_unique<LabelListenrProxy> (this);
    dectorTimer = std::make_unique<DectorTimer> (this, &GlobalSingleton::getInstance()->singleUpDeque);

    for (auto* text : { &noiseOffText, &noiseOnText, &reverbOnText, &reverbOffText })
        text->addMouseListener (labelProxy.get(), true);

    syncFromDevice();

    // Back to back until the first command slows it to 60 ms.
    heartbeatTimer->startTimer (1);
    dectorTimer->startTimer (10);
    zarvoTimer->startTimer (10);

    hid->sendStartupCommand();

    deviceChangedSlot = std::make_shared<zarvo::Slot<>> (std::bind (&BackgroundComponent::onDeviceChanged, this));
    hid->deviceChangedSignal.push_back (deviceChangedSlot);

    log ("BackgroundComponent::BackgroundComponent(). The constructor end");
}

BackgroundComponent::~BackgroundComponent()
{
    heartbeatTimer->stopTimer();
    log ("BackgroundComponent::~BackgroundComponent(). The destructor run");

    // The device object outlives the panel; a device change must not reach a destroyed one.
    auto& slots = hid->deviceChangedSignal;
    slots.erase (std::remove (slots.begin(), slots.end(), deviceChangedSlot), slots.end());

    log ("BackgroundComponent::~BackgroundComponent(). The destructor end");
}

void BackgroundComponent::resized()
{
    log ("void BackgroundComponent::resized() run");

    infoButton.setBounds (568, 5, 26, 26);
    gainSlider.setBounds (105, 188, 400, 20);
    noiseSlider.setBounds (105, 298, 400, 20);
    reverbDepthSlider.setBounds (105, 423, 400, 20);
    reverbTimeSlider.setBounds (105, 492, 400, 20);
    muteTitleLabel.setBounds (35, 38, 200, 22);
    gainTitleLabel.setBounds (35, 136, 200, 22);
    noiseTitleLabel.setBounds (35, 247, 200, 22);
    reverbTitleLabel.setBounds (35, 366, 200, 22);
    reverbDepthTitleLabel.setBounds (39, 448, 50, 15);
    reverbTimeTitleLabel.setBounds (39, 516, 50, 15);
    gainIcon.setBounds (49, 182, 24, 32);
    noiseIcon1.setBounds (40, 296, 20, 18);
    noiseIcon2.setBounds (56, 298, 14, 15);
    noiseIcon3.setBounds (69, 307, 18, 2);
    reverbDepthIcon.setBounds (51, 424, 26, 19);
    reverbDepthIconFrame.setBounds (47, 422, 34, 24);
    reverbTimeIcon1.setBounds (60, 499, 8, 8);
    reverbTimeIcon2.setBounds (45, 495, 20, 15);
    reverbTimeIcon3.setBounds (63, 495, 20, 15);
    reverbTimeIconFrame.setBounds (47, 491, 34, 24);
    noiseSwitch.setBounds (405, 252, 100, 26);
    reverbSwitch.setBounds (405, 369, 100, 26);
    noiseOffText.setBounds (421, 251, 40, 30);
    noiseOnText.setBounds (468, 251, 40, 30);
    reverbOffText.setBounds (421, 368, 40, 30);
    reverbOnText.setBounds (468, 368, 40, 30);
    gainMinLabel.setBounds (105, 209, 17, 24);
    gainMaxLabel.setBounds (483, 209, 30, 24);
    noiseMinLabel.setBounds (105, 320, 17, 24);
    noiseMaxLabel.setBounds (483, 320, 30, 24);
    reverbDepthMinLabel.setBounds (105, 445, 17, 24);
    reverbDepthMaxLabel.setBounds (483, 445, 30, 24);
    reverbTimeMinLabel.setBounds (105, 513, 17, 24);
    reverbTimeMaxLabel.setBounds (483, 513, 30, 24);
    muteButton.setBounds (43, 78, 40, 40);

    if (meterSegments.empty() && m_mask.empty())
    {
        for (auto* row : { &meterSegments, &m_mask })
            for (int i = 0; i < meterSegmentCount; ++i)
            {
                row->push_back (std::make_unique<juce::ImageButton> (juce::String()));
                addAndMakeVisible (row->back().get());
            }
    }
    for (int i = 0; i < meterSegmentCount; ++i)
    {
        meterSegments.at ((size_t)i)->setBounds (108 + 19 * i, 90, 6, 28);
        m_mask.at ((size_t)i)->setBounds (108 + 19 * i, 90, 6, 28);
    }

    gainValueLabel.setBounds (535, 184, 30, 24);
    noiseValueLabel.setBounds (535, 294, 50, 24);
    reverbDepthValueLabel.setBounds (535, 421, 50, 24);
    reverbTimeValueLabel.setBounds (535, 489, 50, 24);
    noiseSwitchCaption.setBounds (364, 254, 40, 30);
    reverbSwitchCaption.setBounds (364, 370, 40, 30);
    infoPanel.setBounds (360, 13, 220, 360);
    clickCatcher.setBounds (0, 0, 1000, 1000);
    noDeviceMask.setBounds (0, 0, 1000, 1000);
    statusLabel.setBounds (400, 638, 250, 50);

    log ("void BackgroundComponent::resized() end");
}

void BackgroundComponent::focusOfChildComponentChanged (FocusChangeType)
{
    // Within the panel the focus cannot move while the mask holds it and uses up every key; it can
    // only come from outside, and this is where it is seen before the next key arrives.
    noDeviceMask.focusCameBeneath();
}
