#include "MessageViewport.h"

#include "EmbeddedTypeface.h"
#include "OutputCapture.h"
#include "XErrors.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace
{
using zarvo::test::LogCapture;

// The panel's nine children, found in the order they became children: after the viewport's own
// content holder and scroll bars.
struct PanelParts
{
    juce::ImageButton* logoButton = nullptr;
    juce::ImageButton* factoryResetButton = nullptr;
    juce::Label* modelCaption = nullptr;
    juce::Label* modelLabel = nullptr;
    juce::Label* firmwareCaption = nullptr;
    juce::Label* firmwareLabel = nullptr;
    juce::Label* languageCaption = nullptr;
    juce::ComboBox* languageBox = nullptr;
    juce::Label* factoryResetLabel = nullptr;

    std::vector<juce::Label*> labels() const
    {
        return { modelCaption, modelLabel, firmwareCaption, firmwareLabel, languageCaption, factoryResetLabel };
    }
};

PanelParts partsOf (MessageViewport& panel)
{
    const int first = panel.getNumChildComponents() - 9;
    auto child = [&] (int i) { return panel.getChildComponent (first + i); };
    PanelParts parts;
    parts.logoButton = dynamic_cast<juce::ImageButton*> (child (0));
    parts.factoryResetButton = dynamic_cast<juce::ImageButton*> (child (1));
    parts.modelCaption = dynamic_cast<juce::Label*> (child (2));
    parts.modelLabel = dynamic_cast<juce::Label*> (child (3));
    parts.firmwareCaption = dynamic_cast<juce::Label*> (child (4));
    parts.firmwareLabel = dynamic_cast<juce::Label*> (child (5));
    parts.languageCaption = dynamic_cast<juce::Label*> (child (6));
    parts.languageBox = dynamic_cast<juce::ComboBox*> (child (7));
    parts.factoryResetLabel = dynamic_cast<juce::Label*> (child (8));
    return parts;
}

std::array<unsigned char, 12> bytesOf (const char (&text)[13])
{
    std::array<unsigned char, 12> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char> (text[i]);
    return bytes;
}

std::string utf8 (const juce::String& text)
{
    return text.toStdString();
}

// Paints the panel (and its children) the way a repaint does.
juce::Image paintPanel (MessageViewport& panel)
{
    return panel.createComponentSnapshot (panel.getLocalBounds(), true, 1.0f);
}

// The alpha the button draws the middle of its image with in the given state.
int imageAlphaInState (juce::ImageButton& button, juce::Button::ButtonState state)
{
    button.setState (state);
    const auto image = button.createComponentSnapshot (button.getLocalBounds(), true, 1.0f);
    button.setState (juce::Button::buttonNormal);
    return image.getPixelAt (button.getWidth() / 2, button.getHeight() / 2).getAlpha();
}

struct StateAlphas
{
    int normal, over, down;
};

StateAlphas imageAlphas (juce::ImageButton& button)
{
    return { imageAlphaInState (button, juce::Button::buttonNormal),
             imageAlphaInState (button, juce::Button::buttonOver),
             imageAlphaInState (button, juce::Button::buttonDown) };
}

constexpr int fullAlpha = 255;
constexpr int dimmedAlpha = 204; // opacity 0.8

void expectAlphas (const StateAlphas& actual, const StateAlphas& expected, const char* when)
{
    EXPECT_NEAR (actual.normal, expected.normal, 1) << when << ": normal image";
    EXPECT_NEAR (actual.over, expected.over, 1) << when << ": over image";
    EXPECT_NEAR (actual.down, expected.down, 1) << when << ": down image";
}

// The labels name no typeface and draw in the default sans-serif one, which the application sets
// to "SimHei" (not on Linux) and then to the embedded typeface.
class MessageViewportTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        auto& lookAndFeel = juce::LookAndFeel::getDefaultLookAndFeel();
        lookAndFeel.setDefaultSansSerifTypefaceName ("SimHei");
        lookAndFeel.setDefaultSansSerifTypeface (zarvo::getEmbeddedTypeface());
    }
};

