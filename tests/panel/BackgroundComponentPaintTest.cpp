// The control panel's paint against the virtual KT-Q7TR, with the panel in a real window: the
// factory reset the information panel asks for, the texts, fonts and places of both languages, the
// images and link addresses, the switch states and slider colours, the status line and the
// no-device mask, the timing line, and the continuous repaint that keeps all of it current.
#include "PanelTest.h"
#include "PollUntil.h"
#include "RecordingXdgOpen.h"

#include "BinaryData.h"
#include "CommandFrame.h"
#include "EmbeddedTypeface.h"
#include "MakerPages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <iterator>
#include <regex>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

using namespace zarvo;
using namespace zarvo::test;
using Bytes = MicrophoneModel::Bytes;
using Lines = std::vector<std::string>;

namespace
{
const char* const timingPrefix = "BackgroundComponent::paint time: ";

bool isTimingLine (const std::string& line)
{
    static const std::regex timing ("BackgroundComponent::paint time: -?[0-9]+");
    return std::regex_match (line, timing);
}

std::string text (const juce::Label& label)
{
    return label.getText().toStdString();
}

juce::Image cached (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

#define ZARVO_IMAGE(name) cached (BinaryData::name##_png, BinaryData::name##_pngSize)

// The frame bytes of a report, in hexadecimal: report id, frame, and nothing of the zero fill.
std::string hexOf (const Bytes& report)
{
    const std::size_t frameLength = report.size() > 4 ? 6u + report[4] : report.size();
    juce::String hex;
    for (std::size_t i = 0; i < std::min (frameLength, report.size()); ++i)
        hex << juce::String::toHexString (report[i]).paddedLeft ('0', 2).toUpperCase()
            << (i + 1 < frameLength ? " " : "");
    return hex.toStdString();
}

Lines hexOf (const std::vector<Bytes>& reports)
{
    Lines lines;
    for (const auto& report : reports)
        lines.push_back (hexOf (report));
    return lines;
}

bool isSetFrame (const std::string& hex)
{
    return hex.rfind ("00 A5 5A ", 0) == 0 && hex.size() > 13 && hex.substr (12, 2) == "03";
}

Lines setFramesOf (const Lines& reports)
{
    Lines frames;
    std::copy_if (reports.begin(), reports.end(), std::back_inserter (frames),
                  [] (const std::string& hex) { return isSetFrame (hex); });
    return frames;
}

// A label's text, font, visibility and place, as one comparable line.
std::string describe (const char* name, const juce::Label& label)
{
    const auto font = label.getFont();
    return std::string (name) + ": \"" + text (label) + "\" " + font.getTypefaceName().toStdString() + " " +
           juce::String (font.getHeight(), 1).toStdString() + (label.isVisible() ? " shown " : " hidden ") +
           label.getBounds().toString().toStdString();
}

std::string describe (const char* name, const juce::Component& component)
{
    return std::string (name) + (component.isVisible() ? " shown " : " hidden ") +
           component.getBounds().toString().toStdString() +
           (component.getParentComponent() == nullptr ? " no parent" : "");
}

// The alpha at the most opaque pixel of the button's image, drawn in the given state.
int peakAlpha (juce::ImageButton& button, juce::Button::ButtonState state)
{
    button.setState (state);
    const auto shot = button.createComponentSnapshot (button.getLocalBounds(), true, 1.0f);
    button.setState (juce::Button::buttonNormal);
    int peak = 0;
    for (int y = 0; y < shot.getHeight(); ++y)
        for (int x = 0; x < shot.getWidth(); ++x)
            peak = std::max (peak, (int)shot.getPixelAt (x, y).getAlpha());
    return peak;
}

// Hands every character on to the stream buffer it replaced, and every complete line to a handler:
// what the panel looks like at the moment a line is written.
class LineWatcher : public std::streambuf
{
public:
    explicit LineWatcher (std::function<void (const std::string&)> onLine)
        : handler (std::move (onLine)), previous (std::cerr.rdbuf (this))
    {
    }
    ~LineWatcher() override { std::cerr.rdbuf (previous); }

protected:
    int overflow (int c) override
    {
        if (c == traits_type::eof())
            return traits_type::not_eof (c);
        previous->sputc ((char)c);
        if (c == '\n')
        {
            handler (current);
            current.clear();
        }
        else
            current += (char)c;
        return c;
    }

    std::streamsize xsputn (const char* s, std::streamsize n) override
    {
        for (std::streamsize i = 0; i < n; ++i)
            overflow ((unsigned char)s[i]);
        return n;
    }

private:
    std::function<void (const std::string&)> handler;
    std::streambuf* previous;
    std::string current;
};

const char* const chineseConnected = "已连接KT-Q7TR设备";
const char* const chineseNotConnected = "请连接KT-Q7TR设备";
const char* const englishConnected = "KT-Q7TR Connected";
const char* const englishNotConnected = "Hardware Syncing. Please Wait.";

// The panel in a window of its own. The application shell's default sans-serif setting is made
// here as the shell makes it: "SimHei", and the embedded typeface where that is not installed.
class PanelPaintTest : public PanelTest
{
protected:
    static void SetUpTestSuite()
    {
        auto& lookAndFeel = juce::LookAndFeel::getDefaultLookAndFeel();
        lookAndFeel.setDefaultSansSerifTypefaceName ("SimHei");
        if (!juce::Font::findAllTypefaceNames().contains ("SimHei"))
            lookAndFeel.setDefaultSansSerifTypeface (zarvo::getEmbeddedTypeface());
    }

    // Built, shown, and with its timers stopped: nothing but the test talks to the device or
    // changes the heartbeat. A command path restarts the heartbeat poll, which only the message
    // loop would run.
    BackgroundComponent& makeShownPanel()
    {
        auto& p = makePanel();
        showOnDesktop();
        stopTimers();
        return p;
    }

    // One call of paint, as the window's repaint makes it; returns the lines it logged, of which
    // the last is always the timing line and no other is one.
    Lines paintOnce()
    {
        const auto before = log().lines().size();
        juce::Image image (juce::Image::ARGB, 620, 675, true);
        {
            juce::Graphics g (image);
            panel().paint (g);
        }
        const auto all = log().lines();
        Lines lines (all.begin() + (long)before, all.end());
        EXPECT_FALSE (lines.empty());
        if (!lines.empty())
        {
            EXPECT_TRUE (isTimingLine (lines.back())) << lines.back();
            EXPECT_EQ (std::count_if (lines.begin(), lines.end(), isTimingLine), 1);
        }
        // paint draws nothing on its context.
        for (int y = 0; y < image.getHeight(); y += 25)
            for (int x = 0; x < image.getWidth(); x += 25)
                EXPECT_EQ (image.getPixelAt (x, y).getARGB(), 0u) << x << ", " << y;
        return lines;
    }

    juce::ComboBox* languageBox()
    {
        for (auto* child : panel().infoPanel.getChildren())
            if (auto* box = dynamic_cast<juce::ComboBox*> (child))
                return box;
        ADD_FAILURE() << "the information panel has no language box";
        return nullptr;
    }

    // 1 and 2 are the box's own items; any other id is given an item of its own first (0: nothing
    // selected).
    void selectLanguage (int id)
    {
        auto* box = languageBox();
        if (box == nullptr)
            return;
        if (id != 0 && box->indexOfItemId (id) < 0)
            box->addItem ("other", id);
        box->setSelectedId (id, juce::dontSendNotification);
        ASSERT_EQ (panel().infoPanel.getLanguageId(), id);
    }

    bool maskShown()
    {
        return panel().noDeviceMask.getParentComponent() == &panel() && panel().noDeviceMask.isVisible();
    }
};

// ---------------------------------------------------------------------------------------------
// Factory reset

TEST_F (PanelPaintTest, ARequestedFactoryResetRunsOnceAtTheStartOfTheNextPaint)
{
    // A device far from its defaults: muted, everything switched on, other levels.
    model().setParameter (group::microphone, param::mute, 1);
    model().setParameter (group::microphone, param::gain, 4096);
    model().setParameter (group::noiseReduction, param::noiseOn, 1);
    model().setParameter (group::noiseReduction, param::noiseLevel, 0);
    model().setParameter (group::reverb, param::reverbOn, 1);
    model().setParameter (group::reverb, param::reverbDepth, 150);
    model().setParameter (group::reverb, param::reverbTime, 10);
    auto& p = makeShownPanel();
    paintOnce();
    ASSERT_FALSE (p.noiseOff);
    ASSERT_TRUE (p.noiseOnLabel.isVisible());

    // Only the request: nothing happens until the next paint.
    model().clearRecord();
    p.infoPanel.requestReset();
    EXPECT_TRUE (model().receivedReports().empty());
    log().clear();

    const auto lines = paintOnce();
    EXPECT_EQ (p.infoPanel.getResetRequested(), 0);

    // The seven defaults in order, then the switch states read back and sent once more.
    const auto reports = hexOf (model().receivedReports());
    const Lines expectedFrames{
        "00 A5 5A 8C 03 01 00 00 16",
        "00 A5 5A 8C 03 02 66 0A 16",
        "00 A5 5A 81 03 00 00 00 16",
        "00 A5 5A 81 03 01 30 F8 16",
        "00 A5 5A 82 03 00 00 00 16",
        "00 A5 5A 82 03 02 3C 00 16",
        "00 A5 5A 82 03 04 46 00 16",
        // the device's state after the reset: not muted, both effects off
        "00 A5 5A 8C 03 01 00 00 16",
        "00 A5 5A 81 03 00 00 00 16",
        "00 A5 5A 82 03 00 00 00 16",
    };
    EXPECT_EQ (setFramesOf (reports), expectedFrames);

    // The status is read after the last default and before the first state is sent again.
    const Lines statusQueries{ "00 A5 5A FC 01 01 16", "00 A5 5A 8C 00 16", "00 A5 5A 81 00 16", "00 A5 5A 82 00 16" };
    const auto statusRead = std::search (reports.begin(), reports.end(), statusQueries.begin(), statusQueries.end());
    ASSERT_NE (statusRead, reports.end()) << ::testing::PrintToString (reports);
    EXPECT_EQ (std::count (reports.begin(), reports.end(), statusQueries[0]), 1);
    EXPECT_LT (std::find (reports.begin(), reports.end(), expectedFrames[6]), statusRead);
    EXPECT_LT (statusRead + 3, std::find (statusRead, reports.end(), expectedFrames[7]));

    // The device keeps what it was sent, and the synchronisation logs what it read back.
    EXPECT_EQ (model().parameter (group::microphone, param::gain), 2662);
    EXPECT_EQ (model().parameter (group::noiseReduction, param::noiseLevel), -2000);
    EXPECT_NE (std::find (lines.begin(), lines.end(), "0 0 65 78 20 0 0 70 "), lines.end());

    // The same paint already shows the state that the reset left: the reset ran before the state
    // labels and slider colours were set.
    EXPECT_TRUE (p.noiseOff);
    EXPECT_TRUE (p.reverbOff);
    EXPECT_FALSE (p.muted);
    EXPECT_TRUE (p.noiseOffLabel.isVisible());
    EXPECT_FALSE (p.noiseOnLabel.isVisible());
    EXPECT_EQ (p.noiseOffLabel.getBounds(), juce::Rectangle<int> (421, 251, 30, 30));
    EXPECT_TRUE (p.reverbOffLabel.isVisible());
    EXPECT_FALSE (p.noiseSlider.isEnabled());
    EXPECT_FALSE (p.reverbDepthSlider.isEnabled());

    EXPECT_EQ (p.gainSlider.getValue(), 65.0);
    EXPECT_EQ (p.noiseSlider.getValue(), 78.0);
    EXPECT_EQ (p.reverbDepthSlider.getValue(), 20.0);
    EXPECT_EQ (p.reverbTimeSlider.getValue(), 70.0);

    // The value labels follow through the message loop, where the window repaints on its own:
    // none of those paints resets again.
    stopTimers();
    model().clearRecord();
    log().clear();
    auto windowPaints = [this]
    {
        const auto logged = log().lines();
        return std::count_if (logged.begin(), logged.end(), isTimingLine);
    };
    runMessageLoopUntil ([&] { return text (p.reverbTimeValueLabel) == "70" && windowPaints() >= 3; });
    EXPECT_GE (windowPaints(), 3);
    EXPECT_EQ (text (p.gainValueLabel), "65");
    EXPECT_EQ (text (p.noiseValueLabel), "78");
    EXPECT_EQ (text (p.reverbDepthValueLabel), "20");
    EXPECT_EQ (text (p.reverbTimeValueLabel), "70");

    paintOnce();
    EXPECT_EQ (p.infoPanel.getResetRequested(), 0);
    EXPECT_TRUE (model().receivedReports().empty());
}

// ---------------------------------------------------------------------------------------------
// Languages

struct TextRow
{
    const char* name;
    juce::Label BackgroundComponent::*label;
    const char* chinese;
    float chineseHeight;
    const char* english;
    float englishHeight;
};

const TextRow textRows[] = {
    { "muteTitleLabel", &BackgroundComponent::muteTitleLabel, "麦克风静音", 32, "Mute", 32 },
    { "gainTitleLabel", &BackgroundComponent::gainTitleLabel, "麦克风增益", 32, "Gain", 32 },
    { "noiseTitleLabel", &BackgroundComponent::noiseTitleLabel, "麦克风降噪", 32, "Noise Reduction", 32 },
    { "reverbTitleLabel", &BackgroundComponent::reverbTitleLabel, "麦克风混响", 32, "Reverberation", 32 },
    { "reverbDepthTitleLabel", &BackgroundComponent::reverbDepthTitleLabel, "混响深度", 18, "Rev.Depth", 18 },
    { "reverbTimeTitleLabel", &BackgroundComponent::reverbTimeTitleLabel, "混响时间", 18, "Rev.Time", 18 },
    { "noiseSwitchCaption", &BackgroundComponent::noiseSwitchCaption, "降噪", 22, "Noise Reduction", 22 },
    { "reverbSwitchCaption", &BackgroundComponent::reverbSwitchCaption, "混响", 22, "Reverberation", 22 },
    { "noiseOffText", &BackgroundComponent::noiseOffText, "关", 22, "OFF", 19 },
    { "noiseOnText", &BackgroundComponent::noiseOnText, "开", 22, "ON", 19 },
    { "reverbOffText", &BackgroundComponent::reverbOffText, "关", 22, "OFF", 19 },
    { "reverbOnText", &BackgroundComponent::reverbOnText, "开", 22, "ON", 19 },
    { "noiseOffLabel", &BackgroundComponent::noiseOffLabel, "关", 22, "OFF", 19 },
    { "noiseOnLabel", &BackgroundComponent::noiseOnLabel, "开", 22, "ON", 19 },
    { "reverbOffLabel", &BackgroundComponent::reverbOffLabel, "关", 22, "OFF", 19 },
    { "reverbOnLabel", &BackgroundComponent::reverbOnLabel, "开", 22, "ON", 19 },
};

using Bounds = juce::Rectangle<int>;

// What paint places per language (the state labels follow in their own test).
struct LanguagePlaces
{
    int id;
    Bounds noiseSwitchCaption, reverbSwitchCaption;
    std::vector<MyImageButton BackgroundComponent::*> shown, hidden;
    std::vector<Bounds> shownBounds;
};

const LanguagePlaces chinesePlaces{ 1,
                                    { 360, 251, 50, 30 },
                                    { 360, 368, 40, 30 },
                                    { &BackgroundComponent::bilibiliButton, &BackgroundComponent::xiaohongshuButton,
                                      &BackgroundComponent::douyinButton },
                                    { &BackgroundComponent::instagramButton, &BackgroundComponent::twitterButton,
                                      &BackgroundComponent::facebookButton },
                                    { { 24, 652, 40, 30 }, { 82, 658, 20, 20 }, { 122, 658, 20, 20 } } };

const LanguagePlaces englishPlaces{ 2,
                                    { 285, 242, 115, 40 },
                                    { 300, 359, 100, 40 },
                                    { &BackgroundComponent::instagramButton, &BackgroundComponent::facebookButton,
                                      &BackgroundComponent::twitterButton },
                                    { &BackgroundComponent::bilibiliButton, &BackgroundComponent::xiaohongshuButton,
                                      &BackgroundComponent::douyinButton },
                                    { { 24, 658, 20, 20 }, { 63, 658, 20, 20 }, { 103, 658, 20, 20 } } };

// The three places the English layout sets and the Chinese one leaves alone, as the panel's own
// layout gives them and as English leaves them.
const Bounds laidOutNoiseOffText{ 421, 251, 40, 30 }, englishNoiseOffText{ 415, 248, 35, 35 };
const Bounds laidOutReverbOffText{ 421, 368, 40, 30 }, englishReverbOffText{ 415, 365, 35, 35 };
const Bounds laidOutDepthTitle{ 39, 448, 50, 15 }, englishDepthTitle{ 39, 448, 60, 15 };

void expectTexts (BackgroundComponent& p, int languageId)
{
    const auto& panelTypeface = BackgroundComponent::getPanelTypeface();
    for (const auto& row : textRows)
    {
        SCOPED_TRACE (row.name);
        const auto& label = p.*row.label;
        EXPECT_EQ (text (label), languageId == 1 ? row.chinese : row.english);
        const auto font = label.getFont();
        EXPECT_FLOAT_EQ (font.getHeight(), languageId == 1 ? row.chineseHeight : row.englishHeight);
        EXPECT_EQ (font.getTypefacePtr().get(), panelTypeface.getTypefacePtr().get());
        EXPECT_EQ (font.getTypefaceName(), "Source Han Sans SC");
    }
}

void expectPlaces (BackgroundComponent& p, const LanguagePlaces& places)
{
    SCOPED_TRACE (places.id);
    EXPECT_EQ (p.noiseSwitchCaption.getBounds(), places.noiseSwitchCaption);
    EXPECT_EQ (p.reverbSwitchCaption.getBounds(), places.reverbSwitchCaption);
    for (size_t i = 0; i < places.shown.size(); ++i)
    {
        auto& button = p.*places.shown[i];
        EXPECT_TRUE (button.isVisible()) << i;
        EXPECT_EQ (button.getParentComponent(), &p) << i;
        EXPECT_EQ (button.getBounds(), places.shownBounds[i]) << i;
    }
    for (auto hidden : places.hidden)
        EXPECT_FALSE ((p.*hidden).isVisible());
}

TEST_F (PanelPaintTest, EachLanguageGivesItsTextsFontsAndPlacesAtTheNextPaint)
{
    auto& p = makeShownPanel();
    p.heartbeat = 1;

    paintOnce();
    expectTexts (p, 1);
    expectPlaces (p, chinesePlaces);
    EXPECT_EQ (text (p.statusLabel), chineseConnected);
    // Chinese keeps the panel's own layout of these three.
    EXPECT_EQ (p.noiseOffText.getBounds(), laidOutNoiseOffText);
    EXPECT_EQ (p.reverbOffText.getBounds(), laidOutReverbOffText);
    EXPECT_EQ (p.reverbDepthTitleLabel.getBounds(), laidOutDepthTitle);

    // The choice takes effect at the next paint, not before.
    selectLanguage (2);
    EXPECT_EQ (text (p.muteTitleLabel), "麦克风静音");
    paintOnce();
    expectTexts (p, 2);
    expectPlaces (p, englishPlaces);
    EXPECT_EQ (text (p.statusLabel), englishConnected);
    EXPECT_EQ (p.noiseOffText.getBounds(), englishNoiseOffText);
    EXPECT_EQ (p.reverbOffText.getBounds(), englishReverbOffText);
    EXPECT_EQ (p.reverbDepthTitleLabel.getBounds(), englishDepthTitle);

    // Back to Chinese: texts and link buttons return, three places stay English...
    selectLanguage (1);
    paintOnce();
    expectTexts (p, 1);
    expectPlaces (p, chinesePlaces);
    EXPECT_EQ (text (p.statusLabel), chineseConnected);
    EXPECT_EQ (p.noiseOffText.getBounds(), englishNoiseOffText);
    EXPECT_EQ (p.reverbOffText.getBounds(), englishReverbOffText);
    EXPECT_EQ (p.reverbDepthTitleLabel.getBounds(), englishDepthTitle);

    // ...until the panel lays itself out again.
    p.resized();
    paintOnce();
    EXPECT_EQ (p.noiseOffText.getBounds(), laidOutNoiseOffText);
    EXPECT_EQ (p.reverbOffText.getBounds(), laidOutReverbOffText);
    EXPECT_EQ (p.reverbDepthTitleLabel.getBounds(), laidOutDepthTitle);
    expectPlaces (p, chinesePlaces);
}

// Everything a language sets, as one list of lines.
Lines languageDependentState (BackgroundComponent& p)
{
    Lines state;
    for (const auto& row : textRows)
        state.push_back (describe (row.name, p.*row.label));
    state.push_back (describe ("statusLabel", p.statusLabel));
    state.push_back (describe ("noDeviceMask", p.noDeviceMask));
    const std::pair<const char*, juce::Component*> buttons[] = {
        { "instagramButton", &p.instagramButton },     { "twitterButton", &p.twitterButton },
        { "facebookButton", &p.facebookButton },       { "bilibiliButton", &p.bilibiliButton },
        { "xiaohongshuButton", &p.xiaohongshuButton }, { "douyinButton", &p.douyinButton },
    };
    for (const auto& [name, button] : buttons)
        state.push_back (describe (name, *button));
    return state;
}

TEST_F (PanelPaintTest, ALanguageIdNeitherChineseNorEnglishLeavesTheLanguageDependentChildrenAlone)
{
    for (const int otherId : { 0, 3 })
    {
        SCOPED_TRACE (otherId);
        model().setParameter (group::noiseReduction, param::noiseOn, 0);
        model().setParameter (group::reverb, param::reverbOn, 0);
        auto& p = makeShownPanel();
        // English, connected, noise and reverberation off (the device's factory state).
        selectLanguage (2);
        p.heartbeat = 1;
        paintOnce();
        ASSERT_TRUE (p.noiseOff);
        const auto before = languageDependentState (p);

        // Everything that would change what a language paint shows: the switches, the heartbeat;
        // and images taken away from some buttons.
        p.toggleNoiseReduction();
        p.toggleReverb();
        p.heartbeat = -1;
        const juce::Image none;
        for (auto* button : std::initializer_list<juce::ImageButton*>{ &p.infoButton, &p.instagramButton,
                                                                       &p.douyinButton, &p.clickCatcher, &p.gainIcon,
                                                                       p.meterSegments[5].get(), p.m_mask[23].get() })
            button->setImages (false, true, true, none, 1.0f, {}, none, 1.0f, {}, none, 1.0f, {}, 0.0f);

        selectLanguage (otherId);
        paintOnce();
        EXPECT_EQ (languageDependentState (p), before);
        EXPECT_EQ (p.noDeviceMask.getParentComponent(), nullptr) << "the mask came with a language paint only";

        // Images and slider colours follow all the same.
        EXPECT_EQ (p.infoButton.getNormalImage(), ZARVO_IMAGE (setting));
        EXPECT_EQ (p.instagramButton.getNormalImage(), ZARVO_IMAGE (ins01));
        EXPECT_EQ (p.douyinButton.getNormalImage(), ZARVO_IMAGE (tiktok));
        EXPECT_EQ (p.clickCatcher.getNormalImage(), ZARVO_IMAGE (mask));
        EXPECT_EQ (p.gainIcon.getNormalImage(), ZARVO_IMAGE (microphone_gain));
        EXPECT_EQ (p.meterSegments[5]->getNormalImage(), ZARVO_IMAGE (juxing));
        EXPECT_EQ (p.m_mask[23]->getNormalImage(), ZARVO_IMAGE (white));
        EXPECT_TRUE (p.noiseSlider.isEnabled());
        EXPECT_EQ (p.noiseSlider.findColour (juce::Slider::trackColourId).getARGB(), 0xFFFFAB21u);
        EXPECT_TRUE (p.reverbTimeSlider.isEnabled());
        EXPECT_EQ (p.reverbTimeSlider.findColour (juce::Slider::trackColourId).getARGB(), 0xFFFFAB21u);
    }
}

// ---------------------------------------------------------------------------------------------
// Status line and mask

TEST_F (PanelPaintTest, TheStatusLineAndTheMaskFollowTheHeartbeat)
{
    struct Case
    {
        int languageId;
        int heartbeat;
        const char* status;
        float height;
        bool panelFont; // else the plain default sans-serif font
        bool mask;
    };
    const Case cases[] = {
        { 1, -1, chineseNotConnected, 28, true, true },  { 1, 0, chineseConnected, 26, true, false },
        { 1, 1, chineseConnected, 26, true, false },     { 1, -2, chineseConnected, 26, true, false },
        { 1, 258, chineseConnected, 26, true, false },   { 2, -1, englishNotConnected, 18, false, true },
        { 2, 0, englishConnected, 28, true, false },     { 2, 1, englishConnected, 28, true, false },
        { 2, -1, englishNotConnected, 18, false, true }, { 1, -1, chineseNotConnected, 28, true, true },
        { 2, 258, englishConnected, 28, true, false },
    };

    auto& p = makeShownPanel();
    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.languageId) + " / " + juce::String (c.heartbeat));
        selectLanguage (c.languageId);
        p.heartbeat = c.heartbeat;
        paintOnce();

