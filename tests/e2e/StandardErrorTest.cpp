// Where the shipped executable's diagnostic lines go, for each kind of standard error a desktop,
// a service manager or a terminal gives it: against the virtual KT-Q7TR, in a private network
// namespace, with a private /run where a listener stands in for journald's stream socket. Every
// case sets or removes JOURNAL_STREAM itself, since the runner's own environment may carry one.
// Each run proves that the app ran (it opened the microphone and polled it, and printed the opening
// on standard output) and ended by itself, and only then reads everything standard error carried.
#include "AppUnderTest.h"
#include "PluggableMicrophone.h"
#include "PollUntil.h"
#include "PrivateMountNamespace.h"
#include "StreamEnds.h"
#include "UdevEventInjector.h"
#include "Wire.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace zarvo::test;

namespace
{
const std::string journalSocket = "/run/systemd/journal/stdout";

// What the app writes from its start to the end of the control panel's constructor, with the
// virtual microphone plugged in: the same, byte for byte, on every stream that takes the lines.
const std::vector<std::string> constructionLines = {
    "BackgroundComponent is running...",
    "hid_register_device_notification run",
    "hid_register_device_notification end",
    "hid_register_device_notification run65280",
    "hid_register_device_notification run1",
    "hid_register_device_notification run65281",
    "hid_register_device_notification run9",
    "ZarvoHid=============================",
    "81 55 84 82 32 86 49 46 50 46 48 0 ",
    "=============================",
    "=============================",
    "deviceNameStr: Q7TR",
    "deviceVersionStr: V1.2.0",
    "=============================",
    "BackgroundComponent::BackgroundComponent(). The constructor run",
    "void BackgroundComponent::resized() run",
    "void BackgroundComponent::resized() end",
    "0 0 65 78 20 0 0 70 ",
    "close Mic Noise Suppressor success",
    "sendMessage NoiseSlider success",
    "sendMessage ReverbSlider success",
    "BackgroundComponent::BackgroundComponent(). The constructor end",
};

// Lines the app writes all the time, standing idle and connected, and as it ends.
const char* const runningPrefixes[] = {
    "HeartbeatTimer is running...",      "HeartbeatData: ",    "origin Slience:",
    "ZarvoTimer is running...",          "Main::paint time: ", "MainComponent::paint time: ",
    "BackgroundComponent::paint time: ", "gainSliderValue",    "BackgroundComponent::~BackgroundComponent()"
};

bool isAppLine (const std::string& line)
{
    for (const auto& own : constructionLines)
        if (line == own)
            return true;
    for (const auto* prefix : runningPrefixes)
        if (line.rfind (prefix, 0) == 0)
            return true;
    return false;
}

enum class Kind
{
    journalStream, // a socket connected to the listener at /run/systemd/journal/stdout
    otherSocket,   // a socket connected to a listener at another path
    socketPair,
    pipe,
    terminal,
    file
};

enum class Variable
{
    unset,
    namesIt,      // JOURNAL_STREAM names this very stream
    namesAnother, // ... another stream, as a session's variable that a program inherits
    overflowing   // ... the stream's numbers, the device's increased by 2^64
};

struct Case
{
    const char* name;
    Kind kind;
    Variable variable;
    bool linesWritten;
};

std::ostream& operator<< (std::ostream& out, const Case& c)
{
    return out << c.name;
}

class StandardError : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        ZARVO_REQUIRE (readyForTheApp (microphone));
        ZARVO_PRIVATE_TMPFS ("/run");
    }

    StreamEnds makeStream (Kind kind)
    {
        switch (kind)
        {
        case Kind::journalStream:
            return socketConnectedTo (journalSocket);
        case Kind::otherSocket:
            return socketConnectedTo ("/run/zarvo-listener/stdout");
        case Kind::socketPair:
            return socketPair();
        case Kind::pipe:
            return pipeEnds();
        case Kind::terminal:
            return terminalEnds();
        case Kind::file:
            return fileEnds (file.getFullPathName().toStdString());
        }
        StreamEnds none;
        none.whyNot = "no such kind of stream";
        return none;
    }

    // Starts the app with the stream as its standard error, lets it open the microphone and poll
    // it, ends it, and returns every line the stream carried.
    std::vector<std::string> run (const Case& c, StreamEnds& stream)
    {
        // Kept open for the whole run, so that no stream made meanwhile can take its inode.
        const auto another = pipeEnds();
        AppUnderTest::Launch launch;
        launch.appPath = ZARVO_APP_PATH;
        launch.preloadPath = ZARVO_PRELOAD_PATH;
        launch.enumerationControl = microphone.controlFile();
        std::optional<std::string> variable;
        if (c.variable == Variable::namesIt)
            variable = journalStreamOf (stream.writeEnd.get());
        else if (c.variable == Variable::namesAnother)
            variable = journalStreamOf (another.writeEnd.get());
        else if (c.variable == Variable::overflowing)
            variable = overflowingJournalStreamOf (stream.writeEnd.get());
        launch.environment = { { "JOURNAL_STREAM", variable } };
        const bool drained = c.kind != Kind::file;
        launch.drainLog = drained;
        launch.keepLine = [] (const std::string&) { return true; };
        launch.errorDescriptor = stream.writeEnd.release();
        if (drained)
            launch.drainFrom = stream.readEnd.release();
        app = std::make_unique<AppUnderTest> (launch);

        const auto path = microphone.devicePath();
        EXPECT_TRUE (app->findWindow (20000)) << app->whyNoWindow();
        EXPECT_TRUE (waitForPolls (200)) << "the app did not poll the microphone";
        EXPECT_TRUE (app->waitForPrinted ("Device Found\n  type: ff01 0009\n  path: " + path + "\n")) << app->printed();
        EXPECT_TRUE (app->waitForPrinted ("Path: " + path + "\n")) << app->printed();
        EXPECT_TRUE (app->waitForPrinted ("Get Report 2:258\n")) << app->printed();

        const auto exitCode = app->interrupt (20000);
        EXPECT_EQ (exitCode, std::optional<int> (0));
        if (!drained)
            return splitAt (readToTheEnd (stream.readEnd.get()));
        EXPECT_TRUE (app->waitForEndOfLog (20000)) << "standard error stayed open after the app ended";
        return app->logLines();
    }

    // Heartbeat queries the device has received: the opening's, then one for each tick.
    size_t heartbeats()
    {
        const auto reports = microphone.model().receivedReports();
        return (size_t)std::count (reports.begin(), reports.end(), wire::heartbeatQuery);
    }

    bool waitForPolls (size_t count)
    {
        return sleepUntil ([&] { return heartbeats() >= count + 1; }, 20000, 50);
    }

    static std::vector<std::string> splitAt (const std::string& text)
    {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = text.find ('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back (text.substr (start, end - start));
        if (start < text.size())
            lines.push_back (text.substr (start));
        return lines;
    }

    void TearDown() override
    {
        app = nullptr;
        file.deleteFile();
    }

    PluggableMicrophone microphone;
    std::unique_ptr<AppUnderTest> app;
    const juce::File file = juce::File::createTempFile ("zarvo-stderr");
};

