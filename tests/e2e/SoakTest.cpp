// The shipped executable against the virtual KT-Q7TR for a long while, as a panel left running next
// to a microphone that comes and goes: first many unplug and replug cycles while the heartbeat polls
// and a hand drags the gain slider, then the connected panel standing idle after one command. Each
// phase reads the process's open descriptors and threads once it has settled in and again at its
// end, and they must be exactly where they were; the resident memory is printed beside them.
//
// Sized by the environment of this test (the app reads none of it):
//   ZARVO_SOAK_CYCLES        unplug and replug cycles (default 150; 0 leaves the phase out)
//   ZARVO_SOAK_IDLE_SECONDS  seconds of standing idle (default 20; 0 leaves the phase out)
// The first reading of the cycles is taken after cycle 100, or after a third of the cycles when
// there are fewer than 300; that of the idle phase after its first minute, or after its first
// quarter when it lasts less than four minutes.
//
// The app writes thousands of log lines a second: they are drained through a pipe and counted, and
// only the few lines waited for are kept.
#include "AppUnderTest.h"
#include "CommandFrame.h"
#include "PanelGeometry.h"
#include "PluggableMicrophone.h"
#include "PollUntil.h"
#include "ProcessFootprint.h"
#include "UdevEventInjector.h"
#include "Wire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace zarvo::test;

