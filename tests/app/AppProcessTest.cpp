// The real application in its own process, on an X display of its own: the window as the X server
// sees it (geometry, title, icon, pixels of a screenshot, focus), the buttons driven by the pointer,
// the single-instance rule and the log lines on standard error. No microphone is listed to it (the
// enumeration preload lists nothing), so its control panel lies under the mask. And the launcher's
// refusal to start the app where the machine's devices or hotplug events could reach it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "AppUnderTest.h"
#include "PaintCadence.h"
#include "PollUntil.h"
#include "UdevEventInjector.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <regex>
#include <stdexcept>
#include <sys/wait.h>

// Xlib last: its macros collide with JUCE's names.
#include <X11/Xlib.h>

namespace
{
using zarvo::test::AppUnderTest;
using zarvo::test::runCommand;

class AppProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZARVO_REQUIRE (zarvo::test::displayAvailable() ? std::string() : "no X display (run under xvfb-run)");
    }

    // The app as the other app tests start it, with no microphone to list.
    static AppUnderTest::Launch launch()
    {
        AppUnderTest::Launch launch;
        launch.appPath = ZARVO_APP_PATH;
        launch.preloadPath = ZARVO_PRELOAD_PATH;
        return launch;
    }

    static std::unique_ptr<AppUnderTest> start() { return std::make_unique<AppUnderTest> (launch()); }
};

// Every line the app wrote to standard error, those the timers and paints write all the time
// included.
juce::StringArray allLogLines (const AppUnderTest& app)
{
    return juce::StringArray::fromLines (app.errorFile().loadFileAsString());
}