TEST_F (MessageViewportTest, BuildsItsChildrenInStackingOrderWithoutLogging)
{
    LogCapture log;
    MessageViewport panel;
    EXPECT_EQ (log.text(), "");

    EXPECT_EQ (panel.getWidth(), 223);
    EXPECT_EQ (panel.getHeight(), 360);
    EXPECT_EQ (panel.getResetRequested(), 0);
    EXPECT_EQ (panel.getLanguageId(), 1);

    ASSERT_GE (panel.getNumChildComponents(), 9);
    const auto parts = partsOf (panel);
    ASSERT_NE (parts.logoButton, nullptr);
    ASSERT_NE (parts.factoryResetButton, nullptr);
    for (auto* label : parts.labels())
        ASSERT_NE (label, nullptr);
    ASSERT_NE (parts.languageBox, nullptr);

    // The reset text is the topmost child, above the button it covers.
    EXPECT_EQ (panel.getChildComponent (panel.getNumChildComponents() - 1), parts.factoryResetLabel);

    for (int i = 0; i < panel.getNumChildComponents() - 9; ++i)
        EXPECT_FALSE (panel.getChildComponent (i)->isVisible() && !panel.getChildComponent (i)->getBounds().isEmpty())
            << "the viewport's own child " << i << " shows";

    auto& box = *parts.languageBox;
    ASSERT_EQ (box.getNumItems(), 2);
    EXPECT_EQ (utf8 (box.getItemText (0)), "简体中文");
    EXPECT_EQ (box.getItemId (0), 1);
    EXPECT_EQ (utf8 (box.getItemText (1)), "English");
    EXPECT_EQ (box.getItemId (1), 2);
    EXPECT_EQ (utf8 (box.getText()), "简体中文");
}

TEST_F (MessageViewportTest, DressesEveryComboBoxAndPopupMenuOfTheApplication)
{
    MessageViewport panel;
    auto& lookAndFeel = juce::LookAndFeel::getDefaultLookAndFeel();

    const struct
    {
        int id;
        juce::uint32 argb;
        const char* name;
    } colours[] = {
        { juce::ComboBox::arrowColourId, 0xFF9E9E9E, "arrow" },
        { juce::ComboBox::backgroundColourId, 0xFF1E1E1E, "background" },
        { juce::ComboBox::buttonColourId, 0xFF000000, "button" },
        { juce::ComboBox::focusedOutlineColourId, 0xFF000000, "focused outline" },
        { juce::ComboBox::textColourId, 0xFFFFFFFF, "text" },
        { juce::PopupMenu::highlightedBackgroundColourId, 0xFF0078D7, "menu highlight" },
        { juce::PopupMenu::backgroundColourId, 0xFF1E1E1E, "menu background" },
    };
    // Any other combo box, made after the panel, looks the same.
    juce::ComboBox other;
    for (const auto& colour : colours)
    {
        EXPECT_EQ (lookAndFeel.findColour (colour.id).getARGB(), colour.argb) << colour.name;
        EXPECT_EQ (other.findColour (colour.id).getARGB(), colour.argb) << colour.name;
    }
}

TEST_F (MessageViewportTest, LaysItsChildrenOut)
{
    MessageViewport panel;
    panel.setBounds (360, 13, 220, 360);
    const auto parts = partsOf (panel);

    const struct
    {
        juce::Component* child;
        juce::Rectangle<int> bounds;
        const char* name;
    } layout[] = {
        { parts.logoButton, { 25, 30, 168, 56 }, "logoButton" },
        { parts.modelCaption, { 25, 100, 200, 24 }, "modelCaption" },
        { parts.firmwareCaption, { 25, 130, 200, 24 }, "firmwareCaption" },
        { parts.languageCaption, { 25, 160, 200, 24 }, "languageCaption" },
        { parts.languageBox, { 110, 160, 110, 24 }, "languageBox" },
        { parts.modelLabel, { 110, 100, 200, 24 }, "modelLabel" },
        { parts.firmwareLabel, { 110, 130, 200, 24 }, "firmwareLabel" },
        { parts.factoryResetButton, { 25, 200, 200, 28 }, "factoryResetButton" },
        { parts.factoryResetLabel, { 71, 200, 100, 28 }, "factoryResetLabel" },
    };
    for (const auto& row : layout)
        EXPECT_EQ (row.child->getBounds(), row.bounds) << row.name;
}

