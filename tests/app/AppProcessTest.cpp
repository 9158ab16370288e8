// The real application in its own process, on an X display of its own: the window as the X server
// sees it (geometry, title, icon, pixels of a screenshot, focus), the buttons driven by the pointer,
// the single-instance rule and the log lines on standard error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "AppUnderTest.h"
#include "Deadline.h"
#include "PaintCadence.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

// Xlib last: its macros collide with JUCE's names.
#include <X11/Xlib.h>

namespace
{
using zarvo::test::AppUnderTest;
using zarvo::test::runCommand;

// One started ZarvoQ7TR, its standard error going to a file.
class AppProcess
{
public:
    AppProcess() : logFile (juce::File::createTempFile ("zarvo-app-log"))
    {
        // Nothing after fork may allocate: the path is ready before.
        const std::string logPath = logFile.getFullPathName().toStdString();
        const pid_t parent = ::getpid();
        pid = ::fork();
        if (pid == 0)
        {
            zarvo::test::dieWithParent (parent);
            const int fd = ::open (logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2 (fd, 2);
            ::execl (ZARVO_APP_PATH, ZARVO_APP_PATH, (char*)nullptr);
            ::_exit (127);
        }
    }

    ~AppProcess()
    {
        if (pid > 0 && !finished)
        {
            ::kill (pid, SIGKILL);
            ::waitpid (pid, nullptr, 0);
        }
        logFile.deleteFile();
    }

    // The exit code once the process has ended within the time, otherwise nothing.
    std::optional<int> waitForExit (int timeoutMs)
    {
        for (int waited = 0; waited <= timeoutMs; waited += 20)
        {
            int status = 0;
            if (::waitpid (pid, &status, WNOHANG) == pid)
            {
                finished = true;
                return WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
            }
            juce::Thread::sleep (20);
        }
        return {};
    }

    bool isRunning() { return !finished && !waitForExit (0).has_value(); }

    // The id of the process's lasting window, or empty once the time is up.
    std::string findWindow (int timeoutMs = 10000)
    {
        return AppUnderTest::findLastingWindow (pid, timeoutMs, [this] { return isRunning(); });
    }

    juce::StringArray logLines() const { return juce::StringArray::fromLines (logFile.loadFileAsString()); }

    // Why findWindow() found nothing, for the failure message.
    std::string whyNoWindow()
    {
        const auto exitCode = waitForExit (0);
        if (!exitCode.has_value())
            return "the app runs but showed no window within the time";
        if (*exitCode == 0)
            return "the app ended at once with code 0, as a second copy does: a copy this test started earlier "
                   "still holds the single-instance lock in the test's own /var/tmp";
        return "the app ended with code " + std::to_string (*exitCode) + " before it showed a window";
    }

    pid_t pid = -1;

private:
    juce::File logFile;
    bool finished = false;
};

// Where the window lies on the screen.
juce::Rectangle<int> windowGeometry (const std::string& window)
{
    return AppUnderTest::areaOf (window);
}

// The window's area of a screenshot of the whole screen.
juce::Image screenshotOf (const std::string& window)
{
    const auto screen = AppUnderTest::screenShot();
    if (!screen.isValid())
        return {};
    return screen.getClippedImage (windowGeometry (window)).createCopy();
}

// Waits until a screenshot of the window holds the predicate, within a bound no loaded machine
// reaches; `shot` keeps the last one looked at.
bool waitForShot (const std::string& window, const std::function<bool (const juce::Image&)>& holds, juce::Image& shot)
{
    const zarvo::test::Deadline end (10000);
    for (;;)
    {
        shot = screenshotOf (window);
        if (shot.isValid() && holds (shot))
            return true;
        if (end.passed())
            return false;
        juce::Thread::sleep (100);
    }
}

// A hand rests a moment where it has moved to before it presses.
void moveTo (const std::string& window, int x, int y)
{
    runCommand ("xdotool mousemove --window " + window + " " + std::to_string (x) + " " + std::to_string (y));
    juce::Thread::sleep (150);
}

// The pointer onto the close button until it lights up: the window handles its events in order,
// so once it shows this, it has handled every event before the move.
void hoverTheCloseButton (const std::string& window)
{
    EXPECT_TRUE (AppUnderTest::hoverTheCloseButton (window)) << "the close button did not light up under the pointer";
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

TEST (AppProcessTest, WindowStandsCentredUntitledAndCannotBeResized)
{
    AppProcess app;
    const auto window = app.findWindow();
    ASSERT_FALSE (window.empty()) << app.whyNoWindow();

    const auto geometry = windowGeometry (window);
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
    moveTo (window, 621, 764);
    runCommand ("xdotool mousedown 1");
    moveTo (window, 700, 850);
    runCommand ("xdotool mouseup 1");
    hoverTheCloseButton (window);
    const auto after = windowGeometry (window);
    EXPECT_EQ (after.getWidth(), 622);
    EXPECT_EQ (after.getHeight(), 765);
}

TEST (AppProcessTest, ScreenshotShowsBandLogoAndBackdropDimmedWhileTheFocusIsElsewhere)
{
    AppProcess app;
    const auto window = app.findWindow();
    ASSERT_FALSE (window.empty()) << app.whyNoWindow();
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
        juce::Image shot;
        EXPECT_TRUE (waitForShot (
            window,
            [&] (const juce::Image& s)
            {
                const auto band = examineBand (s);
                return band.hasWhite == step.active && std::abs (band.brightestBlue - logoBlue) <= 6 &&
                       s.getPixelAt (11, 98) == maskedBackdrop;
            },
            shot))
            << "the window never showed the logo " << (step.active ? "active" : "inactive")
            << " over the masked backdrop";
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

        // Keep a copy for a human eye when asked to.
        if (auto* dir = std::getenv ("ZARVO_SCREENSHOT_DIR"))
        {
            juce::File file (juce::File (dir).getChildFile (juce::String (step.name).replace (" ", "-") + ".png"));
            file.deleteFile();
            juce::FileOutputStream out (file);
            juce::PNGImageFormat().writeImageToStream (shot, out);
        }
    }
}

TEST (AppProcessTest, WindowIconHoldsTheSixSizes)
{
    AppProcess app;
    const auto window = app.findWindow();
    ASSERT_FALSE (window.empty()) << app.whyNoWindow();

    // The icon is set just after the window shows: a slow start may not have set it yet.
    const std::vector<int> allSizes{ 16, 24, 32, 48, 64, 256 };
    std::vector<int> sizes;
    bool square = true;
    for (int waited = 0; waited <= 10000 && sizes != allSizes; waited += 100)
    {
        if (waited > 0)
            juce::Thread::sleep (100);
        // -len: xprop stops at a few kilobytes by default, before the 256-pixel image.
        const auto icon = runCommand ("xprop -len 4000000 -id " + window + " _NET_WM_ICON").output;
        sizes.clear();
        const std::regex pattern ("Icon \\((\\d+) x (\\d+)\\)");
        for (std::sregex_iterator it (icon.begin(), icon.end(), pattern), end; it != end; ++it)
        {
            square = square && (*it)[1] == (*it)[2];
            sizes.push_back (std::stoi ((*it)[1]));
        }
    }
    EXPECT_TRUE (square);
    EXPECT_EQ (sizes, allSizes);
}

TEST (AppProcessTest, DoubleClickOnTheBandChangesNothing)
{
    AppProcess app;
    const auto window = app.findWindow();
    ASSERT_FALSE (window.empty()) << app.whyNoWindow();
    const auto before = windowGeometry (window);

    moveTo (window, 300, 30);
    runCommand ("xdotool click --repeat 2 --delay 80 1");
    hoverTheCloseButton (window);

    EXPECT_EQ (windowGeometry (window), before);
    EXPECT_TRUE (app.isRunning());
    EXPECT_EQ (app.findWindow (0), window);
}

TEST (AppProcessTest, CloseButtonLightsUnderThePointerAndEndsTheProcessWithCodeZero)
{
    AppProcess app;
    const auto window = app.findWindow();
    ASSERT_FALSE (window.empty()) << app.whyNoWindow();

    moveTo (window, 300, 30);
    EXPECT_TRUE (AppUnderTest::waitForCloseButton (window, AppUnderTest::crossNormal))
        << "the close button is not white away from the pointer";
    hoverTheCloseButton (window);
    int nudges = 0;
    EXPECT_TRUE (AppUnderTest::pressTheCloseButton (window, nudges)) << "the close button did not show the press";
    EXPECT_TRUE (app.isRunning());
    runCommand ("xdotool mouseup 1");

    const auto exitCode = app.waitForExit (20000);
    ASSERT_TRUE (exitCode.has_value()) << "the window's close button did not end the application";
    EXPECT_EQ (*exitCode, 0);
}

TEST (AppProcessTest, CloseRequestFromTheDesktopEndsTheProcessWithCodeZero)
{
    createWindowManagerAtoms();
    AppProcess app;
    const auto window = app.findWindow();
    ASSERT_FALSE (window.empty()) << app.whyNoWindow();

    ASSERT_TRUE (sendCloseRequest (window));

    const auto exitCode = app.waitForExit (20000);
    ASSERT_TRUE (exitCode.has_value()) << "a close request from the desktop did not end the application";
    EXPECT_EQ (*exitCode, 0);
}

TEST (AppProcessTest, SecondStartExitsWithCodeZeroAndShowsNoWindow)
{
    AppProcess first;
    const auto window = first.findWindow();
    ASSERT_FALSE (window.empty()) << first.whyNoWindow();
    const auto before = windowGeometry (window);

    AppProcess second;
    const auto exitCode = second.waitForExit (20000);
    ASSERT_TRUE (exitCode.has_value()) << "the second start did not end by itself";
    EXPECT_EQ (*exitCode, 0);
    EXPECT_EQ (countLinesStartingWith (second.logLines(), "Main::paint time: "), 0);

    const auto visible = runCommand ("xdotool search --onlyvisible --class ZarvoQ7TR").output;
    EXPECT_EQ (juce::StringArray::fromLines (juce::String (visible).trim()).size(), 1) << visible;
    EXPECT_TRUE (first.isRunning());
    EXPECT_EQ (windowGeometry (window), before);
}

TEST (AppProcessTest, PaintLinesKeepComingWhileTheWindowStands)
{
    // JUCE's millisecond counter, which the app's first content line carries.
    const auto started = juce::Time::getMillisecondCounter();
    AppProcess app;
    ASSERT_FALSE (app.findWindow().empty()) << app.whyNoWindow();

    for (const char* prefix : { "Main::paint time: ", "MainComponent::paint time: " })
    {
        SCOPED_TRACE (prefix);
        const auto cadence = zarvo::test::watchPaints ([&] { return countLinesStartingWith (app.logLines(), prefix); },
                                                       [] { juce::Thread::sleep (50); }, 20);
        EXPECT_GE (cadence.paints, 20);
        EXPECT_LT (cadence.longestGap.count(), zarvo::test::paintGapLimit.count()) << "ms without a paint";
    }

    // The first content line carries the millisecond counter itself (the same monotonic clock in
    // every process here); the later ones the interval between two paints.
    std::vector<juce::int64> intervals;
    for (const auto& line : app.logLines())
        if (line.startsWith ("MainComponent::paint time: "))
            intervals.push_back (line.fromFirstOccurrenceOf (": ", false, false).getLargeIntValue());
    ASSERT_GE (intervals.size(), 2u);
    EXPECT_GE (intervals.front(), (juce::int64)started);
    EXPECT_LE (intervals.front(), (juce::int64)juce::Time::getMillisecondCounter());
    for (size_t i = 1; i < intervals.size(); ++i)
        EXPECT_LT (intervals[i], zarvo::test::paintGapLimit.count()) << "interval " << i;
}