// A desktop's window manager creates the atoms of the window-manager protocols long before any
// application starts; JUCE offers the close protocol only when the atom already exists. On a bare
// Xvfb this stands in for the window manager. The connection stays open so that the server keeps
// its atoms.
void createWindowManagerAtoms()
{
    static Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return;
    for (const char* name : { "WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "_NET_WM_PING", "WM_CHANGE_STATE" })
        XInternAtom (display, name, False);
    XSync (display, False);
}

// The close request that a taskbar or a window manager sends: WM_DELETE_WINDOW.
bool sendCloseRequest (const std::string& window)
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = (::Window)std::stoul (window);
    event.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom (display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    const auto sent = XSendEvent (display, event.xclient.window, False, NoEventMask, &event) != 0;
    XFlush (display);
    XCloseDisplay (display);
    return sent;
}

const juce::Colour orange (0xFFFFAB21);
const juce::Rectangle<int> logoArea (8, 11, 120, 40);

struct BandReport
{
    int strayPixels = 0; // not orange, outside the logo and the two buttons
    int logoPixels = 0;  // not orange, inside the logo's area
    int brightestBlue = 0;
    bool hasWhite = false;
};

BandReport examineBand (const juce::Image& shot)
{
    BandReport report;
    for (int y = 0; y < 62; ++y)
        for (int x = 0; x < shot.getWidth(); ++x)
        {
            const auto pixel = shot.getPixelAt (x, y);
            if (logoArea.contains (x, y))
            {
                report.logoPixels += pixel != orange ? 1 : 0;
                report.brightestBlue = std::max (report.brightestBlue, (int)pixel.getBlue());
                report.hasWhite = report.hasWhite || pixel == juce::Colours::white;
            }
            else if (!juce::Rectangle<int> (510, 18, 91, 30).contains (x, y))
            {
                report.strayPixels += pixel != orange ? 1 : 0;
            }
        }
    return report;
}

int countLinesStartingWith (const juce::StringArray& lines, const juce::String& prefix)
{
    int count = 0;
    for (const auto& line : lines)
        count += line.startsWith (prefix) ? 1 : 0;
    return count;
}
} // namespace

TEST_F (AppProcessTest, WindowStandsCentredUntitledAndCannotBeResized)
{
    const auto app = start();
    ASSERT_TRUE (app->findWindow()) << app->whyNoWindow();
    const auto window = app->window();

    const auto geometry = AppUnderTest::areaOf (window);
    const auto screen = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->totalArea;
    EXPECT_EQ (geometry.getWidth(), 622);
    EXPECT_EQ (geometry.getHeight(), 765);
    EXPECT_EQ (geometry.getX(), screen.getCentreX() - 311);
    EXPECT_EQ (geometry.getY(), screen.getCentreY() - 382);

    // No native title: whichever of the two title properties is set carries no text.
    for (const auto* property : { "WM_NAME", "_NET_WM_NAME", "WM_ICON_NAME", "_NET_WM_ICON_NAME" })
    {
        const auto line = juce::String (runCommand ("xprop -notype -id " + window + " " + property).output).trim();
        SCOPED_TRACE (line);
        if (line.contains ("="))
        {
            EXPECT_TRUE (line.fromFirstOccurrenceOf ("=", false, false).trim().unquoted().isEmpty());
        }
        else
        {
            EXPECT_THAT (line.toStdString(),
                         ::testing::AnyOf (::testing::HasSubstr ("not found"), ::testing::HasSubstr ("no such atom")));
        }
    }
    EXPECT_THAT (runCommand ("xprop -id " + window + " WM_CLASS").output,
                 ::testing::HasSubstr ("\"ZarvoQ7TR\", \"ZarvoQ7TR\""));

    // A drag from the bottom-right corner outwards moves nothing's size.
    app->moveInWindow ({ 621, 764 });
    app->pressHere();
    app->moveInWindow ({ 700, 850 });
    app->release();
    EXPECT_TRUE (app->hoverTheCloseButton()) << "the close button did not light up under the pointer";
    const auto after = AppUnderTest::areaOf (window);
    EXPECT_EQ (after.getWidth(), 622);
    EXPECT_EQ (after.getHeight(), 765);
}

TEST_F (AppProcessTest, ScreenshotShowsBandLogoAndBackdropDimmedWhileTheFocusIsElsewhere)
{
    const auto app = start();
    ASSERT_TRUE (app->findWindow()) << app->whyNoWindow();
    const auto window = app->window();
    const auto root = runCommand ("xwininfo -root | awk '/Window id:/ { print $4 }'").output;

    // No window manager here: the focus moves only when asked to. The window is given it, then the
    // root window takes it (as another window would), then the window gets it back.
    struct Step
    {
        const char* name;
        std::string focusTarget;
        bool active;
    };
    const Step steps[] = { { "focused", window, true },
                           { "focus elsewhere", root, false },
                           { "focused again", window, true } };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.name);
        ASSERT_EQ (runCommand ("xdotool windowfocus --sync " + step.focusTarget).exitCode, 0);

        // White at 60 % over orange: the blue channel reaches about 33 + 0.6 * 222. No microphone
        // here: the control panel's mask, once shown, darkens the backdrop beneath it.
        const int logoBlue = step.active ? 255 : 166;
        const juce::Colour maskedBackdrop (0xFF1D1D1D);
        EXPECT_TRUE (app->waitForPicture (
            [&] (const juce::Image& s)
            {
                const auto band = examineBand (s);
                return band.hasWhite == step.active && std::abs (band.brightestBlue - logoBlue) <= 6 &&
                       s.getPixelAt (11, 98) == maskedBackdrop;
            },
            10000, AppUnderTest::Shot::window))
            << "the window never showed the logo " << (step.active ? "active" : "inactive")
            << " over the masked backdrop";
        const auto& shot = app->lastShot (AppUnderTest::Shot::window);
        ASSERT_TRUE (shot.isValid());
        ASSERT_EQ (shot.getWidth(), 622);
        const auto band = examineBand (shot);
        EXPECT_EQ (band.strayPixels, 0);
        EXPECT_GT (band.logoPixels, 200);
        EXPECT_EQ (band.hasWhite, step.active);
        EXPECT_NEAR (band.brightestBlue, logoBlue, 6);
        EXPECT_EQ (shot.getPixelAt (0, 0), orange);
        EXPECT_EQ (shot.getPixelAt (621, 61), orange);
        EXPECT_EQ (shot.getPixelAt (11, 98), maskedBackdrop);

        // A copy for a human eye when asked for (ZARVO_SCREENSHOT_DIR).
        zarvo::test::keepScreenshot (shot, juce::String (step.name).replace (" ", "-").toStdString());
    }
}

