#include "AppUnderTest.h"

#include "PollUntil.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <poll.h>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// Xlib last: its macros collide with JUCE's names.
#include <X11/Xlib.h>

namespace zarvo::test
{
namespace
{
constexpr int pollInterval = 50;

// What the timers and paints write many times a second; the tests look at none of it.
bool isFrequent (const std::string& line)
{
    static const char* const exact[] = { "ZarvoTimer is running...",
                                         "run!!!!!!!0",
                                         "before sleep!!!!!!!",
                                         "else sleep!!!!!!!",
                                         "sleep!!!!!!!",
                                         "ZarvoThread m_isruning is running...",
                                         "end sleep!!!!!!!",
                                         "HeartbeatTimer is running...",
                                         "HeartbeatData: 258" };
    static const char* const prefixes[] = { "Main::paint time: ",
                                            "MainComponent::paint time: ",
                                            "BackgroundComponent::paint time: ",
                                            "origin Slience:",
                                            "before02 sleep!!!!!!!",
                                            "1===when dectorGainValue < 50 : ",
                                            "2===when dectorGainValue < 50 : ",
                                            "3===when dectorGainValue < 50 : " };
    for (const auto* text : exact)
        if (line == text)
            return true;
    for (const auto* prefix : prefixes)
        if (line.rfind (prefix, 0) == 0)
            return true;
    return false;
}

// What the panel's destructor writes as the app closes.
const char* const destructorRun = "BackgroundComponent::~BackgroundComponent(). The destructor run";
const char* const destructorEnd = "BackgroundComponent::~BackgroundComponent(). The destructor end";

bool isDestructorLine (const std::string& line)
{
    return line == destructorRun || line == destructorEnd;
}

// The program's full path from PATH (the name itself when it is in none of them).
std::string findInPath (const std::string& program)
{
    const char* path = std::getenv ("PATH");
    std::istringstream directories (path != nullptr ? path : "/usr/bin:/bin");
    for (std::string directory; std::getline (directories, directory, ':');)
    {
        const auto candidate = directory + "/" + program;
        if (!directory.empty() && ::access (candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return program;
}

void pause (int ms)
{
    juce::Thread::sleep (ms);
}

std::string coordinates (juce::Point<int> point)
{
    return std::to_string (point.x) + " " + std::to_string (point.y);
}

juce::Point<int> inWindow (juce::Point<int> panelPoint)
{
    return panelPoint + juce::Point<int> (contentLeft, contentTop);
}
} // namespace

// Standard error through a pipe, drained by a thread: each line counted, the lines the test asked
// for kept until readNewLog() collects them, and a short tail of the rest kept for a failure's report.
struct AppUnderTest::Drain
{
    static constexpr size_t recentLimit = 60;

    int readFd = -1;
    int writeFd = -1; // the app's end, closed here once the app holds it
    std::function<bool (const std::string&)> keepLine;
    std::atomic<bool> stopping{ false };
    std::atomic<bool> ended{ false }; // every writer has gone and everything is read
    std::atomic<unsigned long long> lines{ 0 };
    std::atomic<unsigned long long> bytes{ 0 };
    mutable std::mutex lock;
    std::vector<std::string> kept;  // guarded by lock
    std::deque<std::string> recent; // guarded by lock
    std::thread reader;

    ~Drain()
    {
        stopping = true;
        if (reader.joinable())
            reader.join();
        for (const int fd : { readFd, writeFd })
            if (fd >= 0)
                ::close (fd);
    }

    void read()
    {
        std::string partial;
        std::vector<char> chunk (1 << 16);
        std::vector<std::string> keptNow, recentNow;
        while (!stopping)
        {
            pollfd ready{ readFd, POLLIN, 0 };
            const int polled = ::poll (&ready, 1, 100);
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled <= 0)
            {
                if (polled < 0)
                    return;
                continue;
            }
            const auto n = ::read (readFd, chunk.data(), chunk.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
            {
                ended = n == 0 || errno == EIO; // a terminal's master reads EIO once the other side has closed
                return;                         // every writer has gone
            }
            bytes += (unsigned long long)n;
            partial.append (chunk.data(), (size_t)n);
            size_t start = 0;
            unsigned long long count = 0;
            for (size_t end; (end = partial.find ('\n', start)) != std::string::npos; start = end + 1)
            {
                ++count;
                std::string line = partial.substr (start, end - start);
                if ((keepLine && keepLine (line)) || isDestructorLine (line))
                    keptNow.push_back (line);
                if (!isFrequent (line))
                    recentNow.push_back (std::move (line));
            }
            partial.erase (0, start);
            lines += count;
            if (keptNow.empty() && recentNow.empty())
                continue;
            std::lock_guard<std::mutex> guard (lock);
            for (auto& line : keptNow)
                kept.push_back (std::move (line));
            for (auto& line : recentNow)
            {
                recent.push_back (std::move (line));
                if (recent.size() > recentLimit)
                    recent.pop_front();
            }
            keptNow.clear();
            recentNow.clear();
        }
    }
};

void AppUnderTest::startDrain (const Launch& launch)
{
    drain = std::make_unique<Drain>();
    drain->keepLine = launch.keepLine;
    if (launch.drainFrom >= 0)
    {
        drain->readFd = launch.drainFrom;
        drain->writeFd = launch.errorDescriptor;
        return;
    }
    int ends[2];
    if (::pipe2 (ends, O_CLOEXEC) != 0)
        return;
    drain->readFd = ends[0];
    drain->writeFd = ends[1];
    // Room for a burst of lines while this process is busy elsewhere; the app never waits on it
    // unless the reader falls far behind.
    ::fcntl (drain->readFd, F_SETPIPE_SZ, 1 << 20);
}

namespace
{
// To be called first thing in a child just forked, with the test process's id: the child is killed
// when the thread that forked it ends, however it ends (a crash, a kill, a timeout), so that no copy
// of the app outlives its test. It keeps that through exec.
void dieWithParent (pid_t parent)
{
    ::prctl (PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have gone before the request above took effect.
    if (::getppid() != parent)
        ::_exit (127);
}

// A namespace as the kernel tells one from another: the device and inode of its /proc file.
std::optional<std::pair<dev_t, ino_t>> namespaceAt (const std::string& path)
{
    struct stat status
    {
    };
    if (::stat (path.c_str(), &status) != 0)
        return {};
    return std::make_pair (status.st_dev, status.st_ino);
}

// The namespace a child forked now would inherit: the calling thread's, which a thread started
// before the process left the machine's still has.
const char* const ownNetworkNamespace = "/proc/thread-self/ns/net";

// Read before main, before any test could have left it.
const auto startingNetworkNamespace = namespaceAt (ownNetworkNamespace);

// Why the app must not be started from here; empty when it may.
std::string whyNotToStart (const AppUnderTest::Launch& launch)
{
    if (launch.preloadPath.empty())
        return "no enumeration preload given: hidapi would list the machine's real devices to the app";
    if (::access (launch.preloadPath.c_str(), R_OK) != 0)
        return "the enumeration preload " + launch.preloadPath + " cannot be read (" + std::strerror (errno) +
               "): hidapi would list the machine's real devices to the app";

    const auto own = namespaceAt (ownNetworkNamespace);
    auto machine = namespaceAt (launch.machineNetworkNamespace);
    auto machineName = launch.machineNetworkNamespace;
    if (!machine)
    {
        machine = startingNetworkNamespace;
        machineName = "the one this process started in (" + machineName + " cannot be read)";
    }
    if (!own || !machine)
        return "this process's network namespace cannot be told from the machine's";
    if (*own == *machine)
        return "this process shares the network namespace " + machineName +
               ": the machine's hotplug events would reach the app; enter a private one first "
               "(enterPrivateNetworkNamespace)";
    return {};
}
} // namespace

CommandResult runCommand (const std::string& command)
{
    CommandResult result{ -1, {} };
    FILE* pipe = ::popen ((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char chunk[4096];
    size_t n;
    while ((n = std::fread (chunk, 1, sizeof (chunk), pipe)) > 0)
        result.output.append (chunk, n);
    const auto status = ::pclose (pipe);
    result.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    return result;
}

AppUnderTest::AppUnderTest (const Launch& launch)
    : outFile (juce::File::createTempFile ("zarvo-app-stdout")),
      errFile (launch.logFile.empty() ? juce::File::createTempFile ("zarvo-app-stderr") : juce::File (launch.logFile)),
      keepOutputFiles (launch.keepOutputFiles), ownLogFile (launch.logFile.empty())
{
    if (const auto refusal = whyNotToStart (launch); !refusal.empty())
    {
        // The descriptors are ours from here on, started or not.
        for (const int fd : { launch.errorDescriptor, launch.drainFrom })
            if (fd >= 0)
                ::close (fd);
        throw std::runtime_error ("the application is not started: " + refusal);
    }

    // Nothing after fork may allocate: arguments, environment and paths are ready before.
    const std::string outPath = outFile.getFullPathName().toStdString();
    const std::string errPath = errFile.getFullPathName().toStdString();
    std::vector<std::string> environment;
    const auto replaced = [&launch] (const std::string& variable)
    {
        const auto name = variable.substr (0, variable.find ('='));
        if (name == "LD_PRELOAD" || name == "ZARVO_E2E_ENUMERATION")
            return true;
        for (const auto& change : launch.environment)
            if (change.first == name)
                return true;
        return false;
    };
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (!replaced (*entry))
            environment.emplace_back (*entry);
    environment.push_back ("ZARVO_E2E_ENUMERATION=" + launch.enumerationControl);
    for (const auto& [name, value] : launch.environment)
        if (value)
            environment.push_back (name + "=" + *value);
    std::vector<char*> envp;
    for (auto& variable : environment)
        envp.push_back (variable.data());
    envp.push_back (nullptr);

    // Standard output into a file is block-buffered; stdbuf makes the app write each line as it
    // comes, without a change to the app. stdbuf works by a preload of its own: the shell it starts
    // puts the enumeration preload before it, so that only the app loads ours (a sanitized build
    // of it needs the sanitized app around it).
    std::string stdbuf = findInPath ("stdbuf"), lineBuffered = "-oL", shell = "/bin/sh", command = "-c",
                script = "LD_PRELOAD=\"$0${LD_PRELOAD:+:$LD_PRELOAD}\" exec \"$1\"", preload = launch.preloadPath,
                app = launch.appPath;
    char* argv[] = { stdbuf.data(), lineBuffered.data(), shell.data(), command.data(),
                     script.data(), preload.data(),      app.data(),   nullptr };

    if (launch.drainLog)
        startDrain (launch);
    const int errorFd = drain != nullptr ? drain->writeFd : launch.errorDescriptor;

    const pid_t parent = ::getpid();
    pid = ::fork();
    if (pid == 0)
    {
        dieWithParent (parent);
        const int out = ::open (outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = errorFd >= 0 ? errorFd : ::open (errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int null = ::open ("/dev/null", O_RDONLY);
        ::dup2 (null, 0);
        ::dup2 (out, 1);
        ::dup2 (err, 2);
        // Nothing of the caller's (the FUSE session, netlink sockets) may stay open in the app.
        ::syscall (SYS_close_range, 3u, ~0u, 0u);
        ::execve (argv[0], argv, envp.data());
        ::_exit (127);
    }
    if (drain != nullptr && drain->readFd >= 0)
    {
        ::close (drain->writeFd);
        drain->writeFd = -1;
        drain->reader = std::thread ([this] { drain->read(); });
    }
    else if (drain == nullptr && launch.errorDescriptor >= 0)
    {
        ::close (launch.errorDescriptor);
    }
}

AppUnderTest::~AppUnderTest()
{
    if (pid > 0 && !finished)
    {
        ::kill (pid, SIGKILL);
        ::waitpid (pid, nullptr, 0);
    }
    drain = nullptr;
    if (!keepOutputFiles)
    {
        outFile.deleteFile();
        if (ownLogFile)
            errFile.deleteFile();
    }
}

std::optional<int> AppUnderTest::waitForExit (int timeoutMs)
{
    if (pid <= 0)
        return -1;
    const auto reaped = [this]
    {
        int status = 0;
        if (!finished && ::waitpid (pid, &status, WNOHANG) == pid)
        {
            finished = true;
            exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
        }
        return finished;
    };
    if (sleepUntil (reaped, timeoutMs))
        return exitCode;
    return {};
}

bool AppUnderTest::isRunning()
{
    return !waitForExit (0).has_value();
}

void AppUnderTest::signal (int signalNumber)
{
    if (isRunning())
        ::kill (pid, signalNumber);
}

std::optional<int> AppUnderTest::interrupt (int graceMs)
{
    signal (SIGINT);
    if (const auto ended = waitForExit (graceMs))
        return ended;
    signal (SIGKILL);
    waitForExit (5000);
    return {};
}

bool AppUnderTest::findWindow (int timeoutMs)
{
    windowId = findLastingWindow (pid, timeoutMs, [this] { return isRunning(); });
    return !windowId.empty();
}

std::string AppUnderTest::whyNoWindow()
{
    const auto ended = waitForExit (2000);
    if (ended == 0)
        return "the application ended at once without a window, as a second copy does: a copy this test "
               "started earlier still holds the single-instance lock in its own /var/tmp";
    return (ended ? "the application ended with code " + std::to_string (*ended)
                  : std::string ("the application runs")) +
           " but showed no window; it printed:\n" + printed();
}

std::string AppUnderTest::findLastingWindow (pid_t pid, int timeoutMs, const std::function<bool()>& running)
{
    juce::StringArray windows;
    std::string lasting;
    bool ended = false;
    sleepUntil (
        [&]
        {
            const auto found = runCommand ("xdotool search --onlyvisible --pid " + std::to_string (pid));
            windows = juce::StringArray::fromLines (found.exitCode == 0 ? juce::String (found.output) : juce::String());
            windows.removeEmptyStrings();
            for (const auto& window : windows)
                if (runCommand ("xprop -len 8 -id " + window.toStdString() + " _NET_WM_ICON").output.find ('=') !=
                    std::string::npos)
                {
                    lasting = window.toStdString();
                    return true;
                }
            ended = !running();
            return ended;
        },
        timeoutMs, 100);
    if (!lasting.empty() || ended || windows.isEmpty())
        return lasting;
    return windows[0].toStdString();
}

std::string AppUnderTest::otherWindow (int timeoutMs)
{
    std::string other;
    sleepUntil (
        [&]
        {
            const auto found = runCommand ("xdotool search --onlyvisible --pid " + std::to_string (pid));
            for (const auto& line : juce::StringArray::fromLines (juce::String (found.output).trim()))
                if (line.isNotEmpty() && line.toStdString() != windowId)
                {
                    other = line.toStdString();
                    return true;
                }
            return false;
        },
        timeoutMs, 100);
    return other;
}

void AppUnderTest::readNewLog()
{
    if (drain != nullptr)
    {
        std::lock_guard<std::mutex> guard (drain->lock);
        for (auto& line : drain->kept)
            lines.push_back (std::move (line));
        drain->kept.clear();
        return;
    }
    std::ifstream in (errFile.getFullPathName().toStdString(), std::ios::binary);
    in.seekg (readOffset);
    std::string chunk ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());
    readOffset += (long long)chunk.size();
    partialLine += chunk;
    size_t start = 0;
    for (size_t end; (end = partialLine.find ('\n', start)) != std::string::npos; start = end + 1)
    {
        std::string line = partialLine.substr (start, end - start);
        if (!isFrequent (line))
            lines.push_back (std::move (line));
    }
    partialLine.erase (0, start);
}

AppUnderTest::LogCounts AppUnderTest::logCounts() const
{
    if (drain == nullptr)
        return {};
    return { drain->lines.load(), drain->bytes.load() };
}

bool AppUnderTest::waitForEndOfLog (int timeoutMs)
{
    return drain != nullptr && sleepUntil ([this] { return drain->ended.load(); }, timeoutMs, pollInterval);
}

std::vector<std::string> AppUnderTest::recentLines() const
{
    if (drain == nullptr)
        return {};
    std::lock_guard<std::mutex> guard (drain->lock);
    return { drain->recent.begin(), drain->recent.end() };
}

const std::vector<std::string>& AppUnderTest::logLines()
{
    readNewLog();
    return lines;
}

std::optional<size_t> AppUnderTest::waitForLine (const std::string& line, size_t from, int timeoutMs, bool prefix)
{
    return waitForLineWhere ([&] (const std::string& candidate)
                             { return prefix ? candidate.rfind (line, 0) == 0 : candidate == line; },
                             from, timeoutMs);
}

std::optional<size_t> AppUnderTest::waitForLineWhere (const std::function<bool (const std::string&)>& matches,
                                                      size_t from, int timeoutMs)
{
    std::optional<size_t> at;
    sleepUntil (
        [&]
        {
            const auto& all = logLines();
            for (size_t i = from; i < all.size(); ++i)
                if (matches (all[i]))
                {
                    at = i;
                    return true;
                }
            from = std::max (from, all.size());
            return false;
        },
        timeoutMs, pollInterval);
    return at;
}

std::string AppUnderTest::printed() const
{
    return outFile.loadFileAsString().toStdString();
}

bool AppUnderTest::waitForPrinted (const std::string& text, int timeoutMs)
{
    return sleepUntil ([&] { return printed().find (text) != std::string::npos; }, timeoutMs, pollInterval);
}

// The pointer comes to a point in two moves, the last one pixel long, as a hand's path ends: JUCE
// sometimes does not act on a single jump of the pointer. (--sync is not used: it waits in vain when
// the pointer is already there.)
void AppUnderTest::approach (const std::string& window, juce::Point<int> point)
{
    const auto move = "xdotool mousemove --window " + window + " ";
    runCommand (move + coordinates (point + juce::Point<int> (1, 1)));
    runCommand (move + coordinates (point));
}

// A hand rests a moment on the target before it presses, and holds the button for a while. JUCE
// reads the pointer's buttons afresh as it handles a press: a click far shorter than the time the
// busy message thread takes to get to it can reach the button as a press already let go, and is
// lost (seen under Xvfb with the level meter moving).
constexpr int restBeforePress = 100;
constexpr int holdOfAClick = 80;

void AppUnderTest::moveInWindow (juce::Point<int> windowPoint)
{
    approach (windowId, windowPoint);
}

void AppUnderTest::moveTo (juce::Point<int> panelPoint)
{
    approach (windowId, inWindow (panelPoint));
}

void AppUnderTest::dragTo (juce::Point<int> panelPoint)
{
    runCommand ("xdotool mousemove --window " + windowId + " " + coordinates (inWindow (panelPoint)));
}

void AppUnderTest::press (juce::Point<int> panelPoint)
{
    moveTo (panelPoint);
    pressHere();
}

void AppUnderTest::pressHere()
{
    pause (restBeforePress);
    runCommand ("xdotool mousedown 1");
}

void AppUnderTest::release()
{
    runCommand ("xdotool mouseup 1");
}

bool AppUnderTest::focusWindow()
{
    runCommand ("xdotool windowfocus --sync " + windowId);
    return hasTheInputFocus();
}

bool AppUnderTest::hasTheInputFocus() const
{
    const auto focused = runCommand ("xdotool getwindowfocus");
    return focused.exitCode == 0 && juce::String (focused.output).trim().toStdString() == windowId;
}

void AppUnderTest::typeKeys (const std::string& keys)
{
    runCommand ("xdotool key --delay " + std::to_string (holdOfAClick) + " " + keys);
}

void AppUnderTest::clickAt (const std::string& window, juce::Point<int> point)
{
    approach (window, point);
    pause (restBeforePress);
    runCommand ("xdotool mousedown 1");
    pause (holdOfAClick);
    runCommand ("xdotool mouseup 1");
}

void AppUnderTest::click (juce::Point<int> panelPoint)
{
    clickAt (windowId, inWindow (panelPoint));
}

void AppUnderTest::doubleClickInWindow (juce::Point<int> windowPoint)
{
    approach (windowId, windowPoint);
    pause (restBeforePress);
    runCommand ("xdotool click --repeat 2 --delay " + std::to_string (holdOfAClick) + " 1");
}

void AppUnderTest::moveInWindow (const std::string& otherWindow, juce::Point<int> point)
{
    approach (otherWindow, point);
}

juce::Rectangle<int> AppUnderTest::areaOf (const std::string& window)
{
    const auto info = runCommand ("xwininfo -id " + window).output;
    const auto field = [&info] (const std::string& name)
    {
        std::smatch match;
        const std::regex pattern (name + ":\\s+(-?\\d+)");
        return std::regex_search (info, match, pattern) ? std::stoi (match[1]) : -1;
    };
    return { field ("Absolute upper-left X"), field ("Absolute upper-left Y"), field ("Width"), field ("Height") };
}

juce::Rectangle<int> AppUnderTest::contentArea()
{
    const auto area = areaOf (windowId);
    return { area.getX() + contentLeft, area.getY() + contentTop, contentWidth, contentHeight };
}

juce::Image AppUnderTest::screenShot()
{
    const auto file = juce::File::createTempFile (".png");
    runCommand ("import -window root png:" + file.getFullPathName().toStdString());
    auto screen = juce::ImageFileFormat::loadFrom (file);
    file.deleteFile();
    return screen.isValid() ? screen.convertedToFormat (juce::Image::ARGB) : juce::Image();
}

namespace
{
// The part of a screenshot that an area of the screen covers, or an invalid image.
juce::Image shotOf (juce::Rectangle<int> area)
{
    const auto screen = AppUnderTest::screenShot();
    if (!screen.isValid())
        return {};
    return screen.getClippedImage (area).createCopy();
}
} // namespace

juce::Image AppUnderTest::panelShot()
{
    return shotOf (contentArea());
}

juce::Image AppUnderTest::windowShot()
{
    return shotOf (areaOf (windowId));
}

juce::Image AppUnderTest::take (Shot what)
{
    switch (what)
    {
    case Shot::panel:
        return panelShot();
    case Shot::window:
        return windowShot();
    case Shot::screen:
        break;
    }
    return screenShot();
}

bool AppUnderTest::waitForPicture (const std::function<bool (const juce::Image&)>& holds, int timeoutMs, Shot what)
{
    return sleepUntil (
        [&]
        {
            auto& shot = shots[(size_t)what];
            shot = take (what);
            return shot.isValid() && holds (shot);
        },
        timeoutMs, 100);
}

namespace
{
// The close button in window coordinates. The orange band around its cross has blue 33.
const juce::Point<int> closeButtonCentre (586, 33);
const juce::Rectangle<int> closeButtonArea (571, 18, 30, 30);

// Generous bounds: a busy machine stretches every step, but none of them by this much.
constexpr int lightUpTimeoutMs = 3000;
constexpr int pressShowsTimeoutMs = 10000;
constexpr int releaseShowsTimeoutMs = 10000;
constexpr int closingStepTimeoutMs = 20000;
constexpr int stillPointerMs = 2000;
constexpr int mostPresses = 5;
constexpr int mostReleases = 3;

// The brightest blue of the close button's cross on a screenshot of the whole screen, or -1.
int crossBlue (const juce::Image& screen, juce::Rectangle<int> window)
{
    if (!screen.isValid() || window.getWidth() <= 0)
        return -1;
    int brightest = 0;
    const auto area = closeButtonArea + window.getPosition();
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            brightest = std::max (brightest, (int)screen.getPixelAt (x, y).getBlue());
    return brightest;
}

bool shows (int blue, int grey)
{
    return blue >= 0 && std::abs (blue - grey) <= 3;
}
} // namespace

bool AppUnderTest::watchCloseButton (const std::string& window, const std::function<bool (int)>& looksRight,
                                     int timeoutMs, const std::function<bool()>& giveUp, int* nudges)
{
    const auto area = areaOf (window);
    auto still = std::chrono::steady_clock::now();
    bool seen = false;
    pollUntil (
        [&]
        {
            seen = looksRight (crossBlue (screenShot(), area));
            return seen || (giveUp && giveUp());
        },
        timeoutMs,
        [&]
        {
            if (nudges != nullptr &&
                std::chrono::steady_clock::now() - still > std::chrono::milliseconds (stillPointerMs))
            {
                // One pixel to the side and back again on the next nudge, within the button.
                runCommand (std::string ("xdotool mousemove_relative -- ") + (*nudges % 2 == 0 ? "1" : "-1") + " 0");
                ++*nudges;
                still = std::chrono::steady_clock::now();
            }
            pause (100);
        });
    return seen;
}

bool AppUnderTest::waitForCloseButton (const std::string& window, int grey, int timeoutMs)
{
    return watchCloseButton (
        window, [grey] (int blue) { return shows (blue, grey); }, timeoutMs, {}, nullptr);
}

// A pointer put down at once is now and then not seen to arrive: a hand that sees nothing light up
// moves a little and looks again.
bool AppUnderTest::hoverTheCloseButton (const std::string& window, const std::function<bool()>& giveUp)
{
    for (int attempt = 0; attempt < 5 && !(giveUp && giveUp()); ++attempt)
    {
        approach (window, closeButtonCentre);
        if (watchCloseButton (
                window, [] (int blue) { return shows (blue, crossUnderPointer); }, lightUpTimeoutMs, giveUp, nullptr))
            return true;
    }
    return false;
}

bool AppUnderTest::pressTheCloseButton (const std::string& window, int& nudges, const std::function<bool()>& giveUp)
{
    pause (restBeforePress);
    runCommand ("xdotool mousedown 1");
    return watchCloseButton (
        window, [] (int blue) { return shows (blue, crossPressed); }, pressShowsTimeoutMs, giveUp, &nudges);
}

AppUnderTest::Closing AppUnderTest::closeWithTheCloseButton()
{
    Closing closing;
    closing.failure = closeWithTheCloseButton (closing);
    const auto times = [] (int count, const char* what, const char* plural)
    { return std::to_string (count) + " " + (count == 1 ? what : plural); };
    std::cout << "[ close    ] the close button took " << times (closing.presses, "press", "presses") << " ("
              << times (closing.nudges, "nudge", "nudges") << ") and "
              << times (closing.releases, "release", "releases") << std::endl;
    return closing;
}

std::string AppUnderTest::closeWithTheCloseButton (Closing& closing)
{
    const auto logBefore = logMark();
    const auto closingBegan = [&] { return waitForLine (destructorRun, logBefore, 0).has_value() || !isRunning(); };
    // Looked at while the button is still held: a button acts on its release.
    const auto closedOnThePress = [&]() -> std::string
    {
        if (waitForLine (destructorRun, logBefore, 0))
            return "the application began to close on the press, before the release: the destructor's first line \"" +
                   std::string (destructorRun) + "\" came while the close button was held";
        if (!isRunning())
            return "the application ended on the press, before the release";
        return {};
    };

    // Until a press has shown and its release has been taken, or the app has begun to close.
    bool taken = false;
    while (!taken && !closingBegan())
    {
        if (!hoverTheCloseButton (windowId, closingBegan))
        {
            if (closingBegan())
                break;
            return "the close button did not light up under the pointer";
        }
        // An earlier release may have brought its press in only now.
        if (closingBegan())
            break;
        if (closing.presses == mostPresses)
            return "no press showed on the close button in " + std::to_string (mostPresses) + " presses";
        ++closing.presses;
        const bool shown = pressTheCloseButton (windowId, closing.nudges, closingBegan);
        // Once a release has gone out, the app may close on it late, while a later press is held.
        if (closing.releases == 0)
        {
            if (const auto early = closedOnThePress(); !early.empty())
                return early;
        }
        else if (closingBegan())
            break;
        if (!shown)
        {
            // Never shown: the window did not take the press. Let go, and press again unless the
            // release has brought the press in after all.
            ++closing.releases;
            release();
            continue;
        }
        // Let go until the press no longer shows: the button lights as under the pointer, or the
        // window has gone.
        for (int releases = 0; !taken; ++releases)
        {
            if (releases == mostReleases)
                return "the press still showed after " + std::to_string (mostReleases) + " releases of the button";
            ++closing.releases;
            release();
            taken = watchCloseButton (
                windowId, [] (int blue) { return blue >= 0 && !shows (blue, crossPressed); }, releaseShowsTimeoutMs,
                closingBegan, &closing.nudges);
            taken = taken || closingBegan();
        }
    }

    const auto withinBound = " within " + std::to_string (closingStepTimeoutMs / 1000) + " s";
    const auto run = waitForLine (destructorRun, logBefore, closingStepTimeoutMs);
    if (!run)
        return std::string (taken ? "the close button showed a press and took its release" : "the app began to close") +
               ", but the destructor's first line \"" + destructorRun + "\" did not come" + withinBound;
    if (!waitForLine (destructorEnd, *run + 1, closingStepTimeoutMs))
        return "the destructor's last line \"" + std::string (destructorEnd) + "\" did not come" + withinBound +
               " of its first";
    closing.exitCode = waitForExit (closingStepTimeoutMs);
    if (!closing.exitCode)
        return "the process did not end" + withinBound + " of the destructor's last line";
    return {};
}

bool displayAvailable()
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return false;
    XCloseDisplay (display);
    return true;
}

void keepScreenshot (const juce::Image& image, const std::string& name)
{
    const char* dir = std::getenv ("ZARVO_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0' || !image.isValid())
        return;
    const auto file = juce::File (dir).getChildFile (juce::String (name) + ".png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    if (out.openedOk())
        juce::PNGImageFormat().writeImageToStream (image, out);
}
} // namespace zarvo::test
