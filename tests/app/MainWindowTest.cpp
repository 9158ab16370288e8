// The main window, its content and the default typeface, built in this process and painted into
// images: geometry, the framework's hidden buttons, the painted title band and the log lines.
#include "MainWindow.h"
#include "BaseComponent.h"
#include "BinaryData.h"
#include "DefaultSansSerif.h"
#include "EmbeddedTypeface.h"
#include "MainComponent.h"
#include "OutputCapture.h"
#include "PaintCadence.h"
#include "PanelTest.h"
#include "PollUntil.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <juce_gui_basics/juce_gui_basics.h>

// Xlib last: its macros collide with JUCE's names.
#include "XErrors.h"

namespace
{
using zarvo::test::LogCapture;

const juce::Colour orange (0xFFFFAB21);
const juce::Colour backdrop (0xFF1E1E1E);

// Numbers of the log lines that start with the prefix, in order.
std::vector<juce::int64> loggedNumbers (const LogCapture& log, const std::string& prefix)
{
    std::vector<juce::int64> numbers;
    for (const auto& line : log.lines())
        if (line.rfind (prefix, 0) == 0)
            numbers.push_back (std::stoll (line.substr (prefix.size())));
    return numbers;
}

juce::Image snapshot (juce::Component& component)
{
    return component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f)
        .convertedToFormat (juce::Image::ARGB);
}

std::vector<juce::ImageButton*> ownButtons (juce::Component& window)
{
    std::vector<juce::ImageButton*> buttons;
    for (auto* child : window.getChildren())
        if (auto* button = dynamic_cast<juce::ImageButton*> (child))
            buttons.push_back (button);
    return buttons;
}

bool sameImage (const juce::Image& a, const juce::Image& b)
{
    return a.getPixelData() == b.getPixelData();
}

// The window's control panel opens the virtual KT-Q7TR that the fixture starts.
class MainWindowTest : public zarvo::test::PanelTest
{
protected:
    static void SetUpTestSuite()
    {
        zarvo::test::ignoreXErrors();
        zarvo::setSimHeiAsDefaultSansSerif (juce::Desktop::getInstance().getDefaultLookAndFeel());
    }

    void SetUp() override
    {
        PanelTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        log = std::make_unique<LogCapture>();
        {
            zarvo::test::StdoutCapture printed; // the opening's picture of the device
            window = std::make_unique<ZarvoQ7TRApplication::MainWindow> ("ZarvoQ7TR");
        }
        closeAfterTest (panelIn (*window->getContentComponent()));
    }

    void TearDown() override
    {
        window = nullptr;
        log = nullptr;
        PanelTest::TearDown();
    }

    std::unique_ptr<LogCapture> log;
    std::unique_ptr<ZarvoQ7TRApplication::MainWindow> window;
};

// A main component, or a window of the test's own, beside the virtual KT-Q7TR.
using MainComponentTest = zarvo::test::PanelTest;
} // namespace

TEST_F (MainWindowTest, StandsCentredAtItsFixedSizeWithoutNameOrResizer)
{
    const auto screen = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;

    EXPECT_EQ (window->getWidth(), 622);
    EXPECT_EQ (window->getHeight(), 765);
    EXPECT_EQ (window->getX(), screen.getCentreX() - 311);
    EXPECT_EQ (window->getY(), screen.getCentreY() - 382);
    EXPECT_TRUE (window->isOnDesktop());
    EXPECT_TRUE (window->isVisible());
    EXPECT_FALSE (window->isUsingNativeTitleBar());
    EXPECT_FALSE (window->isResizable());
    EXPECT_EQ (window->getName(), "");
    EXPECT_EQ (window->getTitleBarHeight(), 62);
    EXPECT_EQ (window->getTitleBarArea(), juce::Rectangle<int> (1, 1, 620, 62));

    // The content asks for 620 x 737 but ends where the taller title bar leaves it.
    ASSERT_NE (window->getContentComponent(), nullptr);
    EXPECT_EQ (window->getContentComponent()->getBounds(), juce::Rectangle<int> (1, 63, 620, 701));
}

