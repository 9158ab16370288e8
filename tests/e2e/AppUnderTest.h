// The real ZarvoQ7TR in a process of its own, started from the build with the enumeration preload:
// its standard output line-buffered through stdbuf and both streams collected in files; driven with
// real pointer events (xdotool) at panel coordinates and looked at through screenshots of the X
// server. The child inherits the caller's network namespace and display; it is started only from a
// private network namespace and with the preload, so that neither the machine's hotplug events nor
// its real devices reach it.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace zarvo::test
{
struct CommandResult
{
    int exitCode;
    std::string output;
};

// Runs a shell command and returns its exit code and what it printed (both streams).
CommandResult runCommand (const std::string& command);

class AppUnderTest
{
public:
    struct Launch
    {
        std::string appPath;
        std::string preloadPath;
        std::string enumerationControl; // the control file the preload reads
        bool keepOutputFiles = false;   // leave the two output files behind
        std::string logFile;            // standard error goes here; empty: a file of its own
        // Standard error through a pipe, read by a thread of this process that counts every line
        // and keeps only the lines keepLine selects (called on that thread), for runs so long that
        // the app's thousands of lines a second must not pile up in a file or in memory (the
        // destructor's lines, which closeWithTheCloseButton() waits for, are kept as well). logFile
        // and errorFile() are then not used.
        bool drainLog = false;
        std::function<bool (const std::string&)> keepLine;
        // Standard error is this descriptor instead (a socket, pipe or terminal the test made), and
        // with drainLog the drain reads the other end, drainFrom. The harness takes both over.
        int errorDescriptor = -1;
        int drainFrom = -1;
        // Variables set (with a value) or removed (without one) in the app's environment.
        std::vector<std::pair<std::string, std::optional<std::string>>> environment;
        // The network namespace the app must not share: the machine's, where udev announces real
        // devices. Where it cannot be read (without root), the one this process started in stands
        // for it.
        std::string machineNetworkNamespace = "/proc/1/ns/net";
    };

    // Starts the app. Throws std::runtime_error, starting nothing, when this process shares the
    // machine's network namespace or the preload is not given or not there.
    explicit AppUnderTest (const Launch& launch);
    // Kills the process if it still runs and removes the output files (unless asked to keep them).
    ~AppUnderTest();
    AppUnderTest (const AppUnderTest&) = delete;
    AppUnderTest& operator= (const AppUnderTest&) = delete;

    // The exit code once the process has ended within the time, otherwise nothing.
    std::optional<int> waitForExit (int timeoutMs);
    bool isRunning();
    // Sends a signal to the process while it runs.
    void signal (int signalNumber);
    // Asks the app to quit as its close button does (JUCE quits its message loop on SIGINT) and
    // waits up to graceMs for it to end; kills it when it has not. The exit code when it ended of
    // itself, nothing when it had to be killed.
    std::optional<int> interrupt (int graceMs = 5000);

    // Finds the process's visible window; false once the time is up.
    bool findWindow (int timeoutMs = 15000);
    // Why findWindow() found none, for a failure's message: how the app ended, if it did, and what
    // it printed.
    std::string whyNoWindow();
    const std::string& window() const { return windowId; }
    // Another visible window of the process (a popup menu), or empty once the time is up.
    std::string otherWindow (int timeoutMs = 3000);

    // Every line of standard error, except the lines that the timers and paints write all the
    // time, read on demand from the file; with drainLog, the lines kept so far. Lines keep their order.
    const std::vector<std::string>& logLines();
    // How many lines logLines() holds now: a mark to look after.
    size_t logMark() { return logLines().size(); }
    // Waits until a line equal to `line` (or starting with it, with prefix) appears at or after
    // index `from`; returns its index.
    std::optional<size_t> waitForLine (const std::string& line, size_t from = 0, int timeoutMs = 10000,
                                       bool prefix = false);
    std::optional<size_t> waitForLineWhere (const std::function<bool (const std::string&)>& matches, size_t from = 0,
                                            int timeoutMs = 10000);
    // With drainLog: what standard error carried so far, and the last lines of it (those the timers
    // and paints write all the time left out), oldest first, for a failure's report.
    struct LogCounts
    {
        unsigned long long lines = 0;
        unsigned long long bytes = 0;
    };
    LogCounts logCounts() const;
    std::vector<std::string> recentLines() const;
    // With drainLog: waits until every writer of standard error has closed it and all it wrote has
    // been read; false once the time is up.
    bool waitForEndOfLog (int timeoutMs);
    // Standard output so far.
    std::string printed() const;
    // Waits until standard output holds `text`.
    bool waitForPrinted (const std::string& text, int timeoutMs = 10000);
    const juce::File& errorFile() const { return errFile; }
    const juce::File& outputFile() const { return outFile; }

    // Pointer events at panel coordinates (the panel's origin is the window's content origin), at a
    // hand's pace: the pointer rests before a press, and a click holds the button a while.
    void moveTo (juce::Point<int> panelPoint);
    void click (juce::Point<int> panelPoint);
    void press (juce::Point<int> panelPoint);
    // Presses the button where the pointer is.
    void pressHere();
    // One move of a drag, straight to the point.
    void dragTo (juce::Point<int> panelPoint);
    void release();
    // Gives the window the X input focus and waits until it has it (no window manager does under
    // Xvfb; without it, key events go nowhere); false when the X server says it has not.
    bool focusWindow();
    // Whether the X server says the window has the input focus.
    bool hasTheInputFocus() const;
    // Real key events (xdotool key names, e.g. "Right Right Left") to the window that has the focus,
    // at a hand's pace.
    void typeKeys (const std::string& keys);
    // Window coordinates, for the title bar.
    void moveInWindow (juce::Point<int> windowPoint);
    void doubleClickInWindow (juce::Point<int> windowPoint);
    // Coordinates of another window of the process (a popup menu).
    void moveInWindow (const std::string& otherWindow, juce::Point<int> point);
    // Where a window lies on the screen.
    static juce::Rectangle<int> areaOf (const std::string& window);

    // ---- The title band's close button of a window of the app, as a hand and an eye use it.
    // The brightest blue of its cross on the screen: white, lighter grey under the pointer, darker
    // grey while pressed.
    static constexpr int crossNormal = 255;
    static constexpr int crossUnderPointer = 200;
    static constexpr int crossPressed = 150;
    // Waits until the cross shows that grey; false once the time is up.
    static bool waitForCloseButton (const std::string& window, int grey, int timeoutMs = 10000);
    // The pointer onto the button until it lights up; false when it never does. The window handles
    // its events in order: once the button shows this, the window has handled every event that came
    // before the move.
    bool hoverTheCloseButton() { return hoverTheCloseButton (windowId); }

    // What closing the window with its close button took, and what did not follow.
    struct Closing
    {
        int presses = 0;
        int nudges = 0;
        int releases = 0;
        std::optional<int> exitCode;
        std::string failure; // empty when the destructor's lines and the exit came
    };
    // Closes the application as a hand does with the close button: the pointer onto it until it
    // lights up, a press held until the button shows it, a release. A press that never shows was
    // not taken: it is let go and pressed again (unless the release brought it in and the app began
    // to close). A release after which the press still shows was lost: it is repeated. A button
    // acts on its release: before each release the app must still run and its panel's destructor
    // must not have begun, or the close fails as one that began on the press. Once a press has
    // shown and its release has been taken, the panel's destructor lines and then the exit must
    // follow, each within a bound; the failure names the first that did not. Prints how many
    // presses, nudges and releases it took.
    Closing closeWithTheCloseButton();

    // A screenshot of the window's content, in panel coordinates (620 x 701), or an invalid image.
    juce::Image panelShot();
    // A screenshot of the whole window, title band and border included (622 x 765).
    juce::Image windowShot();
    // A screenshot of the whole screen.
    static juce::Image screenShot();
    // What a screenshot takes in: panelShot(), windowShot() or screenShot().
    enum class Shot
    {
        panel,
        window,
        screen
    };
    // Waits until the predicate holds for a screenshot of `what`; lastShot (what) keeps the last
    // one of that kind looked at.
    bool waitForPicture (const std::function<bool (const juce::Image&)>& holds, int timeoutMs = 10000,
                         Shot what = Shot::panel);
    const juce::Image& lastShot (Shot what = Shot::panel) const { return shots[(size_t)what]; }

    // Where the window's content lies on the screen.
    juce::Rectangle<int> contentArea();

    pid_t pid = -1;

private:
    // The visible window of the process that carries the window icon: the app sets it last, on the
    // window it has created anew for the last time (a window seen before may be gone a moment
    // later). Once the time is up, any visible window of the process; empty when there is none, or
    // as soon as running() is false.
    static std::string findLastingWindow (pid_t pid, int timeoutMs, const std::function<bool()>& running);
    // The pointer onto the close button until it lights up; false when it never does (or giveUp()
    // holds).
    static bool hoverTheCloseButton (const std::string& window, const std::function<bool()>& giveUp = {});
    // Presses the button where the pointer rests and holds it until the cross shows the press;
    // false when it never does (or giveUp() holds). The window may keep an X event it has already
    // read waiting until the next one comes: a held pointer that shows nothing for a while moves
    // by a pixel, as a hand that is never quite still does; `nudges` counts those moves.
    static bool pressTheCloseButton (const std::string& window, int& nudges, const std::function<bool()>& giveUp = {});
    static void approach (const std::string& window, juce::Point<int> point);
    static void clickAt (const std::string& window, juce::Point<int> point);
    // Waits until the cross's brightest blue (-1 without a screenshot) passes looksRight; nudges
    // the held pointer when given a count.
    static bool watchCloseButton (const std::string& window, const std::function<bool (int)>& looksRight, int timeoutMs,
                                  const std::function<bool()>& giveUp, int* nudges);
    juce::Image take (Shot what);
    // The steps of closeWithTheCloseButton(); returns its failure.
    std::string closeWithTheCloseButton (Closing& closing);
    void readNewLog();
    struct Drain;
    void startDrain (const Launch& launch);

    juce::File outFile;
    juce::File errFile;
    bool keepOutputFiles;
    bool ownLogFile;
    std::string windowId;
    bool finished = false;
    int exitCode = -1;
    std::vector<std::string> lines;
    long long readOffset = 0;
    std::string partialLine;
    std::array<juce::Image, 3> shots;
    std::unique_ptr<Drain> drain;
};

// The window content's offset inside the window: a one-pixel border and the 62-pixel title band.
constexpr int contentLeft = 1;
constexpr int contentTop = 63;
constexpr int contentWidth = 620;
constexpr int contentHeight = 701;

// True when the X display can be opened.
bool displayAvailable();

// Writes the image as a PNG into the directory named by ZARVO_SCREENSHOT_DIR, when it is set.
void keepScreenshot (const juce::Image& image, const std::string& name);
} // namespace zarvo::test