struct DeviceInfoCase
{
    const char* name;
    char bytes[13];
    const char* model;   // UTF-8
    const char* version; // UTF-8
};

const DeviceInfoCase deviceInfoCases[] = {
    // Byte 4 (the separator) and byte 11 show nowhere.
    { "no zero byte", "KTQ7-V1.0.3Z", "KTQ7", "V1.0.3" },
    { "zero byte at position 2",
      "KT\0"
      "7-V1.0.3Z",
      "KT", "V1.0.3" },
    { "zero byte inside the version",
      "KTQ7-V1\0"
      "0.3Z",
      "KTQ7", "V1" },
    { "all zeros", "\0\0\0\0\0\0\0\0\0\0\0\0", "", "" },
    { "byte 0xC8 as ISO 8859-1", "K\xC8Q7-V1.0.\xC8Z", "K\xC3\x88Q7", "V1.0.\xC3\x88" },
};

TEST_F (MessageViewportTest, SetDeviceInfoShowsAndLogsModelAndVersion)
{
    for (const auto& c : deviceInfoCases)
    {
        SCOPED_TRACE (c.name);
        MessageViewport panel;
        const auto parts = partsOf (panel);
        const auto bytes = bytesOf (c.bytes);

        LogCapture log;
        panel.setDeviceInfo (bytes.data());

        EXPECT_EQ (utf8 (parts.modelLabel->getText()), c.model);
        EXPECT_EQ (utf8 (parts.firmwareLabel->getText()), c.version);
        const std::vector<std::string> expected{
            "=============================",
            std::string ("deviceNameStr: ") + c.model,
            std::string ("deviceVersionStr: ") + c.version,
            "=============================",
        };
        EXPECT_EQ (log.lines(), expected);
    }
}

TEST_F (MessageViewportTest, SecondSetDeviceInfoReplacesBothTextsAndLogsAgain)
{
    MessageViewport panel;
    const auto parts = partsOf (panel);
    const auto first = bytesOf ("KTQ7-V1.0.3Z");
    const auto second = bytesOf ("AB\0"
                                 "D-V2.1\0"
                                 "..");
    panel.setDeviceInfo (first.data());

    LogCapture log;
    panel.setDeviceInfo (second.data());

    EXPECT_EQ (utf8 (parts.modelLabel->getText()), "AB");
    EXPECT_EQ (utf8 (parts.firmwareLabel->getText()), "V2.1");
    const std::vector<std::string> expected{ "=============================", "deviceNameStr: AB",
                                             "deviceVersionStr: V2.1", "=============================" };
    EXPECT_EQ (log.lines(), expected);

    // A paint keeps showing what the last call gave.
    paintPanel (panel);
    EXPECT_EQ (utf8 (parts.modelLabel->getText()), "AB");
    EXPECT_EQ (utf8 (parts.firmwareLabel->getText()), "V2.1");
}

