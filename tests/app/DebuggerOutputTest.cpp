// The decision whether a descriptor is the journal, on real descriptors of every kind standard
// error can be, with the JOURNAL_STREAM text matching, foreign and malformed; and the start-up that
// drops JUCE's log lines there while standard error itself stays open. The sockets that stand in for
// journald's are bound on a private /run.
#include "DebuggerOutput.h"
#include "PrivateMountNamespace.h"
#include "StreamEnds.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

using namespace zarvo::test;

namespace
{
using Make = std::function<StreamEnds()>;

Make socketAt (const std::string& path)
{
    return [path] { return socketConnectedTo (path); };
}

const Make journal = socketAt ("/run/systemd/journal/stdout");
const Make datagram = [] { return socketConnectedTo ("/run/systemd/journal/socket", SOCK_DGRAM); };
const Make pair = socketPair;
const Make pipe = pipeEnds;
const Make terminal = terminalEnds;
// One scratch file, made afresh for each case.
const juce::File scratch = juce::File::createTempFile ("zarvo-journal-case");
const Make file = [] { return fileEnds (scratch.getFullPathName().toStdString()); };

// The JOURNAL_STREAM text of a case, given the stream's descriptor and another stream's; nothing
// for an unset variable.
using Variable = std::function<std::optional<std::string> (int fd, int anotherFd)>;

const Variable unset = [] (int, int) { return std::nullopt; };
const Variable itsOwn = [] (int fd, int) { return journalStreamOf (fd); };
const Variable anotherStreams = [] (int, int anotherFd) { return journalStreamOf (anotherFd); };
const Variable overflowing = [] (int fd, int) { return overflowingJournalStreamOf (fd); };
// The stream's own inode number with the other stream's device (a pipe's: no file shares it).
// Inode numbers repeat across file systems, so the inode alone does not name a stream.
const Variable itsInodeOnAnotherDevice = [] (int fd, int anotherFd)
{
    const auto own = journalStreamOf (fd);
    const auto others = journalStreamOf (anotherFd);
    return others.substr (0, others.find (':')) + own.substr (own.find (':'));
};

Variable text (const std::string& value)
{
    return [value] (int, int) { return value; };
}

// The stream's own "DEV:INODE", written another way.
Variable ownAs (const std::function<std::string (const std::string& device, const std::string& inode)>& write)
{
    return [write] (int fd, int)
    {
        const auto own = journalStreamOf (fd);
        const auto colon = own.find (':');
        return write (own.substr (0, colon), own.substr (colon + 1));
    };
}

struct Case
{
    const char* name;
    Make make;
    Variable variable;
    bool journal;
};

TEST (DebuggerOutputTest, TellsTheJournalFromEveryOtherStream)
{
    ZARVO_PRIVATE_TMPFS ("/run");
    const Case cases[] = {
        // journald's stream socket, whatever the variable says
        { "socket at journald's stream socket, no variable", journal, unset, true },
        { "socket at journald's stream socket, another stream named", journal, anotherStreams, true },
        { "socket at journald's stream socket, malformed variable", journal, text ("journal"), true },
        { "socket at a path beginning /run/systemd/journal.", socketAt ("/run/systemd/journal.stdout"), unset, true },
        // other sockets
        { "socket at /run/systemd/journalx/stdout", socketAt ("/run/systemd/journalx/stdout"), unset, false },
        { "socket at journald's path below another directory", socketAt ("/run/elsewhere/run/systemd/journal/stdout"),
          unset, false },
        { "socket at another path, no variable", socketAt ("/run/zarvo/stdout"), unset, false },
        { "socket at another path, named", socketAt ("/run/zarvo/stdout"), itsOwn, true },
        { "datagram socket at journald's native socket", datagram, unset, false },
        { "socket pair, no variable", pair, unset, false },
        { "socket pair, named", pair, itsOwn, true },
        { "socket pair, another stream named", pair, anotherStreams, false },
        { "pipe, no variable", pipe, unset, false },
        { "pipe, named", pipe, itsOwn, true },
        { "pipe, another stream named", pipe, anotherStreams, false },
        { "terminal, another stream named", terminal, anotherStreams, false },
        { "terminal, named", terminal, itsOwn, true },
        { "file, no variable", file, unset, false },
        { "file, named", file, itsOwn, true },
        { "file, another stream named", file, anotherStreams, false },
        { "file, its inode on the other stream's device", file, itsInodeOnAnotherDevice, false },
        // malformed texts never name the stream
        { "empty", file, text (""), false },
        { "not digits", file, text ("abc:def"), false },
        { "the device's number alone", file, ownAs ([] (auto& dev, auto&) { return dev; }), false },
        { "no inode", file, ownAs ([] (auto& dev, auto&) { return dev + ":"; }), false },
        { "no device", file, ownAs ([] (auto&, auto& ino) { return ":" + ino; }), false },
        { "another separator", file, ownAs ([] (auto& dev, auto& ino) { return dev + ";" + ino; }), false },
        { "a third field", file, ownAs ([] (auto& dev, auto& ino) { return dev + ":" + ino + ":"; }), false },
        { "a trailing blank", file, ownAs ([] (auto& dev, auto& ino) { return dev + ":" + ino + " "; }), false },
        { "a leading blank", file, ownAs ([] (auto& dev, auto& ino) { return " " + dev + ":" + ino; }), false },
        { "a sign", file, ownAs ([] (auto& dev, auto& ino) { return "+" + dev + ":" + ino; }), false },
        { "numbers swapped", file, ownAs ([] (auto& dev, auto& ino) { return ino + ":" + dev; }), false },
        { "a device number that overflows to its own", file, overflowing, false },
        { "an inode number that overflows", file,
          ownAs ([] (auto& dev, auto&) { return dev + ":1" + std::string (30, '0'); }), false },
    };
    const auto another = pipeEnds();
    ASSERT_TRUE (another.ok()) << another.whyNot;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto stream = c.make();
        ASSERT_TRUE (stream.ok()) << stream.whyNot;
        const auto variable = c.variable (stream.writeEnd.get(), another.writeEnd.get());
        EXPECT_EQ (zarvo::isJournal (stream.writeEnd.get(), variable ? variable->c_str() : nullptr), c.journal)
            << "JOURNAL_STREAM " << variable.value_or ("unset") << ", the stream's "
            << journalStreamOf (stream.writeEnd.get());
    }
    scratch.deleteFile();
}

