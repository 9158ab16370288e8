#include "MessageViewport.h"

#include "BinaryData.h"

namespace
{
constexpr int chineseId = 1;
constexpr int englishId = 2;

const juce::Colour panelBackground (0xFF1E1E1E);
// Alpha 1, not 0: the overlay is drawn, though too faint to see.
const juce::Colour faintOverlay (0x01C83636);
const juce::Colour noOverlay (0x00C83636);

constexpr float hoverOpacity = 0.8f;

// The labels name no typeface: they draw in the application's default sans-serif one.
juce::Font labelFont()
{
    return juce::Font (16.0f, juce::Font::plain);
}

// One character per byte, read as ISO 8859-1, up to a zero byte.
juce::String textFromBytes (const unsigned char* bytes, int count)
{
    juce::String text;
    for (int i = 0; i < count && bytes[i] != 0; ++i)
        text += juce::String::charToString (static_cast<juce::juce_wchar> (bytes[i]));
    return text;
}

juce::Image logoImage()
{
    return juce::ImageCache::getFromMemory (BinaryData::logo_png, BinaryData::logo_pngSize);
}

juce::Image factoryResetImage()
{
    return juce::ImageCache::getFromMemory (BinaryData::reset_png, BinaryData::reset_pngSize);
}

void setResetImages (juce::ImageButton& button, float normalOpacity, float overOpacity, float downOpacity)
{
    const auto image = factoryResetImage();
    button.setImages (false, true, true, image, normalOpacity, noOverlay, image, overOpacity, noOverlay, image,
                      downOpacity, noOverlay, 0.0f);
}
} // namespace

MessageViewport::MessageViewport()
{
    setSize (223, 360);

    addAndMakeVisible (logoButton);
    addAndMakeVisible (factoryResetButton);
    addAndMakeVisible (modelCaption);
    addAndMakeVisible (modelLabel);
    addAndMakeVisible (firmwareCaption);
    addAndMakeVisible (firmwareLabel);
    addAndMakeVisible (languageCaption);
    addAndMakeVisible (languageBox);
    addAndMakeVisible (factoryResetLabel);

    // The panel has neither a parent nor a look-and-feel of its own yet, so these land on the
    // default look-and-feel and dress every combo box and popup menu of the application.
    auto& lookAndFeel = getLookAndFeel();
    lookAndFeel.setColour (juce::ComboBox::arrowColourId, juce::Colour (0xFF9E9E9E));
    lookAndFeel.setColour (juce::ComboBox::backgroundColourId, juce::Colour (0xFF1E1E1E));
    lookAndFeel.setColour (juce::ComboBox::buttonColourId, juce::Colour (0xFF000000));
    lookAndFeel.setColour (juce::ComboBox::focusedOutlineColourId, juce::Colour (0xFF000000));
    lookAndFeel.setColour (juce::ComboBox::textColourId, juce::Colour (0xFFFFFFFF));
    lookAndFeel.setColour (juce::PopupMenu::highlightedBackgroundColourId, juce::Colour (0xFF0078D7));
    lookAndFeel.setColour (juce::PopupMenu::backgroundColourId, juce::Colour (0xFF1E1E1E));

    languageBox.addItem (juce::String::fromUTF8 ("简体中文"), chineseId);
    languageBox.addItem ("English", englishId);
    languageBox.setSelectedId (chineseId);

    buttonProxy = std::make_unique<ButtonListenrProxy> (this);
    labelProxy = std::make_unique<LabelListenrProxy> (this);
    factoryResetButton.addListener (buttonProxy.get());
    factoryResetLabel.addMouseListener (labelProxy.get(), true);
}

MessageViewport::~MessageViewport()
{
    factoryResetLabel.removeMouseListener (labelProxy.get());
    labelProxy.reset();
    factoryResetButton.removeListener (buttonProxy.get());
    buttonProxy.reset();
}

void MessageViewport::setDeviceInfo (const unsigned char* info)
{
    deviceName = textFromBytes (info, 4);
    firmwareVersion = textFromBytes (info + 5, 6);

    juce::Logger::outputDebugString ("=============================");
    juce::Logger::outputDebugString ("deviceNameStr: " + deviceName);
    juce::Logger::outputDebugString ("deviceVersionStr: " + firmwareVersion);
    juce::Logger::outputDebugString ("=============================");

    showDeviceInfoTexts();
    placeValueLabels (getLanguageId());
}

int MessageViewport::getLanguageId() const
{
    return languageBox.getSelectedId();
}