std::string firstLines (const std::vector<std::string>& lines, size_t count = 30)
{
    std::string text;
    for (size_t i = 0; i < lines.size() && i < count; ++i)
        text += "\n  " + lines[i];
    return text;
}

TEST_P (StandardError, CarriesTheDiagnosticLinesUnlessItIsTheJournal)
{
    const auto& c = GetParam();
    auto stream = makeStream (c.kind);
    ASSERT_TRUE (stream.ok()) << stream.whyNot;
    const auto lines = run (c, stream);
    if (HasFatalFailure())
        return;

    if (!c.linesWritten)
    {
        // Text of the C runtime, the X library or a sanitizer may come; none of the app's own.
        const auto own = std::find_if (lines.begin(), lines.end(), isAppLine);
        EXPECT_EQ (own, lines.end()) << "a line of the app's reached its standard error: \"" << *own
                                     << "\"; the first lines:" << firstLines (lines);
        return;
    }

    ASSERT_GE (lines.size(), constructionLines.size()) << firstLines (lines);
    EXPECT_EQ (std::vector<std::string> (lines.begin(), lines.begin() + (long)constructionLines.size()),
               constructionLines)
        << firstLines (lines);
    // Each tick writes its line after its poll: one line for every heartbeat but the opening's.
    const auto ticks = std::count (lines.begin(), lines.end(), "HeartbeatTimer is running...");
    EXPECT_EQ ((size_t)ticks + 1, heartbeats());
    EXPECT_EQ (lines.back(), "BackgroundComponent::~BackgroundComponent(). The destructor end");
}

// Where desktops and service managers put the app, and where a developer does.
const Case cases[] = {
    { "GnomeMenuLaunch", Kind::journalStream, Variable::unset, false },
    { "GnomeMenuLaunchInASessionThatSetsTheVariable", Kind::journalStream, Variable::namesAnother, false },
    { "ServiceWritingIntoAFile", Kind::file, Variable::namesIt, false },
    { "KdeLaunchOnTheSessionsStream", Kind::socketPair, Variable::namesIt, false },
    { "ServiceOnASocketAtAnotherPath", Kind::otherSocket, Variable::namesIt, false },
    { "TerminalStartedFromTheMenu", Kind::terminal, Variable::namesAnother, true },
    { "PipeFromATerminalStartedFromTheMenu", Kind::pipe, Variable::namesAnother, true },
    { "FileWithoutTheVariable", Kind::file, Variable::unset, true },
    { "FileWithNumbersThatOverflow", Kind::file, Variable::overflowing, true },
    { "PipeWithoutTheVariable", Kind::pipe, Variable::unset, true },
    { "SocketAtAnotherPath", Kind::otherSocket, Variable::unset, true },
};

INSTANTIATE_TEST_SUITE_P (Streams, StandardError, ::testing::ValuesIn (cases),
                          [] (const ::testing::TestParamInfo<Case>& info) { return std::string (info.param.name); });
} // namespace