        EXPECT_EQ (text (p.statusLabel), c.status);
        const auto font = p.statusLabel.getFont();
        EXPECT_FLOAT_EQ (font.getHeight(), c.height);
        if (c.panelFont)
            EXPECT_EQ (font.getTypefacePtr().get(), BackgroundComponent::getPanelTypeface().getTypefacePtr().get());
        else
        {
            EXPECT_EQ (font.getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
            EXPECT_EQ (font.getStyleFlags(), juce::Font::plain);
        }
        EXPECT_EQ (maskShown(), c.mask);
    }
    // Once shown, the mask stays a child and is only hidden.
    EXPECT_EQ (p.noDeviceMask.getParentComponent(), &p);
}

TEST_F (PanelPaintTest, BeforeTheFirstPollAPaintShowsTheConnectedTextAndNoMask)
{
    for (const bool withDevice : { true, false })
    {
        SCOPED_TRACE (withDevice ? "with a device" : "without a device");
        if (!withDevice)
            withoutMicrophone();
        auto& p = makeShownPanel();
        ASSERT_EQ (p.heartbeat, 0);
        paintOnce();
        EXPECT_EQ (text (p.statusLabel), chineseConnected);
        EXPECT_EQ (p.noDeviceMask.getParentComponent(), nullptr);
    }
}