namespace
{
using namespace wire;
using Clock = std::chrono::steady_clock;

// ---- the environment of this test

int soakSetting (const char* name, int fallback)
{
    const char* text = std::getenv (name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char* end = nullptr;
    const long value = std::strtol (text, &end, 10);
    if (*end != '\0' || value < 0 || value > 1000000)
    {
        ADD_FAILURE() << name << "=" << text << " is not a count; " << fallback << " is used";
        return fallback;
    }
    return (int)value;
}

// What an arrival sends, in this order: the opening's heartbeat, the state read back and each
// switch sent once more as the device holds it (not muted, both effects off), the start-up
// command, the information query.
const Reports arrival =
    Reports{ heartbeatQuery, infoQuery, query (microphoneGroup), query (noiseGroup), query (reverbGroup) } +
    sent (setFrame (microphoneGroup, 1, 0)) + sent (setFrame (noiseGroup, 0, 0)) + sent (setFrame (reverbGroup, 0, 0)) +
    sent (setFrame (microphoneGroup, 0, 1)) + Reports{ infoQuery };

// The heartbeat's queries after the first arrival.size() reports: the heartbeat polls the
// microphone that has heard an arrival's reports (or a start's, which are as many).
long heartbeatsAfterArrival (const Reports& all)
{
    return heartbeatsAfter (all, arrival.size());
}

bool polledAfterArrival (const Reports& all)
{
    return heartbeatsAfterArrival (all) > 0;
}

// Longer than any stall of a loaded machine, far shorter than a heartbeat that has stopped.
constexpr std::chrono::milliseconds heartbeatGapLimit{ 5000 };
// Far above the 60 ms heartbeat's 17 polls a second, far below the 1 ms one's hundreds.
constexpr double slowHeartbeatLimit = 30.0;

// ---- the log: only these lines are kept; the rest is counted and dropped

const char* const removalLine = "1===========";
const char* const arrivalLine = "0===========";
const char* const failedHeartbeat = "HeartbeatData: -1";
const char* const dragStarted = "Gain_silderDragStarted: ";
const char* const dragEnded = "GainsliderDragEnded: ";
const char* const informationRead = "deviceNameStr: Q7TR";
const char* const constructorEnd = "BackgroundComponent::BackgroundComponent(). The constructor end";
const char* const mutedLine = "open Mic Noise Suppressor success";
const char* const unmutedLine = "close Mic Noise Suppressor success";

// The synchronisation's line: eight numbers, each followed by one blank.
bool isStatusLine (const std::string& line)
{
    std::istringstream fields (line);
    int count = 0;
    for (std::string field; fields >> field; ++count)
        if (field.find_first_not_of ("-0123456789") != std::string::npos)
            return false;
    return count == 8 && !line.empty() && line.back() == ' ';
}

// The elements of the synchronisation's status line, in index order.
std::vector<std::string> statusElements (const std::string& line)
{
    std::istringstream fields (line);
    std::vector<std::string> elements;
    for (std::string field; fields >> field;)
        elements.push_back (field);
    return elements;
}

// Elements 1 to 7 of a status line, with the gain (element 2), which the drag moves, left out.
std::string statusWithoutGain (const std::string& line)
{
    const auto elements = statusElements (line);
    std::string text;
    for (size_t i = 1; i < elements.size(); ++i)
        text += (i == 2 ? std::string ("*") : elements[i]) + " ";
    return text;
}

// Called on the harness's reader thread for every line.
bool worthKeeping (const std::string& line)
{
    static const char* const exact[] = { removalLine,    arrivalLine, failedHeartbeat, informationRead,
                                         constructorEnd, mutedLine,   unmutedLine };
    for (const auto* text : exact)
        if (line == text)
            return true;
    return line.rfind (dragStarted, 0) == 0 || line.rfind (dragEnded, 0) == 0 || isStatusLine (line);
}

// ---- the process from outside

// Two readings in a row that agree, so that a descriptor open for a moment is not counted.
ProcessFootprint settledFootprint (pid_t pid)
{
    std::optional<ProcessFootprint> last;
    const bool settled = sleepUntil (
        [&]
        {
            auto next = readFootprint (pid);
            const bool agree = last && next.descriptors == last->descriptors && next.threads == last->threads;
            last = std::move (next);
            return agree;
        },
        5000, 200);
    EXPECT_TRUE (settled) << "the descriptors and threads never read the same twice in a row";
    return *last;
}

std::string differences (const std::map<std::string, int>& before, const std::map<std::string, int>& after)
{
    std::map<std::string, int> change;
    for (const auto& [name, count] : before)
        change[name] -= count;
    for (const auto& [name, count] : after)
        change[name] += count;
    std::string text;
    for (const auto& [name, delta] : change)
        if (delta != 0)
            text += "\n  " + std::string (delta > 0 ? "+" : "") + std::to_string (delta) + " " + name;
    return text;
}

long long milliseconds (Clock::duration duration)
{
    return (long long)std::chrono::duration_cast<std::chrono::milliseconds> (duration).count();
}

double secondsSince (Clock::time_point start)
{
    return std::chrono::duration<double> (Clock::now() - start).count();
}

std::string decimal (double value, int places = 1)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision (places) << value;
    return text.str();
}

void print (const std::string& text)
{
    std::cout << "[ soak     ] " << text << std::endl;
}

std::string summary (const ProcessFootprint& footprint)
{
    return std::to_string (footprint.descriptors) + " descriptors, " + std::to_string (footprint.threads) +
           " threads, VmRSS " + std::to_string (footprint.residentKb) + " kB";
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#elif defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

class Soak : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cycles = soakSetting ("ZARVO_SOAK_CYCLES", 150);
        idleSeconds = soakSetting ("ZARVO_SOAK_IDLE_SECONDS", 20);
        // They size this test only: the app is started without them.
        ::unsetenv ("ZARVO_SOAK_CYCLES");
        ::unsetenv ("ZARVO_SOAK_IDLE_SECONDS");

        ZARVO_REQUIRE (readyForTheApp (microphone));

        AppUnderTest::Launch launch;
        launch.appPath = ZARVO_APP_PATH;
        launch.preloadPath = ZARVO_PRELOAD_PATH;
        launch.enumerationControl = microphone.controlFile();
        launch.drainLog = true;
        launch.keepLine = worthKeeping;
        started = Clock::now();
        app = std::make_unique<AppUnderTest> (launch);
        if (!app->findWindow (20000))
            FAIL() << app->whyNoWindow() << "\nand logged:" << tail();
    }

    void TearDown() override
    {
        if (app == nullptr)
            return;
        const auto counts = app->logCounts();
        print ("whole run: " + decimal (secondsSince (started)) + " s, " + std::to_string (counts.lines) +
               " log lines (" + std::to_string (counts.bytes / 1024) + " KiB) drained");
        if (!HasFailure())
            return;
        const auto exitCode = app->waitForExit (0);
        std::cout << "The application " << (exitCode ? "ended with " + std::to_string (*exitCode) : "still runs")
                  << "; its last log lines:" << tail() << std::endl;
    }

    std::string tail() const
    {
        std::string text;
        for (const auto& line : app->recentLines())
            text += "\n  " + line;
        return text;
    }

