// The control panel: every control of the window's body, the one opened ZarvoHid, and the timers
// and listener proxies that pace commands, poll the microphone and drive the level meter. Its
// members are open to its nested timers and proxies, which read and write them directly.
#pragma once

#include "MaskComponent.h"
#include "MessageViewport.h"
#include "MyImageButton.h"
#include "ZarvoHid.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <deque>
#include <memory>
#include <vector>

class BackgroundComponent : public juce::Component, public juce::Slider::Listener
{
public:
    BackgroundComponent();
    ~BackgroundComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    // The focus has come to one of the panel's components from outside the panel: the no-device
    // mask, while it shows, takes it back.
    void focusOfChildComponentChanged (FocusChangeType cause) override;

    void sliderValueChanged (juce::Slider* slider) override;
    void sliderDragStarted (juce::Slider* slider) override;
    void sliderDragEnded (juce::Slider* slider) override;

    // Pushes the stored slider values onto their queues every 60 ms while a slider is dragged.
    class BackgroundTimer : public juce::Timer
    {
    public:
        explicit BackgroundTimer (BackgroundComponent* panel) : owner (panel) {}
        ~BackgroundTimer() override = default;
        void timerCallback() override;

        BackgroundComponent* owner;
    };

    // Takes at most one value from each queue every 10 ms and sends it.
    class ZarvoTimer : public juce::Timer
    {
    public:
        explicit ZarvoTimer (BackgroundComponent* panel) : owner (panel) {}
        ~ZarvoTimer() override = default;
        void timerCallback() override;

        BackgroundComponent* owner;
    };

    // Polls the heartbeat and the input level.
    class HeartbeatTimer : public juce::Timer
    {
    public:
        explicit HeartbeatTimer (BackgroundComponent* panel) : owner (panel) {}
        void timerCallback() override;

        BackgroundComponent* owner;
    };

    // The listener of the two switches, the mute button, the info button and the click catcher.
    class ButtonListenrProxy : public juce::Button::Listener
    {
    public:
        explicit ButtonListenrProxy (BackgroundComponent* panel) : owner (panel) {}
        void buttonClicked (juce::Button* button) override;

        BackgroundComponent* owner;
    };

    // Toggles an effect on a press on one of the fixed ON and OFF texts over its switch.
    class LabelListenrProxy : public juce::MouseListener
    {
    public:
        explicit LabelListenrProxy (BackgroundComponent* panel) : owner (panel) {}
        void mouseDown (const juce::MouseEvent& event) override;

        BackgroundComponent* owner;
    };

    // Steps a focused slider from the keyboard as a click does: the slider's own key handling runs
    // inside a drag notification, so that the value before the step and the value after it are
    // queued for the microphone, as a click's are.
    class SliderKeyListenerProxy : public juce::KeyListener
    {
    public:
        explicit SliderKeyListenerProxy (BackgroundComponent* panel) : owner (panel) {}
        bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;

        BackgroundComponent* owner;
    };

    // The level meter's producer: turns the input level, scaled by the gain, into the list of
    // segments to light, for its MyTimer to draw.
    class DectorTimer : public juce::Timer
    {
    public:
        DectorTimer (BackgroundComponent* panel, std::deque<int>* segmentQueue);
        ~DectorTimer() override;
        void timerCallback() override;

        // The message-manager lock, taken on the message thread, where it is granted at once.
        class MyLock : public juce::MessageManagerLock
        {
        public:
            explicit MyLock (DectorTimer* lockingTimer)
                : juce::MessageManagerLock (static_cast<juce::Thread*> (nullptr)), timer (lockingTimer)
            {
            }

            DectorTimer* timer;
        };

        // The meter's consumer: lights the listed segments and darkens the rest.
        class MyTimer : public juce::Timer
        {
        public:
            explicit MyTimer (DectorTimer* producer) : owner (producer) {}
            void timerCallback() override;

            class MyLock : public juce::MessageManagerLock
            {
            public:
                explicit MyLock (MyTimer* lockingTimer)
                    : juce::MessageManagerLock (static_cast<juce::Thread*> (nullptr)), timer (lockingTimer)
                {
                }

                MyTimer* timer;
            };

            DectorTimer* owner;
        };

        std::unique_ptr<MyTimer> maskTimer;
        std::deque<int>* singleUpDeque;
        BackgroundComponent* owner;
    };

    void toggleMute();
    void toggleNoiseReduction();
    void toggleReverb();
    void toggleInfoPanel();
    void hideInfoPanel();
    void pollDevice();
    void restoreFactoryDefaults();
    void syncFromDevice();
    void onDeviceChanged();

    void sendGain (int value);
    void sendNoiseLevel (int value);
    void sendReverbDepth (int value);
    void sendReverbTime (int value);

    int getGainValue() const { return gainValue; }
    int getNoiseValue() const { return noiseValue; }
    int getReverbDepthValue() const { return reverbDepthValue; }
    unsigned int getInputLevel() const { return inputLevel; }
    int getReverbTimeValue() const { return reverbTimeValue; }

    // The process's one panel font, made from the embedded typeface; users copy it and give the
    // copy their own height.
    static const juce::Font& getPanelTypeface();