TEST_F (PanelPaintTest, TheMaskComesAboveWhatIsPresentAnOpenInformationPanelIncluded)
{
    auto& p = makeShownPanel();
    paintOnce();
    p.toggleInfoPanel();
    ASSERT_TRUE (p.infoPanel.isVisible());

    p.heartbeat = -1;
    paintOnce();
    ASSERT_TRUE (maskShown());
    EXPECT_EQ (p.getIndexOfChildComponent (&p.noDeviceMask), p.getNumChildComponents() - 1);
    EXPECT_GT (p.getIndexOfChildComponent (&p.noDeviceMask), p.getIndexOfChildComponent (&p.infoPanel));
    EXPECT_EQ (p.noDeviceMask.getBounds(), Bounds (0, 0, 1000, 1000));
    // The status line lies beneath it.
    EXPECT_LT (p.getIndexOfChildComponent (&p.statusLabel), p.getIndexOfChildComponent (&p.noDeviceMask));

    // A click on the information panel now lands on the mask.
    auto* hit = p.getComponentAt (p.infoPanel.getBounds().getCentre());
    EXPECT_TRUE (hit == &p.noDeviceMask || p.noDeviceMask.isParentOf (hit));

    p.heartbeat = 1;
    paintOnce();
    EXPECT_FALSE (p.noDeviceMask.isVisible());
    EXPECT_EQ (p.noDeviceMask.getParentComponent(), &p);
}