TEST_F (AppProcessTest, WindowIconHoldsTheSixSizes)
{
    const auto app = start();
    ASSERT_TRUE (app->findWindow()) << app->whyNoWindow();

    // The icon is set just after the window shows: a slow start may not have set it yet.
    const std::vector<int> allSizes{ 16, 24, 32, 48, 64, 256 };
    std::vector<int> sizes;
    bool square = true;
    zarvo::test::sleepUntil (
        [&]
        {
            // -len: xprop stops at a few kilobytes by default, before the 256-pixel image.
            const auto icon = runCommand ("xprop -len 4000000 -id " + app->window() + " _NET_WM_ICON").output;
            sizes.clear();
            const std::regex pattern ("Icon \\((\\d+) x (\\d+)\\)");
            for (std::sregex_iterator it (icon.begin(), icon.end(), pattern), last; it != last; ++it)
            {
                square = square && (*it)[1] == (*it)[2];
                sizes.push_back (std::stoi ((*it)[1]));
            }
            return sizes == allSizes;
        },
        10000, 100);
    EXPECT_TRUE (square);
    EXPECT_EQ (sizes, allSizes);
}

TEST_F (AppProcessTest, DoubleClickOnTheBandChangesNothing)
{
    const auto app = start();
    ASSERT_TRUE (app->findWindow()) << app->whyNoWindow();
    const auto window = app->window();
    const auto before = AppUnderTest::areaOf (window);

    app->doubleClickInWindow ({ 300, 30 });
    EXPECT_TRUE (app->hoverTheCloseButton()) << "the close button did not light up under the pointer";

    EXPECT_EQ (AppUnderTest::areaOf (window), before);
    EXPECT_TRUE (app->isRunning());
    EXPECT_TRUE (app->findWindow (0));
    EXPECT_EQ (app->window(), window);
}

TEST_F (AppProcessTest, CloseButtonLightsUnderThePointerAndEndsTheProcessWithCodeZero)
{
    const auto app = start();
    ASSERT_TRUE (app->findWindow()) << app->whyNoWindow();

    app->moveInWindow ({ 300, 30 });
    EXPECT_TRUE (AppUnderTest::waitForCloseButton (app->window(), AppUnderTest::crossNormal))
        << "the close button is not white away from the pointer";
    // Lights up under the pointer, shows the press, and ends the app on the release.
    const auto closing = app->closeWithTheCloseButton();
    ASSERT_TRUE (closing.failure.empty()) << closing.failure;
    EXPECT_EQ (*closing.exitCode, 0);
}

TEST_F (AppProcessTest, CloseRequestFromTheDesktopEndsTheProcessWithCodeZero)
{
    createWindowManagerAtoms();
    const auto app = start();
    ASSERT_TRUE (app->findWindow()) << app->whyNoWindow();

    ASSERT_TRUE (sendCloseRequest (app->window()));

    const auto exitCode = app->waitForExit (20000);
    ASSERT_TRUE (exitCode.has_value()) << "a close request from the desktop did not end the application";
    EXPECT_EQ (*exitCode, 0);
}