TEST (DebuggerOutputTest, AClosedDescriptorIsNotTheJournal)
{
    auto stream = pipeEnds();
    ASSERT_TRUE (stream.ok()) << stream.whyNot;
    const auto numbers = journalStreamOf (stream.writeEnd.get());
    const int fd = stream.writeEnd.get();
    stream.writeEnd.reset();
    EXPECT_FALSE (zarvo::isJournal (fd, numbers.c_str()));
}

// Puts a stream on file descriptor 2 and JOURNAL_STREAM into the environment, and puts back the
// test's own, std::cerr's stream buffer included, when it goes.
class ScopedStandardError
{
public:
    ScopedStandardError (int fd, const std::optional<std::string>& journalStream)
        : savedFd (::dup (2)), savedBuffer (std::cerr.rdbuf())
    {
        if (const char* value = std::getenv ("JOURNAL_STREAM"))
            savedVariable = value;
        std::fflush (stderr);
        ::dup2 (fd, 2);
        if (journalStream)
            ::setenv ("JOURNAL_STREAM", journalStream->c_str(), 1);
        else
            ::unsetenv ("JOURNAL_STREAM");
    }

    ~ScopedStandardError()
    {
        std::fflush (stderr);
        std::cerr.rdbuf (savedBuffer);
        ::dup2 (savedFd, 2);
        ::close (savedFd);
        if (savedVariable)
            ::setenv ("JOURNAL_STREAM", savedVariable->c_str(), 1);
        else
            ::unsetenv ("JOURNAL_STREAM");
    }

    ScopedStandardError (const ScopedStandardError&) = delete;
    ScopedStandardError& operator= (const ScopedStandardError&) = delete;

    std::streambuf* originalBuffer() const { return savedBuffer; }

private:
    const int savedFd;
    std::streambuf* const savedBuffer;
    std::optional<std::string> savedVariable;
};

TEST (DebuggerOutputTest, StartUpDropsTheLogLinesOnlyWhereStandardErrorIsTheJournal)
{
    ZARVO_PRIVATE_TMPFS ("/run");
    const auto another = pipeEnds();
    ASSERT_TRUE (another.ok()) << another.whyNot;
    struct StartCase
    {
        const char* name;
        Make make;
        Variable variable;
        bool dropped;
    };
    const StartCase cases[] = {
        { "journald's stream socket", journal, unset, true },
        { "a pipe named by the variable", pipe, itsOwn, true },
        { "a pipe while the variable names another stream", pipe, anotherStreams, false },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto stream = c.make();
        ASSERT_TRUE (stream.ok()) << stream.whyNot;
        bool dropped = false;
        {
            ScopedStandardError onIt (stream.writeEnd.get(),
                                      c.variable (stream.writeEnd.get(), another.writeEnd.get()));
            dropped = zarvo::startDebuggerOutput();
            EXPECT_EQ (std::cerr.rdbuf() == onIt.originalBuffer(), !c.dropped);
            juce::Logger::outputDebugString ("a diagnostic line");
            // Written to descriptor 2 as the C runtime, the X library and the sanitizers write.
            std::fprintf (stderr, "the C runtime's line\n");
        }
        stream.writeEnd.reset();
        EXPECT_EQ (dropped, c.dropped);
        EXPECT_EQ (readToTheEnd (stream.readEnd.get()),
                   c.dropped ? "the C runtime's line\n" : "a diagnostic line\nthe C runtime's line\n");
    }
}
} // namespace