TEST_F (MainWindowTest, FrameworkButtonsStayHiddenAndOnlyOwnButtonsShow)
{
    const auto checkButtons = [this] (const char* when)
    {
        SCOPED_TRACE (when);
        ASSERT_NE (window->getMinimiseButton(), nullptr);
        ASSERT_NE (window->getCloseButton(), nullptr);
        EXPECT_EQ (window->getMaximiseButton(), nullptr);
        EXPECT_FALSE (window->getMinimiseButton()->isVisible());
        EXPECT_FALSE (window->getCloseButton()->isVisible());

        const auto buttons = ownButtons (*window);
        ASSERT_EQ (buttons.size(), 2u);
        EXPECT_EQ (buttons[0]->getBounds(), juce::Rectangle<int> (510, 18, 30, 30));
        EXPECT_EQ (buttons[1]->getBounds(), juce::Rectangle<int> (571, 18, 30, 30));
        EXPECT_TRUE (buttons[0]->isVisible());
        EXPECT_TRUE (buttons[1]->isVisible());
    };

    checkButtons ("after construction");

    window->resized();
    checkButtons ("after a layout pass");

    // A new look-and-feel makes the framework create its buttons anew.
    juce::LookAndFeel_V2 otherLook;
    window->setLookAndFeel (&otherLook);
    checkButtons ("after a change of look-and-feel");
    window->setLookAndFeel (nullptr);
    checkButtons ("after the look-and-feel is reset");
}

TEST_F (MainWindowTest, DoubleClickOnTheTitleBandChangesNothing)
{
    const auto before = window->getBounds();
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const juce::MouseEvent click (source, { 300.0f, 30.0f }, juce::ModifierKeys::leftButtonModifier,
                                  juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, window.get(),
                                  window.get(), juce::Time::getCurrentTime(), { 300.0f, 30.0f },
                                  juce::Time::getCurrentTime(), 2, false);
    window->mouseDoubleClick (click);

    EXPECT_EQ (window->getBounds(), before);
    EXPECT_FALSE (window->isFullScreen());
    EXPECT_FALSE (window->isMinimised());
}

TEST_F (MainWindowTest, PaintDrawsTheOrangeBandTheLogoAndTheBackdrop)
{
    // Under X without a window manager the window under the pointer holds the focus: either state
    // may come, and the logo's opacity follows it.
    const auto active = window->isActiveWindow();
    const auto image = snapshot (*window);
    const juce::Rectangle<int> logoArea (8, 11, 120, 40);

    int logoPixels = 0;
    int brightestBlue = 0;
    for (int y = 0; y < 62; ++y)
    {
        for (int x = 0; x < 622; ++x)
        {
            const auto pixel = image.getPixelAt (x, y);
            const bool inButton = juce::Rectangle<int> (510, 18, 30, 30).contains (x, y) ||
                                  juce::Rectangle<int> (571, 18, 30, 30).contains (x, y);
            if (logoArea.contains (x, y))
            {
                logoPixels += pixel != orange ? 1 : 0;
                brightestBlue = std::max (brightestBlue, (int)pixel.getBlue());
            }
            else if (!inButton && pixel != orange)
            {
                FAIL() << "not orange at (" << x << ", " << y << "): " << pixel.toDisplayString (true);
            }
        }
    }
    EXPECT_GT (logoPixels, 200);
    // White at 60 % over orange: the blue channel reaches about 33 + 0.6 * 222.
    EXPECT_NEAR (brightestBlue, active ? 255 : 166, 4);

    EXPECT_EQ (image.getPixelAt (11, 98), backdrop);
    EXPECT_EQ (image.getPixelAt (610, 641), backdrop);
    EXPECT_EQ (image.getPixelAt (10, 98), juce::Colour (0xFF000000));
    EXPECT_EQ (image.getPixelAt (611, 642), juce::Colour (0xFF000000));
}