    // ---- waiting, always within bounds a loaded machine keeps to

    Reports commandsSinceClear()
    {
        Reports commands;
        for (auto& bytes : microphone.model().receivedReports())
            if (!isPoll (bytes))
                commands.push_back (std::move (bytes));
        return commands;
    }

    bool waitForReports (const std::function<bool (const Reports&)>& holds, int timeoutMs = 10000)
    {
        return sleepUntil ([&] { return holds (microphone.model().receivedReports()); }, timeoutMs);
    }

    // Waits for the line (or a line starting with it) at or after index `from` and puts its index in
    // `at`; the failure names the line and the cycle.
    ::testing::AssertionResult logged (const std::string& line, size_t from, size_t* at = nullptr, bool prefix = false)
    {
        const auto found = app->waitForLine (line, from, 10000, prefix);
        if (!found)
            return ::testing::AssertionFailure() << where() << "no log line " << (prefix ? "starting with " : "")
                                                 << "\"" << line << "\" after line " << from;
        if (at != nullptr)
            *at = *found;
        return ::testing::AssertionSuccess();
    }

    std::string where() const { return cycle > 0 ? "cycle " + std::to_string (cycle) + ": " : std::string(); }

    void expectUnchanged (const ProcessFootprint& before, const ProcessFootprint& after, const std::string& phase)
    {
        EXPECT_EQ (after.descriptors, before.descriptors)
            << phase << ": open descriptors changed:" << differences (before.descriptorKinds, after.descriptorKinds);
        EXPECT_EQ (after.threads, before.threads)
            << phase << ": threads changed:" << differences (before.threadNames, after.threadNames);
        // Only a sanity bound: the resident set may settle a little, but not grow without end. (Under
        // AddressSanitizer freed memory waits in its quarantine, so the resident set grows anyway.)
        if (!sanitized)
        {
            EXPECT_LT (after.residentKb, before.residentKb + 64 * 1024) << phase << ": resident memory grew";
        }
    }

public:
    // ---- the steps

    void startsConnected();
    bool pressTheGainSlider (int value, size_t from);
    void unplugsAndReplugs (int number);
    void expectNothingQueuedToGoOut (const std::string& statusLine);
    void expectThePressFirst (size_t logBefore);
    void cyclesThePlug();
    void standsIdle();
    void closesWithTheCloseButton();
    void printSliderPresses() const;

protected:
    int cycles = 0;
    int idleSeconds = 0;
    int cycle = 0;
    std::vector<int> retriedCycles; // the cycles whose gain slider press was made once more
    PluggableMicrophone microphone;
    std::unique_ptr<AppUnderTest> app;
    Clock::time_point started;
};

void Soak::startsConnected()
{
    ASSERT_TRUE (logged (constructorEnd, 0));
    ASSERT_TRUE (waitForReports (polledAfterArrival)) << "the heartbeat does not reach the microphone";
}

// A press on the track a hand means to drag. A press that comes just as the mask goes, before the
// paint that hides it, lands on the mask: the hand lets go and presses once more, and that is
// counted. Nothing else takes a press away, and the paint comes once: a second miss fails the cycle.
bool Soak::pressTheGainSlider (int value, size_t from)
{
    constexpr int mostPresses = 2;
    for (int presses = 1;; ++presses)
    {
        app->press ({ sliderX (value), gainY });
        if (app->waitForLine (dragStarted, from, 3000, true))
            return true;
        app->release();
        if (presses == mostPresses)
        {
            ADD_FAILURE() << where() << "the gain slider took none of " << mostPresses
                          << " presses: only the paint before the mask goes takes one away, and only once";
            return false;
        }
        retriedCycles.push_back (cycle);
        juce::Thread::sleep (300);
    }
}

void Soak::printSliderPresses() const
{
    std::string which;
    for (const int retried : retriedCycles)
        which += (which.empty() ? ": cycle " : ", ") + std::to_string (retried);
    print ("the gain slider took " + std::to_string (cycles + (int)retriedCycles.size()) + " presses in " +
           std::to_string (cycles) + " cycles; " + std::to_string (retriedCycles.size()) +
           " of the cycles pressed it a second time" + which);
}

