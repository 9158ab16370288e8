// The information panel: shows the microphone's model and firmware version and holds the language
// selector and the factory-reset control. It never talks to the device; the control panel hands it
// the device-information bytes and polls its language and reset request at each of its paints.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class MessageViewport : public juce::Viewport
{
public:
    MessageViewport();
    ~MessageViewport() override;

    // Copies the model (bytes 0-3) and the firmware version (bytes 5-10) out of the 12
    // device-information bytes and shows them; `info` need only stay valid during the call.
    void setDeviceInfo (const unsigned char* info);

    // 1 Simplified Chinese, 2 English: the selected id of the language box.
    int getLanguageId() const;

    void requestReset();
    void clearResetRequest();
    int getResetRequested() const;

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    // Raises the reset request when the factory-reset button is clicked.
    class ButtonListenrProxy : public juce::Button::Listener
    {
    public:
        explicit ButtonListenrProxy (MessageViewport* ownerPanel) : owner (ownerPanel) {}
        void buttonClicked (juce::Button* button) override;

    private:
        MessageViewport* owner;
    };

    // Follows the pointer over the factory-reset text, and raises the reset request on a press there.
    class LabelListenrProxy : public juce::MouseListener
    {
    public:
        explicit LabelListenrProxy (MessageViewport* ownerPanel) : owner (ownerPanel) {}
        void mouseEnter (const juce::MouseEvent& event) override;
        void mouseExit (const juce::MouseEvent& event) override;
        void mouseDown (const juce::MouseEvent& event) override;

    private:
        MessageViewport* owner;
    };

    void showDeviceInfoTexts();
    void placeValueLabels (int languageId);
    void setCaptions (int languageId);

    int resetRequested = 0;
    juce::String deviceName;
    juce::String firmwareVersion;
    juce::ImageButton logoButton;
    juce::ImageButton factoryResetButton;
    juce::Label modelCaption;
    juce::Label modelLabel;
    juce::Label firmwareCaption;
    juce::Label firmwareLabel;
    juce::Label languageCaption;
    juce::Label factoryResetLabel;
    juce::ComboBox languageBox;
    std::unique_ptr<ButtonListenrProxy> buttonProxy;
    std::unique_ptr<LabelListenrProxy> labelProxy;
    bool resetHovered = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MessageViewport)
};
