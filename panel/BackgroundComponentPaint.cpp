// The control panel's paint. It draws nothing itself: it brings the children up to date with the
// panel's state (a requested factory reset, the language's texts and places, the images, the
// slider colours, the connection status and the no-device mask). Setting the images repaints the
// buttons, so paint comes round again and again while the window shows: that is how the panel
// follows the heartbeat and the language box.
#include "BackgroundComponent.h"

#include "BinaryData.h"
#include "EmbeddedTypeface.h"
#include "MakerPages.h"

#include <initializer_list>

namespace
{
constexpr int chineseId = 1;
constexpr int englishId = 2;

const juce::Colour faintOverlay (0x01C83636); // alpha 1: drawn, though too faint to see
const juce::Colour noOverlay (0x00C83636);
const juce::Colour orangeTrack (0xFFFFAB21);
const juce::Colour greyTrack (0xFF7F7F7F);

juce::String utf8 (const char* text)
{
    return juce::String (juce::CharPointer_UTF8 (text));
}

juce::Image image (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

juce::Font panelFont (float height)
{
    return BackgroundComponent::getPanelTypeface().withHeight (height);
}

// The link buttons and the gear: dimmed under the pointer, no tint.
void setLinkImages (juce::ImageButton& button, const juce::Image& normal, const juce::Image& over,
                    const juce::Image& down)
{
    button.setImages (false, true, true, normal, 1.0f, noOverlay, over, 0.8f, noOverlay, down, 1.0f, noOverlay, 0.0f);
}

// Icons, switches and knobs: the same picture in every state, scaled to the button.
void setPlainImages (juce::ImageButton& button, const juce::Image& picture)
{
    button.setImages (false, true, true, picture, 1.0f, faintOverlay, picture, 1.0f, faintOverlay, picture, 1.0f,
                      faintOverlay, 0.0f);
}

// Meter bars: drawn at their own size, unscaled.
void setBarImages (juce::ImageButton& button, const juce::Image& picture)
{
    button.setImages (false, false, false, picture, 1.0f, faintOverlay, picture, 1.0f, faintOverlay, picture, 1.0f,
                      faintOverlay, 0.0f);
}

void setLabel (juce::Label& label, const juce::String& text, float height)
{
    label.setText (text, juce::dontSendNotification);
    label.setFont (panelFont (height));
}

// Shows the label of the switch's state where its knob lies, beneath the knob, and hides the other.
void showStateLabel (juce::Component& parent, juce::Label& shown, juce::Label& hidden, juce::Rectangle<int> bounds)
{
    hidden.setVisible (false);
    parent.addAndMakeVisible (shown);
    shown.setBounds (bounds);
}

void setEffectSlider (juce::Slider& slider, bool effectOff)
{
    slider.setColour (juce::Slider::trackColourId, effectOff ? greyTrack : orangeTrack);
    slider.setEnabled (!effectOff);
}
} // namespace

const juce::Font& BackgroundComponent::getPanelTypeface()
{
    static const juce::Font font (zarvo::getEmbeddedTypeface());
    return font;
}

void BackgroundComponent::paint (juce::Graphics&)
{
    // 1. A factory reset the information panel asked for, before anything else.
    if (infoPanel.getResetRequested() == 1)
    {
        restoreFactoryDefaults();
        infoPanel.clearResetRequest();
        syncFromDevice();
    }

    // 2.
    const auto startTime = juce::Time::getMillisecondCounter();
    const int languageId = infoPanel.getLanguageId();
    const bool chinese = languageId == chineseId;
    const bool english = languageId == englishId;

    // 3. Texts.
    if (chinese || english)
    {
        struct Text
        {
            juce::Label& label;
            const char* chineseText;
            float chineseHeight;
            const char* englishText;
            float englishHeight;
        };
        const Text texts[] = {
            { muteTitleLabel, "麦克风静音", 32, "Mute", 32 },
            { gainTitleLabel, "麦克风增益", 32, "Gain", 32 },
            { noiseTitleLabel, "麦克风降噪", 32, "Noise Reduction", 32 },
            { reverbTitleLabel, "麦克风混响", 32, "Reverberation", 32 },
            { reverbDepthTitleLabel, "混响深度", 18, "Rev.Depth", 18 },
            { reverbTimeTitleLabel, "混响时间", 18, "Rev.Time", 18 },
            { noiseSwitchCaption, "降噪", 22, "Noise Reduction", 22 },
            { reverbSwitchCaption, "混响", 22, "Reverberation", 22 },
            { noiseOffText, "关", 22, "OFF", 19 },
            { noiseOnText, "开", 22, "ON", 19 },
            { reverbOffText, "关", 22, "OFF", 19 },
            { reverbOnText, "开", 22, "ON", 19 },
            { noiseOffLabel, "关", 22, "OFF", 19 },
            { noiseOnLabel, "开", 22, "ON", 19 },
            { reverbOffLabel, "关", 22, "OFF", 19 },
            { reverbOnLabel, "开", 22, "ON", 19 },
        };
        for (const auto& text : texts)
            setLabel (text.label, chinese ? utf8 (text.chineseText) : juce::String (text.englishText),
                      chinese ? text.chineseHeight : text.englishHeight);
    }

    // 4. Images, the gear first: whether it decodes decides step 6.
    const auto gear = image (BinaryData::setting_png, BinaryData::setting_pngSize);

    // 5. Link buttons.
    setLinkImages (instagramButton, image (BinaryData::ins01_png, BinaryData::ins01_pngSize),
                   image (BinaryData::ins02_png, BinaryData::ins02_pngSize),
                   image (BinaryData::ins03_png, BinaryData::ins03_pngSize));
    setLinkImages (twitterButton, image (BinaryData::twitter01_png, BinaryData::twitter01_pngSize),
                   image (BinaryData::twitter02_png, BinaryData::twitter02_pngSize),
                   image (BinaryData::twitter03_png, BinaryData::twitter03_pngSize));
    setLinkImages (facebookButton, image (BinaryData::facebook01_png, BinaryData::facebook01_pngSize),
                   image (BinaryData::facebook02_png, BinaryData::facebook02_pngSize),
                   image (BinaryData::facebook03_png, BinaryData::facebook03_pngSize));
    instagramButton.setURL (juce::URL (zarvo::makerPages::instagram));
    twitterButton.setURL (juce::URL (zarvo::makerPages::twitter));
    facebookButton.setURL (juce::URL (zarvo::makerPages::facebook));

    const auto bilibili = image (BinaryData::bilibili_png, BinaryData::bilibili_pngSize);
    const auto douyin = image (BinaryData::tiktok_png, BinaryData::tiktok_pngSize);
    setLinkImages (bilibiliButton, bilibili, bilibili, bilibili);
    setLinkImages (xiaohongshuButton, image (BinaryData::Booklittle01_png, BinaryData::Booklittle01_pngSize),
                   image (BinaryData::Booklittle02_png, BinaryData::Booklittle02_pngSize),
                   image (BinaryData::Booklittle03_png, BinaryData::Booklittle03_pngSize));
    setLinkImages (douyinButton, douyin, douyin, douyin);
    bilibiliButton.setURL (juce::URL (zarvo::makerPages::bilibili));
    xiaohongshuButton.setURL (juce::URL (zarvo::makerPages::xiaohongshu));
    douyinButton.setURL (juce::URL (zarvo::makerPages::douyin));

    // 6. The panel's own buttons, only while the gear decodes.
    if (gear.isValid())
    {
        setLinkImages (infoButton, gear, gear, gear);

        struct Icon
        {
            juce::ImageButton& button;
            const char* data;
            int size;
        };
        const Icon icons[] = {
            { gainIcon, BinaryData::microphone_gain_png, BinaryData::microphone_gain_pngSize },
            { noiseIcon1, BinaryData::noise_reduction01_png, BinaryData::noise_reduction01_pngSize },
            { noiseIcon2, BinaryData::noise_reduction02_png, BinaryData::noise_reduction02_pngSize },
            { noiseIcon3, BinaryData::noise_reduction03_png, BinaryData::noise_reduction03_pngSize },
            { reverbDepthIcon, BinaryData::reverb_depth_png, BinaryData::reverb_depth_pngSize },
            { reverbDepthIconFrame, BinaryData::reverb_depth_border_png, BinaryData::reverb_depth_border_pngSize },
            { reverbTimeIcon1, BinaryData::reverb_time01_png, BinaryData::reverb_time01_pngSize },
            { reverbTimeIcon2, BinaryData::reverb_time02_png, BinaryData::reverb_time02_pngSize },
            { reverbTimeIcon3, BinaryData::reverb_time03_png, BinaryData::reverb_time03_pngSize },
            { reverbTimeIconFrame, BinaryData::reverb_time_border_png, BinaryData::reverb_time_border_pngSize },
            { noiseSwitch, BinaryData::noise_background_png, BinaryData::noise_background_pngSize },
            { reverbSwitch, BinaryData::reverb_background_png, BinaryData::reverb_background_pngSize },
            { noiseKnob, BinaryData::noise_reduction_slidebtn_png, BinaryData::noise_reduction_slidebtn_pngSize },
            { reverbKnob, BinaryData::noise_reduction_slidebtn_png, BinaryData::noise_reduction_slidebtn_pngSize },
        };
        for (const auto& icon : icons)
            setPlainImages (icon.button, image (icon.data, icon.size));

        // Only the first time; from then on the mute toggle owns these images. A microphone that is
        // muted at start-up must show so, or the next click would unmute it while meaning to mute.
        if (!muteImagesSet)
        {
            const auto mutedImage = image (BinaryData::pressedNoisebtn_png, BinaryData::pressedNoisebtn_pngSize);
            if (muted)
                setPlainImages (muteButton, mutedImage);
            else
                muteButton.setImages (
                    false, true, true,
                    image (BinaryData::notSelectedNoisebtn_png, BinaryData::notSelectedNoisebtn_pngSize), 1.0f,
                    faintOverlay, image (BinaryData::chooseNoisebtn_png, BinaryData::chooseNoisebtn_pngSize), 1.0f,
                    faintOverlay, mutedImage, 1.0f, faintOverlay, 0.0f);
        }
        muteImagesSet = true;

        const auto green = image (BinaryData::juxing_png, BinaryData::juxing_pngSize);
        const auto orange = image (BinaryData::orange_png, BinaryData::orange_pngSize);
        const auto red = image (BinaryData::redRect_png, BinaryData::redRect_pngSize);
        const auto white = image (BinaryData::white_png, BinaryData::white_pngSize);
        for (size_t i = 0; i < 24; ++i)
            if (i < meterSegments.size())
                setBarImages (*meterSegments[i], i < 18 ? green : (i < 22 ? orange : red));
        for (size_t i = 0; i < 24; ++i)
            if (i < m_mask.size())
                setBarImages (*m_mask[i], white);
    }

    // 7. The click catcher darkens what lies under the information panel; its transparent corners
    // let clicks through.
    const auto mask = image (BinaryData::mask_png, BinaryData::mask_pngSize);
    clickCatcher.setImages (false, true, true, mask, 0.8f, noOverlay, mask, 0.8f, noOverlay, mask, 0.8f, noOverlay,
                            0.5f);

    // 8. State labels, where the knob of their switch lies.
    if (english)
    {
        noiseOffText.setBounds (415, 248, 35, 35);
        reverbOffText.setBounds (415, 365, 35, 35);
    }
    if (chinese || english)
    {
        const int offX = chinese ? 421 : 413;
        const int onX = chinese ? 468 : 460;
        if (noiseOff)
            showStateLabel (*this, noiseOffLabel, noiseOnLabel, { offX, 251, 30, 30 });
        else
            showStateLabel (*this, noiseOnLabel, noiseOffLabel, { onX, 251, 30, 30 });
        if (reverbOff)
            showStateLabel (*this, reverbOffLabel, reverbOnLabel, { offX, 368, 30, 30 });
        else
            showStateLabel (*this, reverbOnLabel, reverbOffLabel, { onX, 368, 30, 30 });
    }

    // 9. The sliders of a switched-off effect are grey and take no input; gain is never touched.
    setEffectSlider (noiseSlider, noiseOff);
    setEffectSlider (reverbDepthSlider, reverbOff);
    setEffectSlider (reverbTimeSlider, reverbOff);

    // 10. Captions and the link buttons of the language.
    if (english)
    {
        noiseSwitchCaption.setBounds (285, 242, 115, 40);
        reverbSwitchCaption.setBounds (300, 359, 100, 40);
        reverbDepthTitleLabel.setBounds (39, 448, 60, 15);
        for (auto* button : { &bilibiliButton, &xiaohongshuButton, &douyinButton })
            button->setVisible (false);
        for (auto* button : { &instagramButton, &facebookButton, &twitterButton })
            addAndMakeVisible (button);
        instagramButton.setBounds (24, 658, 20, 20);
        twitterButton.setBounds (103, 658, 20, 20);
        facebookButton.setBounds (63, 658, 20, 20);
    }
    else if (chinese)
    {
        noiseSwitchCaption.setBounds (360, 251, 50, 30);
        reverbSwitchCaption.setBounds (360, 368, 40, 30);
        for (auto* button : { &instagramButton, &facebookButton, &twitterButton })
            button->setVisible (false);
        for (auto* button : { &bilibiliButton, &xiaohongshuButton, &douyinButton })
            addAndMakeVisible (button);
        bilibiliButton.setBounds (24, 652, 40, 30);
        xiaohongshuButton.setBounds (82, 658, 20, 20);
        douyinButton.setBounds (122, 658, 20, 20);
    }

    // 11. Status line and mask. Only -1 counts as no device. The not-connected text comes first
    // on every paint; while a device answers it is replaced at once, and that change keeps the
    // repaint going.
    if (chinese || english)
    {
        if (chinese)
            setLabel (statusLabel, utf8 ("请连接KT-Q7TR设备"), 28);
        else
        {
            statusLabel.setText ("Hardware Syncing. Please Wait.", juce::dontSendNotification);
            statusLabel.setFont (juce::Font (18.0f, juce::Font::plain));
        }

        if (heartbeat == -1)
            addAndMakeVisible (noDeviceMask);
        else
        {
            // The mask lets go of the keyboard before it goes. Hidden while holding it, it would have
            // the framework hand the focus to a control beneath (where Return acts at once), and that
            // handover grabs the window's input focus, even from another application the user types
            // in: the framework may not yet have seen that the window lost it. So no control holds the
            // focus until the user clicks one.
            noDeviceMask.giveAwayKeyboardFocus();
            noDeviceMask.setVisible (false);
            if (chinese)
                setLabel (statusLabel, utf8 ("已连接KT-Q7TR设备"), 26);
            else
                setLabel (statusLabel, "KT-Q7TR Connected", 28);
        }
    }

    // 12.
    juce::Logger::outputDebugString ("BackgroundComponent::paint time: " +
                                     juce::String ((int)(juce::Time::getMillisecondCounter() - startTime)));
}