// The real window and the real timers against the device: paint comes round again and again by
// itself, and the status line and the mask follow the heartbeat through those paints alone.
TEST_F (PanelPaintTest, TheRepaintsAloneKeepTheStatusLineAndTheMaskCurrent)
{
    auto& p = makePanel();
    showOnDesktop();

    struct Seen
    {
        bool paintEnd;
        std::string status;
        bool mask;
        int heartbeat;
    };
    std::vector<Seen> seen;
    LineWatcher watcher (
        [&] (const std::string& line) {
            seen.push_back ({ isTimingLine (line), text (p.statusLabel), maskShown(), p.heartbeat });
        });

    // Runs the message loop until `count` paints have ended with the heartbeat matching.
    auto runUntilPaints = [&] (int count, std::function<bool (int)> heartbeatMatches)
    {
        const auto from = seen.size();
        auto matching = [&]
        {
            return std::count_if (seen.begin() + (long)from, seen.end(),
                                  [&] (const Seen& s) { return s.paintEnd && heartbeatMatches (s.heartbeat); });
        };
        runMessageLoopUntil ([&] { return matching() >= count; }, 30000);
        EXPECT_GE (matching(), count);
        return from;
    };

    // The device answers: from the first paint on, the not-connected text is never seen, at the
    // end of a paint or between paints.
    runUntilPaints (20, [] (int heartbeat) { return heartbeat != 0 && heartbeat != -1; });
    const auto firstPaint = std::find_if (seen.begin(), seen.end(), [] (const Seen& s) { return s.paintEnd; });
    ASSERT_NE (firstPaint, seen.end());
    for (auto s = firstPaint; s != seen.end(); ++s)
    {
        EXPECT_EQ (s->status, chineseConnected);
        EXPECT_FALSE (s->mask);
    }

    // Unplugged: the heartbeat fails and the paints cover the panel.
    model().vanish();
    const auto gone = runUntilPaints (5, [] (int heartbeat) { return heartbeat == -1; });
    for (auto s = seen.begin() + (long)gone; s != seen.end(); ++s)
        if (s->paintEnd && s->heartbeat == -1)
        {
            EXPECT_EQ (s->status, chineseNotConnected);
            EXPECT_TRUE (s->mask);
        }

    // Back, and announced: the panel reopens it and the paints uncover the panel.
    model().comeBack();
    hid->lastDeviceChange = 0;
    {
        StdoutCapture printed; // the opening's picture of the device
        p.onDeviceChanged();
    }
    const auto back = runUntilPaints (5, [] (int heartbeat) { return heartbeat != -1; });
    for (auto s = seen.begin() + (long)back; s != seen.end(); ++s)
        if (s->paintEnd && s->heartbeat != -1)
        {
            EXPECT_EQ (s->status, chineseConnected);
            EXPECT_FALSE (s->mask);
        }
}

