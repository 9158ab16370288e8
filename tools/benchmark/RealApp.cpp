// Figures 1, 2, 4 and 5: the shipped ZarvoQ7TR, started as the end-to-end tests start it (with the
// enumeration preload, in this process's private network namespace, on this X server), against the
// virtual KT-Q7TR. Everything comes from what the application already writes: the reports at the
// device, stamped as they arrive; its standard error, read as it grows and counted, never kept; and
// /proc. The idle figures are taken twice: with standard error a pipe, and with it a journal stream
// (a socket connected to a listener at journald's path on this process's private /run), as a desktop
// that logs its applications into the journal gives it.
#include "AppUnderTest.h"
#include "Benchmark.h"
#include "CommandFrame.h"
#include "FakePointer.h"
#include "InstanceLock.h"
#include "PanelGeometry.h"
#include "PluggableMicrophone.h"
#include "PollUntil.h"
#include "PrivateMountNamespace.h"
#include "ProcessFootprint.h"
#include "StreamEnds.h"
#include "Wire.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace zarvo::benchmark
{
namespace
{
using test::AppUnderTest;
using test::MicrophoneModel;
namespace wire = test::wire;

// ---- the single-instance lock

using test::runningCopy;

// Waits while another copy of the application runs; false once the time is up.
bool waitForNoOtherCopy (const Options& options)
{
    bool told = false;
    return test::sleepUntil (
        [&]
        {
            const auto holder = runningCopy();
            if (holder && !told)
                std::cerr << "benchmark: another copy of ZarvoQ7TR runs (process " << *holder
                          << "); only one can run at a time: waiting until it has ended" << std::endl;
            told = told || holder;
            return !holder;
        },
        options.lockWaitMinutes * 60 * 1000, 2000);
}

// ---- the wire

using Transfers = std::vector<MicrophoneModel::Transfer>;

// The outputs in order: pointers into `transfers`, which must outlive them.
std::vector<const MicrophoneModel::Transfer*> outputsOf (const Transfers& transfers)
{
    std::vector<const MicrophoneModel::Transfer*> outputs;
    for (const auto& transfer : transfers)
        if (transfer.direction == MicrophoneModel::Direction::output && transfer.result > 0)
            outputs.push_back (&transfer);
    return outputs;
}

// The first heartbeat poll: a heartbeat query that the level query follows (the opening's
// heartbeat is followed by two fetches and the information query instead).
std::optional<Clock::time_point> firstPoll (const Transfers& transfers)
{
    const auto outputs = outputsOf (transfers);
    for (size_t i = 0; i + 1 < outputs.size(); ++i)
        if (outputs[i]->bytes == wire::heartbeatQuery && outputs[i + 1]->bytes == wire::levelQuery)
            return outputs[i]->receivedAt;
    return {};
}

// The gain frames in order: the values they set and when they arrived.
std::vector<std::pair<int, Clock::time_point>> gainFrames (const Transfers& transfers)
{
    std::vector<std::pair<int, Clock::time_point>> frames;
    for (const auto* output : outputsOf (transfers))
        if (const int value = wire::setValue (output->bytes, group::microphone, param::gain); value >= 0)
            frames.emplace_back (value, output->receivedAt);
    return frames;
}

// The first report that set this parameter to a value (any value: -1) at or after `from`.
std::optional<Clock::time_point> firstSet (const Transfers& transfers, unsigned char group, unsigned char parameter,
                                           int value, Clock::time_point from)
{
    for (const auto* output : outputsOf (transfers))
    {
        const int sent = wire::setValue (output->bytes, group, parameter);
        if (sent >= 0 && (value < 0 || sent == value) && output->receivedAt >= from)
            return output->receivedAt;
    }
    return {};
}

// Polls the record until `find` gives a time or the time is up. The record carries the times, so
// how often it is looked at changes nothing but the wait.
std::optional<Clock::time_point>
waitInRecord (MicrophoneModel& model, int timeoutMs,
              const std::function<std::optional<Clock::time_point> (const Transfers&)>& find)
{
    std::optional<Clock::time_point> found;
    test::sleepUntil (
        [&]
        {
            found = find (model.transfers());
            return found.has_value();
        },
        timeoutMs, 10);
    return found;
}

// ---- /proc

// utime + stime of the process, in clock ticks.
long long cpuTicks (pid_t pid)
{
    std::ifstream in ("/proc/" + std::to_string (pid) + "/stat");
    std::string text ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind (')');
    if (close == std::string::npos)
        return -1;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    std::istringstream fields (text.substr (close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number)
    {
        if (number == 14)
            utime = std::stoll (field);
        if (number == 15)
            stime = std::stoll (field);
    }
    return utime + stime;
}

// The X server of DISPLAY, from its lock file /tmp/.X<n>-lock.
pid_t xServer()
{
    const char* display = std::getenv ("DISPLAY");
    if (display == nullptr || display[0] != ':')
        return -1;
    const int number = std::atoi (display + 1);
    std::ifstream lock ("/tmp/.X" + std::to_string (number) + "-lock");
    long pid = -1;
    return lock >> pid ? (pid_t)pid : -1;
}

// ---- driving the application

// The lines a drag of the gain slider writes as it queues a value at a tick of its timer, and as
// it ends, followed by the value it ended on, in device units.
const std::string queuedLine = "~~singleQueue Put a piece of data into a Queue";
const std::string dragEndedLine = "GainsliderDragEnded: ";

void sleepMs (int ms)
{
    std::this_thread::sleep_for (std::chrono::milliseconds (ms));
}

struct DragTiming
{
    double toFrame;   // ms from the X server having the press and move to the first gain frame
    double roundTrip; // ms of the round trip that delivered them
};

// One drag start: the pointer rests on the thumb, then the button goes down and the pointer makes
// its first move. Times it to the first gain frame at the device, lets go and waits until the
// drag's last value has gone out.
//
// The drag queues its value at the press, at each tick of its 60 ms timer (each logs
// queuedLine) and at the release (logged with the value in dragEndedLine); the pacer sends them
// one by one, in order. The drag's last value is out once as many gain frames as values queued
// have reached the device.
std::optional<DragTiming> dragOnce (AppUnderTest& app, FakePointer& pointer, MicrophoneModel& model, int from, int to,
                                    std::string& whyNot)
{
    const auto content = app.contentArea();
    app.moveTo ({ test::sliderX (from), test::gainY });
    sleepMs (150);
    model.clearRecord();
    const auto logBefore = app.logMark();
    Clock::time_point sent, handled;
    if (!pointer.pressAndMove (content.getX() + test::sliderX (to), content.getY() + test::gainY, sent, handled))
    {
        whyNot = pointer.error();
        return {};
    }
    const auto frame = waitInRecord (model, 3000,
                                     [sent] (const Transfers& transfers)
                                     { return firstSet (transfers, group::microphone, param::gain, -1, sent); });
    app.release();

    const auto ended = app.waitForLine (dragEndedLine, logBefore, 5000, true);
    if (!ended)
    {
        whyNot = "the drag logged no end within 5 s of the release";
        return {};
    }
    const auto& lines = app.logLines();
    const int endedOn = std::stoi (lines[*ended].substr (dragEndedLine.size()));
    const auto queued =
        2 + (size_t)std::count (lines.begin() + (long)logBefore, lines.begin() + (long)*ended, queuedLine);
    int lastSent = -1;
    const auto allOut = waitInRecord (model, 3000,
                                      [&] (const Transfers& transfers) -> std::optional<Clock::time_point>
                                      {
                                          const auto frames = gainFrames (transfers);
                                          if (frames.size() < queued)
                                              return {};
                                          lastSent = frames.back().first;
                                          return frames.back().second;
                                      });
    if (!frame)
    {
        whyNot = "no gain frame reached the device within 3 s of the drag start";
        return {};
    }
    if (!allOut)
    {
        whyNot = "the drag queued " + std::to_string (queued) + " values, and not all of them reached the device";
        return {};
    }
    if (lastSent != endedOn)
    {
        whyNot = "the drag ended on " + std::to_string (endedOn) + ", but its last gain frame set " +
                 std::to_string (lastSent);
        return {};
    }
    return DragTiming{ millisecondsBetween (handled, *frame), millisecondsBetween (sent, handled) };
}

// A click on the mute button, and the frame it sends.
bool clickAndWaitForSet (AppUnderTest& app, MicrophoneModel& model, unsigned char groupId, unsigned char parameter,
                         int value)
{
    const auto from = Clock::now();
    app.click (test::muteButton);
    return waitInRecord (model, 5000,
                         [&] (const Transfers& transfers)
                         { return firstSet (transfers, groupId, parameter, value, from); })
        .has_value();
}

// ---- one run of the application

// Where the application's standard error goes.
enum class StandardError
{
    pipe,   // a pipe the harness drains, as a terminal or a test takes the lines
    journal // a socket connected to the listener at journald's stream socket
};

const std::string journalSocket = "/run/systemd/journal/stdout";

struct Run
{
    std::unique_ptr<AppUnderTest> app;
    Clock::time_point started;
    double toPaint = 0; // ms from the start to the end of the panel's first paint
};

// The moment the first line of the panel's paint arrived, set by the harness's reading thread.
struct FirstPaint
{
    std::atomic<bool> seen{ false };
    std::atomic<Clock::rep> at{ 0 };
};

// Starts the application and waits for the end of the panel's first paint, seen as its timing line
// arrives on standard error; on the journal, where no line comes, for its first heartbeat poll at
// the device instead. Waits first while another copy runs, and tries again when another copy took
// the lock in between. Standard error goes through a pipe or the journal socket, drained and counted.
std::optional<Run> startApp (const Options& options, test::PluggableMicrophone& microphone, std::string& whyNot,
                             StandardError standardError = StandardError::pipe)
{
    for (int attempt = 0; attempt < 5; ++attempt)
    {
        if (!waitForNoOtherCopy (options))
        {
            whyNot = "another copy of ZarvoQ7TR kept running";
            return {};
        }
        microphone.model().clearRecord();
        auto firstPaint = std::make_shared<FirstPaint>();
        AppUnderTest::Launch launch;
        launch.appPath = ZARVO_APP_PATH;
        launch.preloadPath = ZARVO_PRELOAD_PATH;
        launch.enumerationControl = microphone.controlFile();
        launch.drainLog = true;
        // Set or not, the variable would only add its own rule: neither run has it.
        launch.environment = { { "JOURNAL_STREAM", std::nullopt } };
        if (standardError == StandardError::journal)
        {
            auto stream = test::socketConnectedTo (journalSocket);
            if (!stream.ok())
            {
                whyNot = "no journal stream: " + stream.whyNot;
                return {};
            }
            launch.errorDescriptor = stream.writeEnd.release();
            launch.drainFrom = stream.readEnd.release();
        }
        launch.keepLine = [firstPaint] (const std::string& line)
        {
            if (!firstPaint->seen && line.rfind ("BackgroundComponent::paint time: ", 0) == 0)
            {
                firstPaint->at = Clock::now().time_since_epoch().count();
                firstPaint->seen = true;
            }
            // Only what a drag's end is told by: a few lines each.
            return line == queuedLine || line.rfind (dragEndedLine, 0) == 0;
        };
        Run run;
        run.started = Clock::now();
        try
        {
            run.app = std::make_unique<AppUnderTest> (launch);
        }
        catch (const std::runtime_error& refused)
        {
            whyNot = refused.what();
            return {};
        }

        const auto started = [&]
        {
            return standardError == StandardError::journal ? firstPoll (microphone.model().transfers()).has_value()
                                                           : firstPaint->seen.load();
        };
        test::sleepUntil ([&] { return started() || !run.app->isRunning(); }, 20000, 5);
        if (started())
        {
            run.toPaint = millisecondsBetween (run.started, Clock::time_point (Clock::duration (firstPaint->at)));
            return run;
        }
        const auto exitCode = run.app->waitForExit (2000);
        if (exitCode == 0 && runningCopy())
            continue; // another copy came first: wait for it and start again
        whyNot = exitCode ? "the application ended with code " + std::to_string (*exitCode) + " before it painted"
                          : "the application painted nothing within 20 s";
        if (!exitCode)
            run.app->interrupt();
        return {};
    }
    whyNot = "other copies of ZarvoQ7TR kept taking the single-instance lock";
    return {};
}

struct IdleFigures
{
    std::vector<double> cpu, xCpu, rss, lines, kib, polls;
    int descriptors = -1, threads = -1;
};

// Windows of the connected application standing idle.
IdleFigures measureIdle (const Options& options, Run& run, MicrophoneModel& model)
{
    IdleFigures figures;
    const auto pid = run.app->pid;
    const auto x = xServer();
    const double ticksPerSecond = (double)::sysconf (_SC_CLK_TCK);
    const auto window = std::chrono::milliseconds ((long long)(options.windowSeconds * 1000));
    for (int n = 0; n < options.idleWindows && run.app->isRunning(); ++n)
    {
        model.clearRecord();
        const auto written0 = run.app->logCounts();
        const auto cpu0 = cpuTicks (pid), x0 = x > 0 ? cpuTicks (x) : -1;
        const auto t0 = Clock::now();
        std::this_thread::sleep_until (t0 + window);
        const auto cpu1 = cpuTicks (pid), x1 = x > 0 ? cpuTicks (x) : -1;
        const auto t1 = Clock::now();
        const auto written1 = run.app->logCounts();
        const double seconds = millisecondsBetween (t0, t1) / 1000;
        const auto lines = (double)(written1.lines - written0.lines);
        const auto bytes = (double)(written1.bytes - written0.bytes);

        figures.cpu.push_back ((double)(cpu1 - cpu0) / ticksPerSecond / seconds * 100);
        if (x > 0)
            figures.xCpu.push_back ((double)(x1 - x0) / ticksPerSecond / seconds * 100);
        const auto footprint = test::readFootprint (pid);
        figures.rss.push_back ((double)footprint.residentKb / 1024);
        figures.lines.push_back (lines / seconds);
        figures.kib.push_back (bytes / 1024 / seconds);
        long long polls = 0;
        for (const auto& transfer : model.transfers())
            polls += transfer.direction == MicrophoneModel::Direction::output &&
                             transfer.bytes == wire::heartbeatQuery && transfer.receivedAt >= t0 &&
                             transfer.receivedAt <= t1
                         ? 1
                         : 0;
        figures.polls.push_back ((double)polls / seconds);
        figures.descriptors = footprint.descriptors;
        figures.threads = footprint.threads;
    }
    model.clearRecord();
    return figures;
}

// The idle phases of one run: the connected application with the heartbeat at 1 ms, then, after its
// first command (the mute button clicked twice), at 60 ms.
struct IdlePhases
{
    std::optional<IdleFigures> fast, slow;
    std::string whyNot; // why a phase is missing
};

IdlePhases measureIdlePhases (const Options& options, Run& run, MicrophoneModel& model)
{
    IdlePhases phases;
    sleepMs (2000);
    phases.fast = measureIdle (options, run, model);

    // The first command slows the heartbeat down to 60 ms: mute, and unmute again.
    const bool muted = clickAndWaitForSet (*run.app, model, group::microphone, param::mute, 1);
    const bool unmuted = muted && clickAndWaitForSet (*run.app, model, group::microphone, param::mute, 0);
    if (!unmuted)
    {
        phases.whyNot = "the mute button's clicks sent no mute frames";
        return phases;
    }
    sleepMs (1000);
    phases.slow = measureIdle (options, run, model);
    return phases;
}

// One phase's rows, standard error a pipe and the journal side by side.
void addIdle (Table& table, const IdlePhases& pipe, const IdlePhases& journal,
              std::optional<IdleFigures> IdlePhases::*phase, const std::string& phaseName, const Options& options,
              const std::string& when)
{
    char window[32];
    std::snprintf (window, sizeof window, "%g s", options.windowSeconds);
    const std::pair<const char*, const IdlePhases*> sides[] = { { "stderr pipe", &pipe },
                                                                { "stderr journal", &journal } };
    const auto add = [&] (const std::string& figure, const std::string& measure, const std::string& unit,
                          std::vector<double> IdleFigures::*samples, const std::string& note = {})
    {
        for (const auto& [where, side] : sides)
        {
            const auto& figures = side->*phase;
            const auto name = measure + ", " + phaseName + ", " + where;
            if (!figures)
                table.fail (figure, name, side->whyNot.empty() ? "not reached" : side->whyNot);
            else if (!((*figures).*samples).empty())
                table.add (figure, name, unit, (*figures).*samples, "", where == sides[0].first ? note : "");
        }
    };
    const auto& pipeFigures = pipe.*phase;
    std::string descriptors;
    if (pipeFigures)
        descriptors = "; open descriptors " + std::to_string (pipeFigures->descriptors) + ", threads " +
                      std::to_string (pipeFigures->threads);
    add ("4", std::string ("app CPU (") + window + " windows)", "% of core", &IdleFigures::cpu,
         when + "; utime + stime from /proc/<pid>/stat over each window" + descriptors +
             "; stderr a pipe the benchmark drains, or the journal: a socket connected to a listener at " +
             journalSocket + " (a private /run)");
    add ("4", "X server (Xvfb) CPU", "% of core", &IdleFigures::xCpu);
    add ("4", "app resident memory (VmRSS)", "MiB", &IdleFigures::rss);
    add ("4", "heartbeat queries at the device", "1/s", &IdleFigures::polls);
    add ("5", "standard error lines", "lines/s", &IdleFigures::lines,
         "what the benchmark drained from the pipe, or read at the journal socket's listener, and counted");
    add ("5", "standard error bytes", "KiB/s", &IdleFigures::kib);
}

// Drag starts and the round trips that delivered them.
struct Drags
{
    std::vector<double> toFrame, roundTrips;

    void add (const std::optional<DragTiming>& drag, const std::string& whyNot)
    {
        if (!drag)
        {
            std::cerr << "benchmark: drag: " << whyNot << std::endl;
            return;
        }
        toFrame.push_back (drag->toFrame);
        roundTrips.push_back (drag->roundTrip);
    }
};

// Start-up, and the first drag of each run, while the heartbeat still polls every 1 ms.
void measureStarts (const Options& options, Table& table, test::PluggableMicrophone& microphone, FakePointer& pointer,
                    Drags& firstDrags)
{
    auto& model = microphone.model();
    std::vector<double> toPaint, toOpening, toPoll;
    std::string whyNot;
    for (int n = 0; n < options.starts; ++n)
    {
        auto run = startApp (options, microphone, whyNot);
        if (!run)
            break;
        const auto poll = waitInRecord (model, 10000, firstPoll);
        const auto transfers = model.transfers();
        const auto outputs = outputsOf (transfers);
        if (!poll || outputs.empty())
        {
            whyNot = "no heartbeat poll reached the device within 10 s";
            run->app->interrupt();
            break;
        }
        toPaint.push_back (run->toPaint);
        toOpening.push_back (millisecondsBetween (run->started, outputs.front()->receivedAt));
        toPoll.push_back (millisecondsBetween (run->started, *poll));

        if (run->app->findWindow (20000))
        {
            sleepMs (1000);
            std::string dragWhyNot;
            const auto drag = dragOnce (*run->app, pointer, model, 65, 70, dragWhyNot);
            firstDrags.add (drag, dragWhyNot);
        }
        run->app->interrupt();
    }
    if (toPaint.empty())
    {
        table.fail ("2", "process start to the first panel paint", whyNot);
        return;
    }
    table.add ("2", "process start to the panel's first paint line", "ms", toPaint, "250 ms",
               "from the fork of the launcher (stdbuf, sh, then the app, as the end-to-end harness starts it) "
               "to the line's arrival on the pipe");
    table.add ("2", "process start to the first report at the device (opening)", "ms", toOpening);
    table.add ("2", "process start to the first heartbeat poll at the device", "ms", toPoll);
}

// One long run: idle at 1 ms, the first command, idle at 60 ms, then drags. Returns the idle phases.
IdlePhases measureLongRun (const Options& options, test::PluggableMicrophone& microphone, FakePointer& pointer,
                           Drags& drags)
{
    auto& model = microphone.model();
    IdlePhases phases;
    auto run = startApp (options, microphone, phases.whyNot);
    if (!run)
        return phases;
    if (!waitInRecord (model, 10000, firstPoll) || !run->app->findWindow (20000))
    {
        phases.whyNot = "the application did not connect or show its window";
        run->app->interrupt();
        return phases;
    }
    phases = measureIdlePhases (options, *run, model);

    int value = 65;
    for (int n = 0; n < options.drags && run->app->isRunning(); ++n)
    {
        const int to = n % 2 == 0 ? value + 5 : value - 5;
        std::string dragWhyNot;
        const auto drag = dragOnce (*run->app, pointer, model, value, to, dragWhyNot);
        drags.add (drag, dragWhyNot);
        value = to;
    }
    run->app->interrupt();
    return phases;
}

// The same idle phases with standard error the journal.
IdlePhases measureIdleOnTheJournal (const Options& options, test::PluggableMicrophone& microphone)
{
    IdlePhases phases;
    if (const auto failure = test::mountPrivateTmpfs ("/run"); !failure.empty())
    {
        phases.whyNot = "no private /run for the journal's socket: " + failure;
        return phases;
    }
    auto run = startApp (options, microphone, phases.whyNot, StandardError::journal);
    if (!run)
        return phases;
    if (!run->app->findWindow (20000))
    {
        phases.whyNot = "the application showed no window";
        run->app->interrupt();
        return phases;
    }
    phases = measureIdlePhases (options, *run, microphone.model());
    run->app->interrupt();
    return phases;
}
} // namespace

void measureRealApp (const Options& options, Table& table)
{
    if (!test::displayAvailable())
    {
        table.fail ("1,2,4,5", "the real application", "no X display");
        return;
    }
    test::PluggableMicrophone microphone;
    std::string whyNot;
    if (!microphone.start (whyNot))
    {
        table.fail ("1,2,4,5", "the real application", "no virtual microphone: " + whyNot);
        return;
    }
    FakePointer pointer;
    if (!pointer.error().empty())
        std::cerr << "benchmark: no drags: " << pointer.error() << std::endl;
    const test::LockFileCleanup lockFileCleanup;

    Drags firstDrags, laterDrags;
    measureStarts (options, table, microphone, pointer, firstDrags);
    const auto pipe = measureLongRun (options, microphone, pointer, laterDrags);
    const auto journal = measureIdleOnTheJournal (options, microphone);
    addIdle (table, pipe, journal, &IdlePhases::fast, "idle at 1 ms", options,
             "heartbeat at 1 ms: connected, before any command");
    addIdle (table, pipe, journal, &IdlePhases::slow, "idle at 60 ms", options,
             "heartbeat at 60 ms: after the first command (the mute button clicked twice)");

    auto roundTrips = firstDrags.roundTrips;
    roundTrips.insert (roundTrips.end(), laterDrags.roundTrips.begin(), laterDrags.roundTrips.end());
    char note[320];
    std::snprintf (note, sizeof note,
                   "from the X server having the button press and the first move (XTest requests, as xdotool "
                   "sends them, on the benchmark's own connection; the round trip that delivered them: %.2f ms "
                   "median) to the first gain frame's arrival at the device",
                   median (roundTrips));
    const std::string goal = "10 ms + 1 transfer";
    if (firstDrags.toFrame.empty())
        table.fail ("1", "drag start to first gain frame, first drag", "no drag reached the device");
    else
        table.add ("1", "drag start to first gain frame, first drag (heartbeat at 1 ms)", "ms", firstDrags.toFrame,
                   goal, note);
    if (laterDrags.toFrame.empty())
        table.fail ("1", "drag start to first gain frame, later drags", "no drag reached the device");
    else
        table.add ("1", "drag start to first gain frame, later drags (heartbeat at 60 ms)", "ms", laterDrags.toFrame,
                   goal, firstDrags.toFrame.empty() ? std::string (note) : std::string());
}
} // namespace zarvo::benchmark