TEST_F (MainWindowTest, PaintGivesTheOwnButtonsTheirImages)
{
    snapshot (*window);
    const auto buttons = ownButtons (*window);
    ASSERT_EQ (buttons.size(), 2u);

    struct Case
    {
        juce::ImageButton* button;
        const char *normal, *over, *down;
        int normalSize, overSize, downSize;
    };
    const Case cases[] = {
        { buttons[0], BinaryData::minimiseBtn01_png, BinaryData::minimiseBtn02_png, BinaryData::minimiseBtn03_png,
          BinaryData::minimiseBtn01_pngSize, BinaryData::minimiseBtn02_pngSize, BinaryData::minimiseBtn03_pngSize },
        { buttons[1], BinaryData::closeBtn01_png, BinaryData::closeBtn02_png, BinaryData::closeBtn03_png,
          BinaryData::closeBtn01_pngSize, BinaryData::closeBtn02_pngSize, BinaryData::closeBtn03_pngSize },
    };
    for (const auto& c : cases)
    {
        EXPECT_TRUE (sameImage (c.button->getNormalImage(), juce::ImageCache::getFromMemory (c.normal, c.normalSize)));
        EXPECT_TRUE (sameImage (c.button->getOverImage(), juce::ImageCache::getFromMemory (c.over, c.overSize)));
        EXPECT_TRUE (sameImage (c.button->getDownImage(), juce::ImageCache::getFromMemory (c.down, c.downSize)));
        // The images are scaled to the button, not the button to the images; the whole button
        // takes the mouse.
        EXPECT_EQ (c.button->getBounds().getWidth(), 30);
        EXPECT_TRUE (static_cast<juce::Component*> (c.button)->hitTest (0, 0));
    }
    EXPECT_EQ (window->getBackgroundColour(), juce::Colour (0xFF000000));
}

TEST_F (MainWindowTest, PaintLinesKeepComingWhileTheWindowStands)
{
    const auto letTimePass = [] { juce::MessageManager::getInstance()->runDispatchLoopUntil (10); };
    for (const std::string prefix : { "Main::paint time: ", "MainComponent::paint time: " })
    {
        SCOPED_TRACE (prefix);
        const auto cadence =
            zarvo::test::watchPaints ([&] { return (int)loggedNumbers (*log, prefix).size(); }, letTimePass, 20);
        EXPECT_GE (cadence.paints, 20);
        EXPECT_LT (cadence.longestGap.count(), zarvo::test::paintGapLimit.count()) << "ms without a paint";
    }
    // The window's figure is how long its paint took.
    for (auto ms : loggedNumbers (*log, "Main::paint time: "))
        EXPECT_LT (ms, 1000);
}

TEST_F (MainComponentTest, FirstPaintLogsTheCounterItselfThenTheIntervals)
{
    LogCapture log;
    MainComponent component;
    closeAfterTest (panelIn (component));
    EXPECT_EQ (component.getWidth(), 620);
    EXPECT_EQ (component.getHeight(), 737);

    const auto before = juce::Time::getMillisecondCounter();
    snapshot (component);
    const auto after = juce::Time::getMillisecondCounter();
    juce::Thread::sleep (20);
    snapshot (component);

    const auto numbers = loggedNumbers (log, "MainComponent::paint time: ");
    ASSERT_EQ (numbers.size(), 2u);
    EXPECT_GE (numbers[0], (juce::int64)before);
    EXPECT_LE (numbers[0], (juce::int64)after);
    EXPECT_GE (numbers[1], 20);
    EXPECT_LT (numbers[1], 1000);
}

TEST_F (MainComponentTest, BackdropAndPanelKeepTheirBoundsWhateverTheComponentSize)
{
    MainComponent component;
    auto& panel = closeAfterTest (panelIn (component));
    for (auto size : { juce::Point<int> (620, 701), juce::Point<int> (620, 737), juce::Point<int> (300, 200) })
    {
        component.setSize (size.x, size.y);
        ASSERT_EQ (component.getNumChildComponents(), 2);
        EXPECT_EQ (component.getChildComponent (0)->getBounds(), juce::Rectangle<int> (10, 35, 600, 604));
        // The panel lies above the backdrop, larger than the window: the window clips it.
        EXPECT_EQ (component.getChildComponent (1), &panel);
        EXPECT_EQ (panel.getBounds(), juce::Rectangle<int> (0, 0, 1000, 972));
    }

    component.setSize (620, 701);
    const auto image = snapshot (component);
    EXPECT_EQ (image.getPixelAt (10, 35), backdrop);
    EXPECT_EQ (image.getPixelAt (609, 638), backdrop);
    EXPECT_EQ (image.getPixelAt (9, 35), juce::Colour (0xFF000000));
    EXPECT_EQ (image.getPixelAt (10, 639), juce::Colour (0xFF000000));
}

TEST (BaseComponentTest, FillsItsWholeArea)
{
    BaseComponent base;
    base.setSize (7, 5);
    const auto image = snapshot (base);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ (image.getPixelAt (x, y), backdrop);
}