// ---------------------------------------------------------------------------------------------
// Switch states, slider colours and the mute button

TEST_F (PanelPaintTest, SwitchStatesPlaceTheStateLabelsAndGreyTheSlidersOfAnEffectThatIsOff)
{
    struct Language
    {
        int id, offX, onX;
    };
    const Language languages[] = { { 1, 421, 468 }, { 2, 413, 460 } };

    auto& p = makeShownPanel();
    // Colours and input of the gain slider are never paint's business.
    p.gainSlider.setColour (juce::Slider::trackColourId, juce::Colours::blue);
    p.gainSlider.setEnabled (false);

    for (const auto& language : languages)
        for (const bool noiseOff : { true, false })
            for (const bool reverbOff : { true, false })
            {
                SCOPED_TRACE (juce::String (language.id) + (noiseOff ? " noise off" : " noise on") +
                              (reverbOff ? ", reverberation off" : ", reverberation on"));
                selectLanguage (language.id);
                if (p.noiseOff != noiseOff)
                    p.toggleNoiseReduction();
                if (p.reverbOff != reverbOff)
                    p.toggleReverb();
                paintOnce();

                struct Pair
                {
                    juce::Label& offLabel;
                    juce::Label& onLabel;
                    bool off;
                    int y;
                    juce::ImageButton& knob;
                };
                for (const auto& pair : { Pair{ p.noiseOffLabel, p.noiseOnLabel, noiseOff, 251, p.noiseKnob },
                                          Pair{ p.reverbOffLabel, p.reverbOnLabel, reverbOff, 368, p.reverbKnob } })
                {
                    auto& shown = pair.off ? pair.offLabel : pair.onLabel;
                    auto& hidden = pair.off ? pair.onLabel : pair.offLabel;
                    EXPECT_TRUE (shown.isVisible());
                    EXPECT_FALSE (hidden.isVisible());
                    EXPECT_EQ (shown.getBounds(), Bounds (pair.off ? language.offX : language.onX, pair.y, 30, 30));
                    // Where the knob lies, and beneath it.
                    EXPECT_TRUE (pair.knob.getBounds().intersects (shown.getBounds()))
                        << pair.knob.getBounds().toString() << " / " << shown.getBounds().toString();
                    EXPECT_LT (p.getIndexOfChildComponent (&shown), p.getIndexOfChildComponent (&pair.knob));
                }
                for (auto* fixedText : { &p.noiseOffText, &p.noiseOnText, &p.reverbOffText, &p.reverbOnText })
                    EXPECT_TRUE (fixedText->isVisible());

                for (const auto& [slider, off] : { std::pair<juce::Slider*, bool>{ &p.noiseSlider, noiseOff },
                                                   { &p.reverbDepthSlider, reverbOff },
                                                   { &p.reverbTimeSlider, reverbOff } })
                {
                    EXPECT_EQ (slider->findColour (juce::Slider::trackColourId).getARGB(),
                               off ? 0xFF7F7F7Fu : 0xFFFFAB21u);
                    EXPECT_EQ (slider->isEnabled(), !off);
                }
                EXPECT_EQ (p.gainSlider.findColour (juce::Slider::trackColourId), juce::Colours::blue);
                EXPECT_FALSE (p.gainSlider.isEnabled());
            }
}