// One cycle, begun and ended connected with the heartbeat polling: a drag of the gain slider that
// goes on while the microphone is unplugged and vanishes, the mask once the heartbeat fails, then
// the microphone's return and the arrival's resynchronisation, on the wire and in the log, and the
// heartbeat polling the new handle.
void Soak::unplugsAndReplugs (int number)
{
    cycle = number;
    // Later cycles keep what the last one's end left, so that nothing sent between two cycles (while
    // the footprint is read, say) goes unseen by the look before the press.
    if (number == 1)
        microphone.model().clearRecord();
    const auto logBefore = app->logMark();
    // Up the track in one cycle, down it in the next.
    const int from = number % 2 == 0 ? 30 : 70, step = number % 2 == 0 ? 2 : -2;
    ASSERT_TRUE (pressTheGainSlider (from, logBefore));
    int value = from;
    for (int move = 0; move < 4; ++move)
    {
        app->dragTo ({ sliderX (value += step), gainY });
        juce::Thread::sleep (40);
    }
    const auto isGain = [] (const Bytes& bytes) { return setValue (bytes, microphoneGroup, 2) >= 0; };
    ASSERT_TRUE (waitForReports ([&] (const Reports& all) { return std::any_of (all.begin(), all.end(), isGain); }))
        << where() << "the drag sent no gain to the microphone:" << describe (commandsSinceClear());
    expectThePressFirst (logBefore);

    std::string whyNot;
    ASSERT_TRUE (microphone.unplug (whyNot)) << where() << whyNot;
    for (int move = 0; move < 4; ++move)
    {
        app->dragTo ({ sliderX (value += step), gainY });
        juce::Thread::sleep (40);
    }
    size_t removal = 0;
    ASSERT_TRUE (logged (removalLine, logBefore, &removal));
    app->release();
    ASSERT_TRUE (logged (dragEnded, logBefore, nullptr, true));
    ASSERT_TRUE (logged (failedHeartbeat, removal)) << "(the heartbeat never failed)";

    microphone.model().clearRecord();
    ASSERT_TRUE (microphone.plug (whyNot)) << where() << whyNot;
    size_t arrived = 0;
    ASSERT_TRUE (logged (arrivalLine, removal, &arrived));
    const auto synced = app->waitForLineWhere ([] (const std::string& line) { return isStatusLine (line); }, arrived);
    ASSERT_TRUE (synced.has_value()) << where() << "no synchronisation after the arrival";
    EXPECT_EQ (statusWithoutGain (app->logLines()[*synced]), "0 * 78 20 0 0 70 ") << where();
    ASSERT_TRUE (logged (informationRead, *synced));

    // The microphone that came back hears the arrival's reports first, in their order, and then
    // the heartbeat's polls again.
    const bool polled = waitForReports (polledAfterArrival);
    const auto all = microphone.model().receivedReports();
    const Reports first (all.begin(), all.begin() + (long)std::min (all.size(), arrival.size()));
    ASSERT_TRUE (first == arrival) << where() << "received:" << describe (first) << "\nwanted:" << describe (arrival);
    ASSERT_TRUE (polled) << where() << "no heartbeat reached the microphone after its arrival";
    expectNothingQueuedToGoOut (app->logLines()[*synced]);
}

// The drag's values queued while no microphone answered are stale once the arrival has read the
// microphone back: the first heartbeat answered lets the pacer send again, and by the second it
// has had many turns. None of those values went out, and the microphone holds the gain read back,
// the one the label shows. From there to its press the next cycle looks on (expectThePressFirst),
// the record cleared here.
void Soak::expectNothingQueuedToGoOut (const std::string& statusLine)
{
    ASSERT_TRUE (waitForReports ([] (const Reports& all) { return heartbeatsAfterArrival (all) >= 2; }))
        << where() << "the heartbeat stopped after the arrival";
    const auto all = microphone.model().receivedReports();
    const Reports since (all.begin() + (long)std::min (all.size(), arrival.size()), all.end());
    EXPECT_TRUE (std::none_of (since.begin(), since.end(), isSliderFrame))
        << where() << "slider values went out after the arrival's read-back:" << describe (since);
    const auto elements = statusElements (statusLine);
    ASSERT_GT (elements.size(), 2u) << where() << "no gain in the status line \"" << statusLine << "\"";
    const auto& readBackGain = elements[2];
    const auto rawGain = (unsigned int)microphone.model().parameter (microphoneGroup, 2);
    EXPECT_EQ (std::to_string (zarvo::gainPercentFromRaw (rawGain)), readBackGain)
        << where() << "the microphone's gain is not the one read back (raw " << rawGain << ")";
    // The next cycle's press looks on from here.
    microphone.model().clearRecord();
}