namespace
{
// The outline that the typeface of fonts naming no typeface draws for the character. JUCE draws a
// character the typeface lacks with the typeface's "missing glyph" box, which counts as ink too.
juce::String defaultOutline (juce::juce_wchar character)
{
    auto typeface = juce::Desktop::getInstance().getDefaultLookAndFeel().getTypefaceForFont (juce::Font (24.0f));
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    typeface->getGlyphPositions (juce::String::charToString (character), glyphs, offsets);
    juce::Path outline;
    if (!glyphs.isEmpty())
        typeface->getOutlineForGlyph (glyphs.getFirst(), outline);
    return outline.toString();
}

// True when every visible character of the text has a glyph of its own.
bool defaultTypefaceCovers (const juce::String& text)
{
    const auto missing = defaultOutline (0x10FFFD); // a private-use code point no font covers
    for (auto c : text)
        if (!juce::CharacterFunctions::isWhitespace (c) && defaultOutline (c) == missing)
            return false;
    return true;
}

// Glyph pixels that a label, whose font names no typeface, draws for the text.
int labelInkPixels (const juce::String& text)
{
    juce::Label label ({}, text);
    label.setColour (juce::Label::backgroundColourId, juce::Colours::black);
    label.setColour (juce::Label::textColourId, juce::Colours::white);
    label.setFont (juce::Font (24.0f));
    label.setBounds (0, 0, 300, 40);
    const auto image = snapshot (label);

    int ink = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            ink += image.getPixelAt (x, y).getBrightness() > 0.5f ? 1 : 0;
    return ink;
}
} // namespace

TEST (DefaultSansSerifTest, LabelsWithoutTypefaceDrawChineseAndLatin)
{
    auto& lookAndFeel = juce::Desktop::getInstance().getDefaultLookAndFeel();
    zarvo::setSimHeiAsDefaultSansSerif (lookAndFeel);

    if (!juce::Font::findAllTypefaceNames().contains ("SimHei"))
    {
        EXPECT_EQ (lookAndFeel.getTypefaceForFont (juce::Font (12.0f)), zarvo::getEmbeddedTypeface());
    }

    for (const auto* text : { u8"中文", "Latin", u8"降噪 Noise 65%" })
    {
        SCOPED_TRACE (text);
        EXPECT_GT (labelInkPixels (juce::String::fromUTF8 (text)), 20);
        EXPECT_TRUE (defaultTypefaceCovers (juce::String::fromUTF8 (text)));
    }
}

TEST (DefaultSansSerifTest, SettingSimHeiAgainKeepsTheTypeface)
{
    auto& lookAndFeel = juce::Desktop::getInstance().getDefaultLookAndFeel();
    zarvo::setSimHeiAsDefaultSansSerif (lookAndFeel);
    const auto first = lookAndFeel.getTypefaceForFont (juce::Font (12.0f));

    lookAndFeel.setDefaultSansSerifTypefaceName ("SimHei");
    EXPECT_EQ (lookAndFeel.getTypefaceForFont (juce::Font (12.0f)), first);
    zarvo::setSimHeiAsDefaultSansSerif (lookAndFeel);
    EXPECT_EQ (lookAndFeel.getTypefaceForFont (juce::Font (12.0f)), first);
    EXPECT_GT (labelInkPixels ("ZarvoQ7TR"), 20);
}

namespace
{
// Counts what the window's own buttons ask the window to do, in place of minimising and quitting.
struct CountingWindow : ZarvoQ7TRApplication::MainWindow
{
    CountingWindow() : MainWindow ("ZarvoQ7TR") {}
    void minimiseButtonPressed() override { ++minimised; }
    void closeButtonPressed() override { ++closed; }
    int minimised = 0;
    int closed = 0;
};
} // namespace

using MainWindowButtonsTest = zarvo::test::PanelTest;

TEST_F (MainWindowButtonsTest, MinimiseButtonMinimisesAndCloseButtonCloses)
{
    CountingWindow window;
    closeAfterTest (panelIn (*window.getContentComponent()));
    const auto buttons = ownButtons (window);
    ASSERT_EQ (buttons.size(), 2u);

    // A click reaches the button through the message loop.
    buttons[0]->triggerClick();
    EXPECT_TRUE (zarvo::test::runMessageLoopUntil ([&window] { return window.minimised > 0; }));
    EXPECT_EQ (window.minimised, 1);
    EXPECT_EQ (window.closed, 0);

    buttons[1]->triggerClick();
    EXPECT_TRUE (zarvo::test::runMessageLoopUntil ([&window] { return window.closed > 0; }));
    EXPECT_EQ (window.minimised, 1);
    EXPECT_EQ (window.closed, 1);
}