TEST_F (PanelPaintTest, TheFirstPaintShowsTheMuteStateTheMicrophoneStartedWithAndLaterPaintsKeepTheToggles)
{
    const auto muted = ZARVO_IMAGE (pressedNoisebtn);
    const auto unmuted = ZARVO_IMAGE (notSelectedNoisebtn);
    const auto unmutedOver = ZARVO_IMAGE (chooseNoisebtn);
    struct Images
    {
        juce::Image normal, over, down;
    };
    const Images mutedImages{ muted, muted, muted };
    const Images unmutedImages{ unmuted, unmutedOver, muted };
    const Images unmutedAfterToggle{ unmuted, unmutedOver, unmuted };

    auto expectImages = [] (juce::ImageButton& button, const Images& images, const char* when)
    {
        EXPECT_EQ (button.getNormalImage(), images.normal) << when;
        EXPECT_EQ (button.getOverImage(), images.over) << when;
        EXPECT_EQ (button.getDownImage(), images.down) << when;
    };

    const juce::Point<int> onMuteButton{ 63, 98 };
    for (const bool startsMuted : { false, true })
    {
        SCOPED_TRACE (startsMuted ? "muted at start" : "not muted at start");
        model().setParameter (group::microphone, param::mute, startsMuted ? 1 : 0);
        auto& p = makeShownPanel();
        ASSERT_EQ (p.muted, startsMuted);
        EXPECT_FALSE (p.muteImagesSet);

        paintOnce();
        EXPECT_TRUE (p.muteImagesSet);
        expectImages (p.muteButton, startsMuted ? mutedImages : unmutedImages, "first paint");
        paintOnce();
        expectImages (p.muteButton, startsMuted ? mutedImages : unmutedImages, "second paint");

        // The click does what the button shows it would.
        click (onMuteButton);
        EXPECT_EQ (p.muted, !startsMuted);
        EXPECT_EQ (model().parameter (group::microphone, param::mute), startsMuted ? 0 : 1);
        const auto& toggled = startsMuted ? unmutedAfterToggle : mutedImages;
        expectImages (p.muteButton, toggled, "after the click");
        paintOnce();
        paintOnce();
        expectImages (p.muteButton, toggled, "paints after the click");

        click (onMuteButton);
        const auto& back = startsMuted ? mutedImages : unmutedAfterToggle;
        expectImages (p.muteButton, back, "after the second click");
        paintOnce();
        expectImages (p.muteButton, back, "a paint after the second click");
    }
}

// ---------------------------------------------------------------------------------------------
// Images, links and the font

TEST_F (PanelPaintTest, EveryImageButtonGetsItsPicturesFromTheImageCache)
{
    auto& p = makeShownPanel();
    paintOnce();

    struct Row
    {
        const char* name;
        juce::ImageButton& button;
        juce::Image normal, over, down;
    };
    const auto gear = ZARVO_IMAGE (setting);
    const auto bilibili = ZARVO_IMAGE (bilibili);
    const auto douyin = ZARVO_IMAGE (tiktok);
    auto same = [] (const char* name, juce::ImageButton& button, const juce::Image& image) {
        return Row{ name, button, image, image, image };
    };
    std::vector<Row> rows{
        { "instagramButton", p.instagramButton, ZARVO_IMAGE (ins01), ZARVO_IMAGE (ins02), ZARVO_IMAGE (ins03) },
        { "twitterButton", p.twitterButton, ZARVO_IMAGE (twitter01), ZARVO_IMAGE (twitter02), ZARVO_IMAGE (twitter03) },
        { "facebookButton", p.facebookButton, ZARVO_IMAGE (facebook01), ZARVO_IMAGE (facebook02),
          ZARVO_IMAGE (facebook03) },
        same ("bilibiliButton", p.bilibiliButton, bilibili),
        { "xiaohongshuButton", p.xiaohongshuButton, ZARVO_IMAGE (Booklittle01), ZARVO_IMAGE (Booklittle02),
          ZARVO_IMAGE (Booklittle03) },
        same ("douyinButton", p.douyinButton, douyin),
        same ("infoButton", p.infoButton, gear),
        same ("gainIcon", p.gainIcon, ZARVO_IMAGE (microphone_gain)),
        same ("noiseIcon1", p.noiseIcon1, ZARVO_IMAGE (noise_reduction01)),
        same ("noiseIcon2", p.noiseIcon2, ZARVO_IMAGE (noise_reduction02)),
        same ("noiseIcon3", p.noiseIcon3, ZARVO_IMAGE (noise_reduction03)),
        same ("reverbDepthIcon", p.reverbDepthIcon, ZARVO_IMAGE (reverb_depth)),
        same ("reverbDepthIconFrame", p.reverbDepthIconFrame, ZARVO_IMAGE (reverb_depth_border)),
        same ("reverbTimeIcon1", p.reverbTimeIcon1, ZARVO_IMAGE (reverb_time01)),
        same ("reverbTimeIcon2", p.reverbTimeIcon2, ZARVO_IMAGE (reverb_time02)),
        same ("reverbTimeIcon3", p.reverbTimeIcon3, ZARVO_IMAGE (reverb_time03)),
        same ("reverbTimeIconFrame", p.reverbTimeIconFrame, ZARVO_IMAGE (reverb_time_border)),
        same ("noiseSwitch", p.noiseSwitch, ZARVO_IMAGE (noise_background)),
        same ("reverbSwitch", p.reverbSwitch, ZARVO_IMAGE (reverb_background)),
        same ("noiseKnob", p.noiseKnob, ZARVO_IMAGE (noise_reduction_slidebtn)),
        same ("reverbKnob", p.reverbKnob, ZARVO_IMAGE (noise_reduction_slidebtn)),
        same ("clickCatcher", p.clickCatcher, ZARVO_IMAGE (mask)),
    };
    for (size_t i = 0; i < 24; ++i)
    {
        rows.push_back (same ("meter segment", *p.meterSegments[i],
                              i < 18   ? ZARVO_IMAGE (juxing)
                              : i < 22 ? ZARVO_IMAGE (orange)
                                       : ZARVO_IMAGE (redRect)));
        rows.push_back (same ("meter cover", *p.m_mask[i], ZARVO_IMAGE (white)));
    }

    // Decoded once: later paints hand every button the very same images.
    for (int paint = 0; paint < 2; ++paint)
    {
        for (const auto& row : rows)
        {
            SCOPED_TRACE (row.name);
            ASSERT_TRUE (row.normal.isValid());
            EXPECT_EQ (row.button.getNormalImage(), row.normal);
            EXPECT_EQ (row.button.getOverImage(), row.over);
            EXPECT_EQ (row.button.getDownImage(), row.down);
        }
        paintOnce();
    }

    // Link buttons and the gear dim under the pointer; the icons do not; the click catcher is
    // dimmed in every state. No button is resized to its picture.
    const int full = peakAlpha (p.gainIcon, juce::Button::buttonNormal);
    for (auto* linkLike :
         std::initializer_list<juce::ImageButton*>{ &p.infoButton, &p.bilibiliButton, &p.douyinButton })
    {
        const int normal = peakAlpha (*linkLike, juce::Button::buttonNormal);
        EXPECT_NEAR (peakAlpha (*linkLike, juce::Button::buttonOver), normal * 0.8, 2);
        EXPECT_EQ (peakAlpha (*linkLike, juce::Button::buttonDown), normal);
    }
    EXPECT_EQ (peakAlpha (p.gainIcon, juce::Button::buttonOver), full);
    EXPECT_EQ (peakAlpha (p.gainIcon, juce::Button::buttonDown), full);
    EXPECT_EQ (p.infoButton.getBounds(), Bounds (568, 5, 26, 26));
    EXPECT_EQ (p.muteButton.getBounds(), Bounds (43, 78, 40, 40));
    EXPECT_EQ (p.meterSegments[0]->getBounds(), Bounds (108, 90, 6, 28));
    EXPECT_EQ (p.clickCatcher.getBounds(), Bounds (0, 0, 1000, 1000));

    // The catcher takes a click only where its picture is more than half opaque.
    const auto catcherShot = p.clickCatcher.createComponentSnapshot ({ 0, 0, 1000, 1000 }, true, 1.0f);
    EXPECT_NEAR (catcherShot.getPixelAt (500, 500).getAlpha(), 204, 2);
    auto& catcher = static_cast<juce::Component&> (p.clickCatcher);
    EXPECT_TRUE (catcher.hitTest (500, 500));
    EXPECT_FALSE (catcher.hitTest (0, 0));
}