void MessageViewport::requestReset()
{
    resetRequested = 1;
}

void MessageViewport::clearResetRequest()
{
    resetRequested = 0;
}

int MessageViewport::getResetRequested() const
{
    return resetRequested;
}

void MessageViewport::paint (juce::Graphics& g)
{
    juce::Thread::sleep (1);

    const auto languageId = getLanguageId();
    setCaptions (languageId);

    g.fillAll (panelBackground);

    const auto logo = logoImage();
    logoButton.setImages (false, true, true, logo, 1.0f, faintOverlay, logo, 1.0f, faintOverlay, logo, 1.0f,
                          faintOverlay, 0.0f);

    // While the pointer rests on the reset text the dimmed images it put there stay.
    if (!resetHovered)
        setResetImages (factoryResetButton, 1.0f, hoverOpacity, 1.0f);

    // An image button draws no text; this only names the button.
    factoryResetButton.setButtonText ("Factory Reset");

    showDeviceInfoTexts();
    placeValueLabels (languageId);
}

void MessageViewport::resized()
{
    // The viewport's own layout is left out: the panel is a plain container whose children are
    // its direct children, so the content holder and the scroll bars never show.
    logoButton.setBounds (25, 30, 168, 56);
    modelCaption.setBounds (25, 100, 200, 24);
    firmwareCaption.setBounds (25, 130, 200, 24);
    languageCaption.setBounds (25, 160, 200, 24);
    languageBox.setBounds (110, 160, 110, 24);
    modelLabel.setBounds (110, 100, 200, 24);
    firmwareLabel.setBounds (110, 130, 200, 24);
    factoryResetButton.setBounds (25, 200, 200, 28);
    factoryResetLabel.setBounds (71, 200, 100, 28);
}

void MessageViewport::showDeviceInfoTexts()
{
    modelLabel.setText (deviceName, juce::dontSendNotification);
    modelLabel.setFont (labelFont());
    firmwareLabel.setText (firmwareVersion, juce::dontSendNotification);
    firmwareLabel.setFont (labelFont());
}

void MessageViewport::placeValueLabels (int languageId)
{
    if (languageId == chineseId)
    {
        modelLabel.setBounds (110, 100, 200, 24);
        firmwareLabel.setBounds (110, 130, 200, 24);
    }
    else if (languageId == englishId)
    {
        // The English captions are wider.
        modelLabel.setBounds (145, 100, 200, 24);
        firmwareLabel.setBounds (165, 130, 200, 24);
    }
}

void MessageViewport::setCaptions (int languageId)
{
    if (languageId != chineseId && languageId != englishId)
        return;

    struct Caption
    {
        juce::Label& label;
        const char* chinese;
        const char* english;
    };
    const Caption captions[] = {
        { modelCaption, "产品型号:", "Product model:" },
        { firmwareCaption, "固件版本:", "Firmware version:" },
        { languageCaption, "语言切换:", "Language:" },
        { factoryResetLabel, "恢复出厂设置", "Factory Reset" },
    };

    for (const auto& caption : captions)
    {
        const auto* text = languageId == chineseId ? caption.chinese : caption.english;
        caption.label.setText (juce::String::fromUTF8 (text), juce::dontSendNotification);
        caption.label.setFont (labelFont());
    }
}

void MessageViewport::ButtonListenrProxy::buttonClicked (juce::Button* button)
{
    if (button == &owner->factoryResetButton)
        owner->requestReset();
}

void MessageViewport::LabelListenrProxy::mouseEnter (const juce::MouseEvent& event)
{
    if (event.eventComponent != &owner->factoryResetLabel)
        return;

    owner->resetHovered = true;
    // The look of the button's own over state, in every state: the text covers the button's
    // middle, so the button itself never sees the pointer resting there.
    setResetImages (owner->factoryResetButton, hoverOpacity, hoverOpacity, hoverOpacity);
    juce::Logger::outputDebugString ("=============LabelListenrProxy is in================");
}

void MessageViewport::LabelListenrProxy::mouseExit (const juce::MouseEvent& event)
{
    if (event.eventComponent != &owner->factoryResetLabel)
        return;

    // The images are left: the next paint puts the normal set back.
    owner->resetHovered = false;
    juce::Logger::outputDebugString ("=============LabelListenrProxy is out================");
}

void MessageViewport::LabelListenrProxy::mouseDown (const juce::MouseEvent& event)
{
    if (event.eventComponent == &owner->factoryResetLabel)
        owner->requestReset();
}