// From the last arrival's check to this cycle's press nothing else went out: the first slider frame
// since the record was cleared (by that check, or before the first press) is the press's own, the
// value from before it.
void Soak::expectThePressFirst (size_t logBefore)
{
    size_t started = 0;
    ASSERT_TRUE (logged (dragStarted, logBefore, &started, true));
    const int pressed = std::stoi (app->logLines()[started].substr (std::string (dragStarted).size()));
    const auto commands = commandsSinceClear();
    const auto first = std::find_if (commands.begin(), commands.end(), isSliderFrame);
    ASSERT_NE (first, commands.end()) << where() << "no slider frame went out";
    EXPECT_EQ (describe (*first), describe (setFrame (microphoneGroup, 2, pressed)))
        << where() << "before the press's frame:" << describe (commands);
}

void Soak::cyclesThePlug()
{
    const int firstReading = cycles >= 300 ? 100 : std::max (1, cycles / 3);
    const auto phaseStart = Clock::now();
    const auto linesAtStart = app->logCounts().lines;
    ProcessFootprint baseline;
    for (int number = 1; number <= cycles; ++number)
    {
        unplugsAndReplugs (number);
        if (HasFailure())
            return;
        if (number == firstReading)
        {
            baseline = settledFootprint (app->pid);
            print ("after cycle " + std::to_string (number) + ": " + summary (baseline));
        }
        else if (number % 100 == 0 && number != cycles)
            print ("after cycle " + std::to_string (number) + ": " + summary (readFootprint (app->pid)) + ", " +
                   std::to_string ((int)secondsSince (phaseStart)) + " s");
    }
    cycle = 0;
    printSliderPresses();
    const auto end = settledFootprint (app->pid);
    const auto seconds = secondsSince (phaseStart);
    const auto lines = app->logCounts().lines - linesAtStart;
    print ("after cycle " + std::to_string (cycles) + ": " + summary (end));
    print (std::to_string (cycles) + " cycles in " + decimal (seconds) + " s (" + decimal (seconds / cycles, 2) +
           " s each), " + std::to_string (lines) + " log lines, " + std::to_string ((long)(lines / seconds)) +
           " a second");
    print ("resident memory from cycle " + std::to_string (firstReading) + " to " + std::to_string (cycles) + ": " +
           std::to_string (end.residentKb - baseline.residentKb) + " kB");
    expectUnchanged (baseline, end, "unplug and replug cycles");
}