TEST_F (MessageViewportTest, PaintGivesCaptionsValuePositionsAndButtonTextPerLanguage)
{
    MessageViewport panel;
    panel.setBounds (360, 13, 220, 360);
    const auto parts = partsOf (panel);
    const auto info = bytesOf ("KTQ7-V1.0.3Z");
    panel.setDeviceInfo (info.data());

    struct Expected
    {
        int languageId;
        const char* model;
        const char* firmware;
        const char* language;
        const char* reset;
        int modelX;
        int firmwareX;
    };
    const Expected chinese{ 1, "产品型号:", "固件版本:", "语言切换:", "恢复出厂设置", 110, 110 };
    const Expected english{ 2, "Product model:", "Firmware version:", "Language:", "Factory Reset", 145, 165 };

    auto expectLanguage = [&] (const Expected& e)
    {
        SCOPED_TRACE (e.languageId);
        EXPECT_EQ (panel.getLanguageId(), e.languageId);
        EXPECT_EQ (utf8 (parts.modelCaption->getText()), e.model);
        EXPECT_EQ (utf8 (parts.firmwareCaption->getText()), e.firmware);
        EXPECT_EQ (utf8 (parts.languageCaption->getText()), e.language);
        EXPECT_EQ (utf8 (parts.factoryResetLabel->getText()), e.reset);
        EXPECT_EQ (parts.modelLabel->getBounds(), juce::Rectangle<int> (e.modelX, 100, 200, 24));
        EXPECT_EQ (parts.firmwareLabel->getBounds(), juce::Rectangle<int> (e.firmwareX, 130, 200, 24));
        EXPECT_EQ (parts.factoryResetButton->getButtonText(), "Factory Reset");
    };

    LogCapture log;
    paintPanel (panel);
    expectLanguage (chinese);

    // The choice takes effect at the next paint, not before.
    parts.languageBox->setSelectedId (2, juce::dontSendNotification);
    EXPECT_EQ (utf8 (parts.modelCaption->getText()), chinese.model);
    EXPECT_EQ (parts.modelLabel->getX(), 110);
    paintPanel (panel);
    expectLanguage (english);

    // No selection is no language: everything stays as the last paint left it.
    parts.languageBox->setSelectedId (0, juce::dontSendNotification);
    paintPanel (panel);
    EXPECT_EQ (panel.getLanguageId(), 0);
    EXPECT_EQ (utf8 (parts.modelCaption->getText()), english.model);
    EXPECT_EQ (parts.modelLabel->getX(), 145);
    EXPECT_EQ (parts.firmwareLabel->getX(), 165);

    parts.languageBox->setSelectedId (1, juce::dontSendNotification);
    paintPanel (panel);
    expectLanguage (chinese);

    EXPECT_EQ (log.text(), "") << "paint writes no log line";
}

TEST_F (MessageViewportTest, SetDeviceInfoPlacesTheValuesForTheCurrentLanguage)
{
    MessageViewport panel;
    const auto parts = partsOf (panel);
    parts.languageBox->setSelectedId (2, juce::dontSendNotification);
    const auto info = bytesOf ("KTQ7-V1.0.3Z");

    // Before the panel was ever painted.
    panel.setDeviceInfo (info.data());
    EXPECT_EQ (parts.modelLabel->getX(), 145);
    EXPECT_EQ (parts.firmwareLabel->getX(), 165);
}