    zarvo::ZarvoHid* hid = nullptr;
    juce::ImageButton infoButton{ juce::String() };
    MyImageButton instagramButton, twitterButton, facebookButton;
    MyImageButton bilibiliButton, douyinButton, xiaohongshuButton;
    juce::Slider gainSlider, noiseSlider, reverbDepthSlider, reverbTimeSlider;
    juce::Label muteTitleLabel, gainTitleLabel, noiseTitleLabel, reverbTitleLabel;
    juce::Label reverbDepthTitleLabel, reverbTimeTitleLabel;
    juce::Label gainValueLabel{ juce::String(), "0" }, noiseValueLabel{ juce::String(), "0" },
        reverbDepthValueLabel{ juce::String(), "0" }, reverbTimeValueLabel{ juce::String(), "0" };
    juce::Label gainMinLabel{ juce::String(), "0" }, gainMaxLabel{ juce::String(), "100" },
        noiseMinLabel{ juce::String(), "0" }, noiseMaxLabel{ juce::String(), "100" },
        reverbDepthMinLabel{ juce::String(), "0" }, reverbDepthMaxLabel{ juce::String(), "100" },
        reverbTimeMinLabel{ juce::String(), "0" }, reverbTimeMaxLabel{ juce::String(), "100" };
    juce::ImageButton gainIcon{ juce::String() }, noiseIcon1{ juce::String() }, noiseIcon2{ juce::String() },
        noiseIcon3{ juce::String() }, reverbDepthIcon{ juce::String() }, reverbDepthIconFrame{ juce::String() },
        reverbTimeIcon1{ juce::String() }, reverbTimeIcon2{ juce::String() }, reverbTimeIcon3{ juce::String() },
        reverbTimeIconFrame{ juce::String() };
    juce::ImageButton noiseSwitch{ juce::String() }, reverbSwitch{ juce::String() };
    juce::ImageButton noiseKnob{ juce::String() }, reverbKnob{ juce::String() };
    juce::ImageButton muteButton{ juce::String() };
    // The meter: segment i is lit while its cover m_mask[i], which lies above it, is hidden.
    std::vector<std::unique_ptr<juce::ImageButton>> meterSegments;
    std::vector<std::unique_ptr<juce::ImageButton>> m_mask;
    juce::Label noiseOnLabel, reverbOnLabel, noiseOffLabel, reverbOffLabel;
    juce::Label noiseSwitchCaption, reverbSwitchCaption;
    juce::Label noiseOnText, reverbOnText, noiseOffText, reverbOffText;
    juce::Label statusLabel;
    MaskComponent noDeviceMask;
    MessageViewport infoPanel;
    juce::ImageButton clickCatcher{ juce::String() };

    // Device units of the four sliders, and the last input level read.
    int gainValue = 0;
    int noiseValue = 0;
    int reverbDepthValue = 0;
    unsigned int inputLevel = 0;
    int reverbTimeValue = 0;

    std::deque<int>* gainDeque;
    std::deque<int>* noiseDeque;
    std::deque<int>* reverbDepthDeque;
    std::deque<int>* reverbTimeDeque;

    // The last status read; replaced by each synchronisation.
    std::unique_ptr<int[]> deviceStatus;
    // The device-information bytes (12 used) handed to the information panel.
    unsigned char deviceInfo[16] = {};

    std::unique_ptr<ZarvoTimer> zarvoTimer;
    std::unique_ptr<ButtonListenrProxy> buttonProxy;
    std::unique_ptr<BackgroundTimer> myTimer;
    std::unique_ptr<HeartbeatTimer> heartbeatTimer;
    std::unique_ptr<LabelListenrProxy> labelProxy;
    std::unique_ptr<DectorTimer> dectorTimer;
    std::unique_ptr<SliderKeyListenerProxy> sliderKeyProxy;

    bool noiseOff = false;
    bool reverbOff = false;
    bool muted = false;
    // Whether the depth and time values may be drained to the device: set during a drag.
    bool depthSendEnabled = false;
    bool timeSendEnabled = false;
    bool gainDragging = false;
    bool noiseDragging = false;
    bool reverbDepthDragging = false;
    bool reverbTimeDragging = false;
    bool muteImagesSet = false;
    bool infoPanelShown = false;
    int runLogValue = 0;
    // The last heartbeat result; -1: no device answers.
    int heartbeat = 0;
    float gainFraction = 0.0f;

    // Set by the end of a depth or time drag: that queue goes on draining until it is empty, so that
    // the value the drag ended on reaches the microphone.
    bool depthDrainPending = false;
    bool timeDrainPending = false;
    // The handler of device arrival and removal; taken out of hid's signal when the panel goes.
    std::shared_ptr<zarvo::Slot<>> deviceChangedSlot;

private:
    // Reads the device information into deviceInfo and hands it to the information panel.
    void readDeviceInfoIntoPanel();
    // Empties the four slider queues and ends the draining of a finished depth or time drag.
    void dropQueuedSliderValues();
    // Sets the stored device values (and the gain fraction) from the sliders' positions.
    void storeSliderDeviceValues();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BackgroundComponent)
};