// The icons whose pictures are not their buttons' size: each picture is scaled into its button, and
// no paint resizes the button to the picture.
TEST_F (PanelPaintTest, IconsWhosePicturesDifferInSizeFromTheirButtonsKeepTheirBoundsThroughThePaints)
{
    struct Icon
    {
        const char* name;
        juce::ImageButton BackgroundComponent::*button;
        juce::Image picture;
        Bounds bounds;
    };
    const Icon icons[] = {
        { "noiseIcon1", &BackgroundComponent::noiseIcon1, ZARVO_IMAGE (noise_reduction01), { 40, 296, 20, 18 } },
        { "noiseIcon2", &BackgroundComponent::noiseIcon2, ZARVO_IMAGE (noise_reduction02), { 56, 298, 14, 15 } },
        { "noiseIcon3", &BackgroundComponent::noiseIcon3, ZARVO_IMAGE (noise_reduction03), { 69, 307, 18, 2 } },
        { "reverbDepthIcon", &BackgroundComponent::reverbDepthIcon, ZARVO_IMAGE (reverb_depth), { 51, 424, 26, 19 } },
        { "reverbTimeIcon2", &BackgroundComponent::reverbTimeIcon2, ZARVO_IMAGE (reverb_time02), { 45, 495, 20, 15 } },
        { "reverbTimeIcon3", &BackgroundComponent::reverbTimeIcon3, ZARVO_IMAGE (reverb_time03), { 63, 495, 20, 15 } },
    };

    auto& p = makeShownPanel();
    for (int paint = 1; paint <= 3; ++paint)
    {
        paintOnce();
        for (const auto& icon : icons)
        {
            SCOPED_TRACE (std::string (icon.name) + ", paint " + std::to_string (paint));
            ASSERT_NE (icon.picture.getBounds(), icon.bounds.withZeroOrigin()) << "a picture of another size";
            EXPECT_EQ ((p.*icon.button).getNormalImage(), icon.picture);
            EXPECT_EQ ((p.*icon.button).getBounds().toString(), icon.bounds.toString());
        }
    }
}

// The largest difference of any channel at any pixel, premultiplied, so that fully transparent
// pixels compare equal whatever colour they carry.
int largestDifference (const juce::Image& one, const juce::Image& other)
{
    if (one.getBounds() != other.getBounds())
        return 255;
    int largest = 0;
    for (int y = 0; y < one.getHeight(); ++y)
        for (int x = 0; x < one.getWidth(); ++x)
        {
            const auto a = one.getPixelAt (x, y).getPixelARGB(), b = other.getPixelAt (x, y).getPixelARGB();
            for (const auto& [p, q] : { std::pair<int, int>{ a.getAlpha(), b.getAlpha() },
                                        { a.getRed(), b.getRed() },
                                        { a.getGreen(), b.getGreen() },
                                        { a.getBlue(), b.getBlue() } })
                largest = std::max (largest, std::abs (p - q));
        }
    return largest;
}

// The picture drawn into an empty image of the given size with its proportions kept, as large as
// fits and centred; and, since a button draws its picture at whole pixels, the same moved to the
// whole pixel before or after that centre, across and down.
std::vector<juce::Image> drawnWithProportionsKept (const juce::Image& picture, juce::Rectangle<int> area)
{
    std::vector<juce::Image> drawings;
    const auto fitted = juce::RectanglePlacement (juce::RectanglePlacement::centred)
                            .appliedTo (picture.getBounds().toFloat(), area.toFloat());
    auto placesNear = [] (float centred)
    {
        std::vector<float> places{ centred };
        for (const float whole : { std::floor (centred), std::ceil (centred) })
            if (whole != centred)
                places.push_back (whole);
        return places;
    };
    for (const float x : placesNear (fitted.getX()))
        for (const float y : placesNear (fitted.getY()))
        {
            juce::Image drawing (juce::Image::ARGB, area.getWidth(), area.getHeight(), true);
            juce::Graphics (drawing).drawImage (picture, fitted.withPosition (x, y));
            drawings.push_back (drawing);
        }
    return drawings;
}