TEST_F (MessageViewportTest, EveryLabelHasThePlainHeight16DefaultSansSerifFont)
{
    MessageViewport panel;
    const auto parts = partsOf (panel);
    const auto info = bytesOf ("KTQ7-V1.0.3Z");
    panel.setDeviceInfo (info.data());

    for (int languageId : { 1, 2 })
    {
        parts.languageBox->setSelectedId (languageId, juce::dontSendNotification);
        paintPanel (panel);
        for (auto* label : parts.labels())
        {
            SCOPED_TRACE (utf8 (label->getText()));
            const auto font = label->getFont();
            EXPECT_FLOAT_EQ (font.getHeight(), 16.0f);
            EXPECT_EQ (font.getStyleFlags(), juce::Font::plain);
            EXPECT_EQ (font.getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
        }
    }
}

TEST_F (MessageViewportTest, PaintFillsTheBackgroundAndSetsTheImages)
{
    MessageViewport panel;
    panel.setBounds (360, 13, 220, 360);
    const auto parts = partsOf (panel);

    const auto shot = paintPanel (panel);
    EXPECT_EQ (shot.getPixelAt (5, 5).getARGB(), 0xFF1E1E1Eu);
    EXPECT_EQ (shot.getPixelAt (110, 300).getARGB(), 0xFF1E1E1Eu);

    // The buttons keep their own sizes; the images are scaled into them.
    const auto logo = parts.logoButton->getNormalImage();
    ASSERT_TRUE (logo.isValid());
    EXPECT_EQ (logo.getBounds(), juce::Rectangle<int> (0, 0, 168, 56));
    EXPECT_EQ (parts.logoButton->getBounds(), juce::Rectangle<int> (25, 30, 168, 56));

    const auto reset = parts.factoryResetButton->getNormalImage();
    ASSERT_TRUE (reset.isValid());
    EXPECT_EQ (reset.getBounds(), juce::Rectangle<int> (0, 0, 158, 25));
    EXPECT_EQ (parts.factoryResetButton->getBounds(), juce::Rectangle<int> (25, 200, 200, 28));

    // The cache hands out one decoded image per block, however often the panel paints.
    paintPanel (panel);
    EXPECT_EQ (parts.logoButton->getNormalImage(), logo);
    EXPECT_EQ (parts.factoryResetButton->getNormalImage(), reset);

    expectAlphas (imageAlphas (*parts.factoryResetButton), { fullAlpha, dimmedAlpha, fullAlpha }, "after a paint");
    expectAlphas (imageAlphas (*parts.logoButton), { fullAlpha, fullAlpha, fullAlpha }, "logo");
}

// The panel over a click catcher in a real window, driven through the window's peer: the events
// take JUCE's own hit testing, enter and exit tracking and button logic.
class MessageViewportWindowTest : public MessageViewportTest
{
protected:
    static void SetUpTestSuite()
    {
        MessageViewportTest::SetUpTestSuite();
        zarvo::test::ignoreXErrors();
    }

    struct ClickCatcher : juce::Component
    {
        int presses = 0;
        void mouseDown (const juce::MouseEvent&) override { ++presses; }
    };

    struct Host : juce::Component
    {
        ClickCatcher catcher;
        MessageViewport panel;

        Host()
        {
            addAndMakeVisible (catcher);
            addAndMakeVisible (panel);
            setBounds (0, 0, 400, 400);
        }

        void resized() override
        {
            catcher.setBounds (getLocalBounds());
            panel.setBounds (panelOrigin.x, panelOrigin.y, 220, 360);
        }
    };

    static constexpr juce::Point<int> panelOrigin{ 20, 10 };

    void SetUp() override
    {
        host.addToDesktop (0);
        host.setVisible (true);
        peer = host.getPeer();
        ASSERT_NE (peer, nullptr);
        parts = partsOf (host.panel);
        paintPanel (host.panel);
        // Start with the pointer off the window.
        move ({ -50, -50 });
    }

    void TearDown() override
    {
        move ({ -50, -50 });
        host.removeFromDesktop();
    }

    void send (juce::Point<int> panelPoint, juce::ModifierKeys mods)
    {
        const auto p = (panelPoint + panelOrigin).toFloat();
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, p, mods,
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                                juce::Time::currentTimeMillis());
    }

    void move (juce::Point<int> panelPoint) { send (panelPoint, juce::ModifierKeys()); }
    void press (juce::Point<int> panelPoint)
    {
        move (panelPoint);
        send (panelPoint, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
    }
    void release (juce::Point<int> panelPoint) { send (panelPoint, juce::ModifierKeys()); }
    void click (juce::Point<int> panelPoint)
    {
        press (panelPoint);
        release (panelPoint);
    }

    // Points of the panel, in its own coordinates.
    static constexpr juce::Point<int> onResetText{ 120, 214 };
    static constexpr juce::Point<int> onResetButtonBesideText{ 45, 214 };
    static constexpr juce::Point<int> onLogo{ 100, 60 };

    Host host;
    juce::ComponentPeer* peer = nullptr;
    PanelParts parts;
};

TEST_F (MessageViewportWindowTest, ClicksOnTheResetButtonLeaveOneRequest)
{
    press (onResetButtonBesideText);
    EXPECT_EQ (host.panel.getResetRequested(), 0) << "the button acts on release";
    release (onResetButtonBesideText);
    EXPECT_EQ (host.panel.getResetRequested(), 1);

    click (onResetButtonBesideText);
    EXPECT_EQ (host.panel.getResetRequested(), 1);

    host.panel.clearResetRequest();
    EXPECT_EQ (host.panel.getResetRequested(), 0);
    click (onResetButtonBesideText);
    EXPECT_EQ (host.panel.getResetRequested(), 1);
    EXPECT_EQ (host.catcher.presses, 0);
}

TEST_F (MessageViewportWindowTest, PressOnTheResetTextRequestsBeforeTheRelease)
{
    press (onResetText);
    EXPECT_EQ (host.panel.getResetRequested(), 1);
    release (onResetText);
    EXPECT_EQ (host.panel.getResetRequested(), 1);

    press (onResetText);
    release (onResetText);
    EXPECT_EQ (host.panel.getResetRequested(), 1);
    EXPECT_EQ (host.catcher.presses, 0);
}

TEST_F (MessageViewportWindowTest, HoverOnTheResetTextDimsTheButtonUntilTheNextPaintAfterLeaving)
{
    auto& button = *parts.factoryResetButton;
    expectAlphas (imageAlphas (button), { fullAlpha, dimmedAlpha, fullAlpha }, "before the hover");

    {
        LogCapture log;
        move (onResetText);
        EXPECT_EQ (log.lines(), std::vector<std::string>{ "=============LabelListenrProxy is in================" });
    }
    expectAlphas (imageAlphas (button), { dimmedAlpha, dimmedAlpha, dimmedAlpha }, "on the text");

    // Paints while the pointer rests on the text leave the dimmed images in place.
    paintPanel (host.panel);
    expectAlphas (imageAlphas (button), { dimmedAlpha, dimmedAlpha, dimmedAlpha }, "painted while on the text");

    {
        LogCapture log;
        move (onLogo);
        EXPECT_EQ (log.lines(), std::vector<std::string>{ "=============LabelListenrProxy is out================" });
    }
    expectAlphas (imageAlphas (button), { dimmedAlpha, dimmedAlpha, dimmedAlpha }, "off the text, not painted yet");

    paintPanel (host.panel);
    expectAlphas (imageAlphas (button), { fullAlpha, dimmedAlpha, fullAlpha }, "off the text, painted");
}

TEST_F (MessageViewportWindowTest, MovesOverOtherChildrenLogNothing)
{
    LogCapture log;
    move (onLogo);
    move (onResetButtonBesideText);
    move ({ 100, 112 }); // model row
    move ({ -50, -50 });
    EXPECT_EQ (log.text(), "");
}

TEST_F (MessageViewportWindowTest, ClicksOnTheBackgroundReachWhatLiesBeneath)
{
    const struct
    {
        juce::Point<int> point;
        const char* where;
    } background[] = {
        { { 100, 10 }, "above the logo" },
        { { 10, 60 }, "left of the logo" },
        { { 100, 127 }, "between the model and firmware rows" },
        { { 100, 192 }, "between the language row and the reset control" },
        { { 100, 300 }, "below the reset control" },
    };

    int expected = 0;
    for (const auto& b : background)
    {
        click (b.point);
        EXPECT_EQ (host.catcher.presses, ++expected) << b.where;
    }

    click (onLogo);
    EXPECT_EQ (host.catcher.presses, expected) << "the logo takes its click";
    EXPECT_EQ (host.panel.getResetRequested(), 0) << "and does nothing with it";
}

// Renders the panel in each language into a PNG beside the test (information-panel-<language>.png)
// and checks that every caption, the model and the version put glyphs on the dark background.
TEST_F (MessageViewportTest, EveryTextIsDrawnInBothLanguages)
{
    MessageViewport panel;
    panel.setBounds (360, 13, 220, 360);
    const auto parts = partsOf (panel);
    const auto info = bytesOf ("KTQ7-V1.0.3Z");
    panel.setDeviceInfo (info.data());

    for (const auto& [languageId, name] : { std::pair<int, const char*>{ 1, "chinese" }, { 2, "english" } })
    {
        SCOPED_TRACE (name);
        parts.languageBox->setSelectedId (languageId, juce::dontSendNotification);
        paintPanel (panel); // the captions and positions follow the language from this paint on
        const auto shot = paintPanel (panel);

        const auto file =
            juce::File::getCurrentWorkingDirectory().getChildFile (juce::String ("information-panel-") + name + ".png");
        file.deleteFile();
        juce::FileOutputStream out (file);
        ASSERT_TRUE (out.openedOk());
        juce::PNGImageFormat().writeImageToStream (shot, out);

        for (auto* label : parts.labels())
        {
            SCOPED_TRACE (utf8 (label->getText()));
            const auto area = label->getBounds().getIntersection (panel.getLocalBounds());
            int bright = 0;
            for (int y = area.getY(); y < area.getBottom(); ++y)
                for (int x = area.getX(); x < area.getRight(); ++x)
                {
                    // Near white: the text colour, and neither the dark fill nor the orange bar.
                    const auto c = shot.getPixelAt (x, y);
                    if (c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200)
                        ++bright;
                }
            EXPECT_GT (bright, 20);
        }
    }
}
} // namespace