void Soak::standsIdle()
{
    // The first command: mute and unmute. The heartbeat polls every 60 ms from here on.
    microphone.model().clearRecord();
    auto mark = app->logMark();
    app->click (muteButton);
    ASSERT_TRUE (logged (mutedLine, mark));
    mark = app->logMark();
    app->click (muteButton);
    ASSERT_TRUE (logged (unmutedLine, mark));
    app->moveTo ({ 300, 600 });
    const Reports muting = sent (setFrame (microphoneGroup, 1, 1)) + sent (setFrame (microphoneGroup, 1, 0));
    ASSERT_TRUE (waitForReports (
        [&muting] (const Reports& all)
        {
            return (size_t)std::count_if (all.begin(), all.end(),
                                          [] (const Bytes& bytes) { return !isPoll (bytes); }) >= muting.size();
        }));
    ASSERT_TRUE (commandsSinceClear() == muting) << "received:" << describe (commandsSinceClear());

    // Then nothing but the heartbeat and the level's polls reach the microphone, which keeps
    // answering, and the heartbeat never stops for long; each look at the record clears it, so that
    // the record stays small.
    microphone.model().clearRecord();
    const auto idleMark = app->logMark();
    const int firstReading = idleSeconds >= 240 ? 60 : std::max (1, idleSeconds / 4);
    const int report = std::max (60, idleSeconds / 6);
    const auto phaseStart = Clock::now();
    const auto linesAtStart = app->logCounts().lines;
    ProcessFootprint baseline;
    bool baselineTaken = false;
    int nextReport = report;
    unsigned long long polls = 0;
    auto lastHeartbeat = phaseStart;
    Clock::duration longestGap{};
    while (secondsSince (phaseStart) < idleSeconds)
    {
        juce::Thread::sleep (1000);
        ASSERT_TRUE (app->isRunning()) << "the application ended while it stood idle";
        const auto transfers = microphone.model().transfers();
        microphone.model().clearRecord();
        Reports others;
        for (const auto& transfer : transfers)
        {
            if (transfer.direction != MicrophoneModel::Direction::output || transfer.result <= 0)
                continue;
            if (transfer.bytes == heartbeatQuery)
            {
                ++polls;
                longestGap = std::max (longestGap, transfer.receivedAt - lastHeartbeat);
                lastHeartbeat = transfer.receivedAt;
            }
            else if (!isPoll (transfer.bytes))
                others.push_back (transfer.bytes);
        }
        ASSERT_TRUE (others.empty()) << "something but the polls reached the idle microphone:" << describe (others);
        longestGap = std::max (longestGap, Clock::now() - lastHeartbeat);
        ASSERT_LT (milliseconds (longestGap), heartbeatGapLimit.count())
            << "the longest time (ms) in which no heartbeat reached the idle microphone, "
            << decimal (secondsSince (phaseStart)) << " s into the idle time";
        const auto elapsed = secondsSince (phaseStart);
        if (!baselineTaken && elapsed >= firstReading)
        {
            baseline = settledFootprint (app->pid);
            baselineTaken = true;
            print ("idle " + std::to_string ((int)elapsed) + " s: " + summary (baseline));
        }
        else if (elapsed >= nextReport && elapsed < idleSeconds)
        {
            const auto lines = app->logCounts().lines - linesAtStart;
            print ("idle " + std::to_string ((int)elapsed) + " s: " + summary (readFootprint (app->pid)) + ", " +
                   std::to_string ((long)(lines / elapsed)) + " log lines a second, " + std::to_string (polls) +
                   " heartbeats");
            nextReport += report;
        }
    }
    const auto seconds = secondsSince (phaseStart);
    const auto end = settledFootprint (app->pid);
    const auto lines = app->logCounts().lines - linesAtStart;
    print ("idle " + std::to_string ((int)seconds) + " s: " + summary (end));
    print (decimal (seconds) + " s idle: " + std::to_string (polls) + " heartbeats (" + decimal (polls / seconds) +
           " a second, at most " + std::to_string (milliseconds (longestGap)) + " ms apart), " +
           std::to_string (lines) + " log lines, " + std::to_string ((long)(lines / seconds)) + " a second");
    print ("resident memory over the idle time after the first reading: " +
           std::to_string (end.residentKb - baseline.residentKb) + " kB");
    EXPECT_GT (polls, 0u) << "the heartbeat stood still";
    // Load can only make the heartbeat slower: faster than this, it is not the 60 ms one.
    EXPECT_LT (polls / seconds, slowHeartbeatLimit) << "after the first command the heartbeat still polls at 1 ms";
    EXPECT_FALSE (app->waitForLine (failedHeartbeat, idleMark, 0).has_value()) << "a heartbeat failed while idle";
    expectUnchanged (baseline, end, "standing idle");
}

void Soak::closesWithTheCloseButton()
{
    const auto closing = app->closeWithTheCloseButton();
    ASSERT_TRUE (closing.failure.empty()) << closing.failure;
    EXPECT_EQ (*closing.exitCode, 0);
}
} // namespace

// One session of the application: started connected, the plug cycled, left idle, closed.
TEST_F (Soak, LeavesNoDescriptorOrThreadBehind)
{
    print (std::to_string (cycles) + " unplug and replug cycles, then " + std::to_string (idleSeconds) +
           " s standing idle");
    const std::pair<const char*, void (Soak::*)()> steps[] = {
        { "start connected", &Soak::startsConnected },
        { "unplug and replug cycles", &Soak::cyclesThePlug },
        { "standing idle", &Soak::standsIdle },
        { "close button", &Soak::closesWithTheCloseButton },
    };
    for (const auto& [name, step] : steps)
    {
        if ((step == &Soak::cyclesThePlug && cycles == 0) || (step == &Soak::standsIdle && idleSeconds == 0))
            continue;
        SCOPED_TRACE (name);
        (this->*step)();
        if (HasFatalFailure())
            return;
    }
}