// Each link button draws its picture within its place with the proportions kept: its snapshot
// matches the picture drawn so into an image of the button's size. Stretched to the place, the
// Bilibili lettering would fill 30 rows instead of 18 and the Twitter bird 20 instead of 18; drawn
// at their own size, both would stick out of their places.
TEST_F (PanelPaintTest, TheLinkButtonsDrawTheirPicturesWithinTheirPlacesWithTheProportionsKept)
{
    struct Link
    {
        const char* name;
        int languageId;
        MyImageButton BackgroundComponent::*button;
        juce::Image picture;
    };
    const Link links[] = {
        { "bilibiliButton", 1, &BackgroundComponent::bilibiliButton, ZARVO_IMAGE (bilibili) },
        { "xiaohongshuButton", 1, &BackgroundComponent::xiaohongshuButton, ZARVO_IMAGE (Booklittle01) },
        { "douyinButton", 1, &BackgroundComponent::douyinButton, ZARVO_IMAGE (tiktok) },
        { "instagramButton", 2, &BackgroundComponent::instagramButton, ZARVO_IMAGE (ins01) },
        { "twitterButton", 2, &BackgroundComponent::twitterButton, ZARVO_IMAGE (twitter01) },
        { "facebookButton", 2, &BackgroundComponent::facebookButton, ZARVO_IMAGE (facebook01) },
    };
    // Resampled at a slightly other position, a picture's edges differ by some twenty levels; a
    // stretched or unscaled picture differs by more than a hundred.
    constexpr int tolerance = 32;

    auto& p = makeShownPanel();
    for (const auto& link : links)
    {
        SCOPED_TRACE (link.name);
        selectLanguage (link.languageId);
        paintOnce();
        auto& button = p.*link.button;
        ASSERT_TRUE (button.isShowing());
        ASSERT_FALSE (button.isOver()) << "the normal picture";

        const auto shot = button.createComponentSnapshot (button.getLocalBounds(), true, 1.0f);
        int closest = 255;
        for (const auto& drawing : drawnWithProportionsKept (link.picture, button.getLocalBounds()))
            closest = std::min (closest, largestDifference (shot, drawing));
        EXPECT_LE (closest, tolerance) << "picture " << link.picture.getWidth() << " x " << link.picture.getHeight()
                                       << " in " << button.getBounds().toString();
    }
}

// Link clicks on the panel while a recording `xdg-open` stands in for the browser.
class PanelLinkTest : public PanelPaintTest
{
protected:
    void SetUp() override
    {
        PanelPaintTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE (browser.isReady());
    }

    juce::StringArray waitForOpened (int count) { return browser.waitForOpened (count, 10000); }

    zarvo::test::RecordingXdgOpen browser;
};

TEST_F (PanelLinkTest, TheShownLinkButtonsOpenTheMakersPagesAndNameThemInTheirTooltips)
{
    struct Link
    {
        int languageId;
        MyImageButton BackgroundComponent::*button;
        const char* address;
        const char* host;
    };
    const Link links[] = {
        { 1, &BackgroundComponent::bilibiliButton, zarvo::makerPages::bilibili, "bilibili.com" },
        { 1, &BackgroundComponent::xiaohongshuButton, zarvo::makerPages::xiaohongshu, "xiaohongshu.com" },
        { 1, &BackgroundComponent::douyinButton, zarvo::makerPages::douyin, "douyin.com" },
        { 2, &BackgroundComponent::instagramButton, zarvo::makerPages::instagram, "instagram.com" },
        { 2, &BackgroundComponent::twitterButton, zarvo::makerPages::twitter, "twitter.com" },
        { 2, &BackgroundComponent::facebookButton, zarvo::makerPages::facebook, "facebook.com" },
    };

    auto& p = makeShownPanel();
    for (const auto& link : links)
        EXPECT_EQ ((p.*link.button).getTooltip(), "") << link.address;

    int opened = 0;
    for (const auto& link : links)
    {
        SCOPED_TRACE (link.address);
        const juce::URL url (link.address);
        EXPECT_TRUE (url.getDomain().endsWith (link.host)) << url.getDomain();
        EXPECT_TRUE (url.toString (true).containsIgnoreCase ("zarvo"));

        selectLanguage (link.languageId);
        paintOnce();
        auto& button = p.*link.button;
        EXPECT_EQ (button.getTooltip(), url.toString (false));

        // A real click where the button shows.
        click (button.getBounds().getCentre());
        const auto lines = waitForOpened (++opened);
        ASSERT_EQ (lines.size(), opened);
        EXPECT_EQ (lines[opened - 1], link.address);
        // One launch for the click, counted as it was handled.
        EXPECT_EQ (browser.launches(), opened);
    }
}

TEST_F (PanelPaintTest, ThePanelFontIsOneSharedFontOfTheEmbeddedTypefaceThatOnlyCopiesChange)
{
    const auto& font = BackgroundComponent::getPanelTypeface();
    EXPECT_EQ (&font, &BackgroundComponent::getPanelTypeface());
    EXPECT_EQ (font.getTypefacePtr().get(), zarvo::getEmbeddedTypeface().get());
    EXPECT_EQ (font.getTypefaceName(), "Source Han Sans SC");
    EXPECT_NE (font.getTypefaceName(), "Source Han Sans CN Medium");

    auto& p = makeShownPanel();
    for (const int languageId : { 2, 1 })
        for (const int heartbeat : { -1, 1 })
        {
            selectLanguage (languageId);
            p.heartbeat = heartbeat;
            paintOnce();
        }
    // The labels have their own heights; the shared font keeps the default one.
    EXPECT_FLOAT_EQ (p.muteTitleLabel.getFont().getHeight(), 32.0f);
    EXPECT_FLOAT_EQ (BackgroundComponent::getPanelTypeface().getHeight(), juce::Font().getHeight());
    EXPECT_EQ (BackgroundComponent::getPanelTypeface().getTypefacePtr().get(), zarvo::getEmbeddedTypeface().get());
    EXPECT_EQ (p.statusLabel.getFont().getTypefacePtr().get(), zarvo::getEmbeddedTypeface().get());
}

TEST_F (PanelPaintTest, EveryPaintEndsWithItsTimingLine)
{
    auto& p = makeShownPanel();
    for (const int languageId : { 1, 2, 0 })
    {
        selectLanguage (languageId);
        log().clear();
        const auto lines = paintOnce();
        ASSERT_EQ (lines.size(), 1u) << "a paint logs nothing but its timing line";
        EXPECT_EQ (lines[0].rfind (timingPrefix, 0), 0u) << lines[0];
    }
    p.infoPanel.requestReset();
    const auto lines = paintOnce();
    EXPECT_GT (lines.size(), 1u);
}
} // namespace