TEST_F (AppProcessTest, SecondStartExitsWithCodeZeroAndShowsNoWindow)
{
    const auto first = start();
    ASSERT_TRUE (first->findWindow()) << first->whyNoWindow();
    const auto window = first->window();
    const auto before = AppUnderTest::areaOf (window);

    const auto second = start();
    const auto exitCode = second->waitForExit (20000);
    ASSERT_TRUE (exitCode.has_value()) << "the second start did not end by itself";
    EXPECT_EQ (*exitCode, 0);
    EXPECT_EQ (countLinesStartingWith (allLogLines (*second), "Main::paint time: "), 0);

    const auto visible = runCommand ("xdotool search --onlyvisible --class ZarvoQ7TR").output;
    EXPECT_EQ (juce::StringArray::fromLines (juce::String (visible).trim()).size(), 1) << visible;
    EXPECT_TRUE (first->isRunning());
    EXPECT_EQ (AppUnderTest::areaOf (window), before);
}

TEST_F (AppProcessTest, PaintLinesKeepComingWhileTheWindowStands)
{
    // JUCE's millisecond counter, which the app's first content line carries.
    const auto started = juce::Time::getMillisecondCounter();
    const auto app = start();
    ASSERT_TRUE (app->findWindow()) << app->whyNoWindow();

    for (const char* prefix : { "Main::paint time: ", "MainComponent::paint time: " })
    {
        SCOPED_TRACE (prefix);
        const auto cadence = zarvo::test::watchPaints (
            [&] { return countLinesStartingWith (allLogLines (*app), prefix); }, [] { juce::Thread::sleep (50); }, 20);
        EXPECT_GE (cadence.paints, 20);
        EXPECT_LT (cadence.longestGap.count(), zarvo::test::paintGapLimit.count()) << "ms without a paint";
    }

    // The first content line carries the millisecond counter itself (the same monotonic clock in
    // every process here); the later ones the interval between two paints.
    std::vector<juce::int64> intervals;
    for (const auto& line : allLogLines (*app))
        if (line.startsWith ("MainComponent::paint time: "))
            intervals.push_back (line.fromFirstOccurrenceOf (": ", false, false).getLargeIntValue());
    ASSERT_GE (intervals.size(), 2u);
    EXPECT_GE (intervals.front(), (juce::int64)started);
    EXPECT_LE (intervals.front(), (juce::int64)juce::Time::getMillisecondCounter());
    for (size_t i = 1; i < intervals.size(); ++i)
        EXPECT_LT (intervals[i], zarvo::test::paintGapLimit.count()) << "interval " << i;
}

// The launcher starts nothing where the machine's devices or hotplug events could reach the app:
// without the preload, with a preload that is not there, and from the machine's network namespace,
// which stands here as this process's own (the main has left the machine's already).
TEST_F (AppProcessTest, LauncherRefusesWithoutThePreloadOrAPrivateNetworkNamespace)
{
    struct Case
    {
        const char* name;
        std::function<void (AppUnderTest::Launch&)> change;
        const char* refusal;
    };
    const Case cases[] = {
        { "no preload", [] (AppUnderTest::Launch& l) { l.preloadPath.clear(); }, "no enumeration preload given" },
        { "a preload that is not there", [] (AppUnderTest::Launch& l) { l.preloadPath += ".gone"; }, "cannot be read" },
        { "the machine's network namespace",
          [] (AppUnderTest::Launch& l) { l.machineNetworkNamespace = "/proc/self/ns/net"; },
          "shares the network namespace /proc/self/ns/net" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto refused = launch();
        c.change (refused);
        std::string refusal;
        try
        {
            AppUnderTest app (refused);
        }
        catch (const std::runtime_error& error)
        {
            refusal = error.what();
        }
        EXPECT_THAT (refusal, ::testing::HasSubstr ("the application is not started: "));
        EXPECT_THAT (refusal, ::testing::HasSubstr (c.refusal));
        // Refused before the fork: a child forked first would be left, since a constructor that
        // throws runs no destructor to end it.
        errno = 0;
        EXPECT_EQ (::waitpid (-1, nullptr, WNOHANG), -1);
        EXPECT_EQ (errno, ECHILD);
    }
}
