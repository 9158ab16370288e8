// openDevice against the virtual KT-Q7TR, with enumeration lists chosen by each test: the walk and
// its log lines, the printed picture on standard output, the open by full identity, the greeting
// transfers, the results, and a second call that replaces the stored device.
#include "CommandFrame.h"
#include "HidTransport.h"
#include "OpenedMicrophoneTest.h"
#include "OutputCapture.h"
#include "UdevEventInjector.h"
#include "ZarvoHid.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

using namespace zarvo;
using namespace zarvo::test;
using hid::linux_layer::EnumerationEntry;
using hid::linux_layer::ScopedEnumerationEntries;
using Lines = std::vector<std::string>;

namespace
{
const char* const registrationRun = "hid_register_device_notification run";
const char* const registrationEnd = "hid_register_device_notification end";

EnumerationEntry keyboard()
{
    EnumerationEntry entry;
    entry.path = "/dev/zarvo-test-no-such-keyboard";
    entry.vendorId = 0x046D;
    entry.productId = 0xC52B;
    entry.usagePage = 0x0001;
    entry.usage = 0x0006;
    entry.interfaceNumber = 2;
    return entry;
}

// The four lines the walk writes for an entry.
Lines entryLines (const EnumerationEntry& entry)
{
    return { registrationRun + std::to_string (entry.usagePage), registrationRun + std::to_string (entry.usage),
             registrationRun + std::to_string (entry.vendorId), registrationRun + std::to_string (entry.productId) };
}

Lines walkLines (const std::vector<EnumerationEntry>& walked)
{
    Lines lines{ registrationRun, registrationEnd };
    for (const auto& entry : walked)
    {
        const auto four = entryLines (entry);
        lines.insert (lines.end(), four.begin(), four.end());
    }
    return lines;
}

// What is printed for the heartbeat reply of the virtual device: A5 5A 00 00 00 16, then zeros.
const std::string heartbeatDump = "a5 5a 00 00 00 16 00 00 00 00 00 00 00 00 00 00 \n\n";

std::string narrow (const wchar_t* text)
{
    std::string result;
    for (; text != nullptr && *text != L'\0'; ++text)
        result += static_cast<char> (*text);
    return result;
}

int descriptorsOpenOn (const std::string& path)
{
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator ("/proc/self/fd"))
    {
        std::error_code error;
        if (std::filesystem::read_symlink (fd.path(), error) == path)
            ++count;
    }
    return count;
}

class OpenDevice : public OpenedMicrophoneTest
{
protected:
    EnumerationEntry entry() { return microphone().enumerationEntry(); }

    // One openDevice with what it printed and logged. The captures end before anything is
    // asserted, since GoogleTest reports failures on standard output too.
    struct Opening
    {
        int result;
        std::string printed;
        Lines logged;
    };

    Opening open()
    {
        StdoutCapture out;
        LogCapture log;
        Opening opening;
        opening.result = device.openDevice();
        opening.printed = out.text();
        opening.logged = log.lines();
        return opening;
    }

    // The block printed for the chosen entry and everything up to the open.
    static std::string foundBlock (const EnumerationEntry& chosen, const std::string& serial)
    {
        return "Device Found\n  type: ff01 0009\n  path: " + chosen.path.value_or ("") +
               "\n  serial_number: " + serial +
               "\n  Manufacturer: Zarvo\n  Product:      KT-Q7TR\n  Release:      100\n  Interface:    " +
               std::to_string (chosen.interfaceNumber) + "\n  Usage Page:   ff00\n  Usage:       0001\n\n";
    }

    std::string stringsAndGreeting (const std::string& serial)
    {
        const std::string firstCode = serial.empty() ? "0" : std::to_string (static_cast<int> (serial[0]));
        return "Manufacturer String: Zarvo\nProduct String: KT-Q7TR\nSerial Number String: (" + firstCode + ") " +
               serial + "\nUnable to read indexed string 1\nIndexed String 1: \nSet Report 258.\nGet Report 1:258\n" +
               heartbeatDump + "Get Report 2:258\n" + heartbeatDump;
    }
};
} // namespace

TEST_F (OpenDevice, OpensTheMicrophoneAndPrintsWhatItFound)
{
    const auto mic = entry();
    ScopedEnumerationEntries entries ({ keyboard(), mic });
    const auto opening = open();

    EXPECT_EQ (opening.result, 0);

    ASSERT_NE (device.hidDevice, nullptr);
    EXPECT_EQ (device.hidDevice->path, microphone().path());
    EXPECT_EQ (targetInterfaceNumber, 0);
    EXPECT_EQ (opening.printed, foundBlock (mic, "Q7TR00000001") + "Path: " + microphone().path() + "\n" +
                                    stringsAndGreeting ("Q7TR00000001"));
    EXPECT_EQ (opening.logged, walkLines ({ keyboard(), mic }));

    // One heartbeat query, then three reads.
    ReportBuffer heartbeat;
    buildQueryFrame (heartbeat, group::heartbeat);
    EXPECT_EQ (model().receivedReports(),
               (std::vector<MicrophoneModel::Bytes>{ { heartbeat.begin(), heartbeat.begin() + reportLength } }));
    const auto transfers = model().transfers();
    ASSERT_EQ (transfers.size(), 4u);
    EXPECT_EQ (transfers[0].direction, MicrophoneModel::Direction::output);
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_EQ (transfers[i].direction, MicrophoneModel::Direction::input);
    EXPECT_FALSE (device.hidDevice->blocking);
}

TEST_F (OpenDevice, WithoutAMicrophoneLogsEveryEntryAndReturnsOne)
{
    auto other = keyboard();
    other.vendorId = 0xFF01; // the maker's vendor id, another product
    other.productId = 0x0008;
    ScopedEnumerationEntries entries ({ keyboard(), other });
    targetInterfaceNumber = 7;
    const auto opening = open();

    EXPECT_EQ (opening.result, 1);

    EXPECT_EQ (device.hidDevice, nullptr);
    EXPECT_EQ (targetInterfaceNumber, 0);
    EXPECT_EQ (opening.printed, "unable to open device\n");
    EXPECT_EQ (opening.logged, walkLines ({ keyboard(), other }));
    EXPECT_TRUE (model().transfers().empty());
}

TEST_F (OpenDevice, WithNoDevicesAtAllOnlyRegisters)
{
    ScopedEnumerationEntries entries ({});
    const auto opening = open();

    EXPECT_EQ (opening.result, 1);

    EXPECT_EQ (opening.printed, "unable to open device\n");
    EXPECT_EQ (opening.logged, walkLines ({}));
}

TEST_F (OpenDevice, TheFirstOfTwoMicrophoneEntriesIsChosenAndTheWalkStopsThere)
{
    auto first = entry();
    first.interfaceNumber = 3;
    auto second = entry();
    second.path = "/dev/zarvo-test-second-interface";
    second.interfaceNumber = 0;
    second.usagePage = 0x000C;
    auto after = keyboard();
    after.usagePage = 0x0042;
    ScopedEnumerationEntries entries ({ keyboard(), first, second, after });
    const auto opening = open();

    EXPECT_EQ (opening.result, 0);

    EXPECT_EQ (targetInterfaceNumber, 3);
    ASSERT_NE (device.hidDevice, nullptr);
    EXPECT_EQ (device.hidDevice->path, microphone().path());
    EXPECT_EQ (opening.logged, walkLines ({ keyboard(), first }));
    EXPECT_EQ (opening.printed.rfind (foundBlock (first, "Q7TR00000001") + "Path: " + microphone().path() + "\n", 0),
               0u);
}

TEST_F (OpenDevice, AnEntryWithoutSerialNumberIsOpenedWithEmptyText)
{
    auto mic = entry();
    mic.serialNumber.reset();
    ScopedEnumerationEntries entries ({ mic });
    const auto opening = open();

    EXPECT_EQ (opening.result, 0);

    ASSERT_NE (device.hidDevice, nullptr);
    EXPECT_EQ (opening.printed, foundBlock (mic, "") + "Path: " + microphone().path() + "\n" + stringsAndGreeting (""));
}

TEST_F (OpenDevice, AbsentEntryTextsPrintAsEmpty)
{
    auto mic = entry();
    mic.manufacturer.reset();
    mic.product.reset();
    ScopedEnumerationEntries entries ({ mic });
    const auto opening = open();

    EXPECT_EQ (opening.result, 0);

    const auto text = opening.printed;
    EXPECT_NE (text.find ("\n  Manufacturer: \n  Product:      \n"), std::string::npos) << text;
    EXPECT_NE (text.find ("\nManufacturer String: \nProduct String: \n"), std::string::npos) << text;
}

TEST_F (OpenDevice, AnEntryWithoutInterfacePartIsOpenedOnInterfaceMinusOne)
{
    auto mic = entry();
    mic.interfaceNumber = -1;
    ScopedEnumerationEntries entries ({ mic });
    const auto opening = open();

    EXPECT_EQ (opening.result, 0);

    EXPECT_EQ (targetInterfaceNumber, -1);
    ASSERT_NE (device.hidDevice, nullptr);
    EXPECT_NE (opening.printed.find ("  Interface:    -1\n"), std::string::npos);
}

TEST_F (OpenDevice, AChosenEntryThatCannotBeOpenedReturnsOne)
{
    auto mic = entry();
    mic.path = "/dev/zarvo-test-gone-microphone";
    ScopedEnumerationEntries entries ({ mic });
    const auto opening = open();

    EXPECT_EQ (opening.result, 1);

    EXPECT_EQ (device.hidDevice, nullptr);
    EXPECT_EQ (opening.printed, foundBlock (mic, "Q7TR00000001") + "Path: /dev/zarvo-test-gone-microphone\n" +
                                    "unable to open device\n");
}

TEST_F (OpenDevice, FailingGreetingTransfersArePrintedAndTheDeviceStaysOpen)
{
    ScopedEnumerationEntries entries ({ entry() });
    model().failTransfer (1, EIO); // the heartbeat
    model().failTransfer (2, EIO); // the first read
    const auto opening = open();

    EXPECT_EQ (opening.result, 0);

    ASSERT_NE (device.hidDevice, nullptr);
    const std::string error = narrow (hid::hid_error (device.hidDevice));
    EXPECT_FALSE (error.empty());
    // The error text has no line end of its own: the third read's line follows it directly. The
    // device never got the heartbeat, so its reply is still all zero.
    const std::string zeros = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n\n";
    const std::string expectedEnd = "Indexed String 1: \nUnable to send a feature report.\n"
                                    "Unable to get a feature report.\n" +
                                    error + "Get Report 2:258\n" + zeros;
    const auto text = opening.printed;
    ASSERT_GE (text.size(), expectedEnd.size());
    EXPECT_EQ (text.substr (text.size() - expectedEnd.size()), expectedEnd);
}

TEST_F (OpenDevice, TheDumpShowsTheBytesReadUpToSixteen)
{
    struct Case
    {
        std::size_t bytes; // moved by the first read, report id included: the result is one more
        std::string printed;
    };
    const Case cases[] = {
        { 0, "Get Report 1:1\n\n" },
        { 1, "Get Report 1:2\n00 \n" }, // the report id alone; byte 1 stays zero
        { 4, "Get Report 1:5\na5 5a 00 00 \n" },
        { 16, "Get Report 1:17\na5 5a 00 00 00 16 00 00 00 00 00 00 00 00 00 00 \n\n" },
        { 17, "Get Report 1:18\na5 5a 00 00 00 16 00 00 00 00 00 00 00 00 00 00 \n\n" },
    };
    ScopedEnumerationEntries entries ({ entry() });
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.bytes);
        if (c.bytes == 0)
            model().completeEmpty (2);
        else
            model().completeShort (2, c.bytes);

        const auto opening = open();

        EXPECT_EQ (opening.result, 0);
        EXPECT_NE (opening.printed.find ("Set Report 258.\n" + c.printed + "Get Report 2:258\n" + heartbeatDump),
                   std::string::npos)
            << opening.printed;
    }
}

TEST_F (OpenDevice, ASecondCallReplacesAndReleasesTheStoredDevice)
{
    ScopedEnumerationEntries entries ({ entry() });
    ASSERT_EQ (open().result, 0);
    auto* first = device.hidDevice;
    const int descriptorsAfterFirst = openFileDescriptors();
    ASSERT_EQ (descriptorsOpenOn (microphone().path()), 1);

    const auto opening = open();

    EXPECT_EQ (opening.result, 0);
    EXPECT_NE (device.hidDevice, first);
    // The old handle is closed and no second notification source was made.
    EXPECT_EQ (descriptorsOpenOn (microphone().path()), 1);
    EXPECT_EQ (openFileDescriptors(), descriptorsAfterFirst);
    EXPECT_EQ (opening.logged, walkLines ({ entry() }));
    LogCapture heartbeatLog;
    EXPECT_EQ (device.sendHeartbeat(), reportLength + 1);
}

TEST_F (OpenDevice, AFailedReopenKeepsTheStoredDevice)
{
    {
        ScopedEnumerationEntries entries ({ entry() });
        ASSERT_EQ (open().result, 0);
    }
    auto* stored = device.hidDevice;

    ScopedEnumerationEntries entries ({ keyboard() });
    const auto opening = open();

    EXPECT_EQ (opening.result, 1);
    EXPECT_EQ (opening.printed, "unable to open device\n");
    EXPECT_EQ (device.hidDevice, stored);
    EXPECT_EQ (targetInterfaceNumber, 0);
    EXPECT_EQ (descriptorsOpenOn (microphone().path()), 1);
    LogCapture heartbeatLog;
    EXPECT_EQ (device.sendHeartbeat(), reportLength + 1);
}

namespace
{
// A log that breaks down after its first lines, as if memory ran out while writing them: every
// write throws from then on, because std::cerr is set to throw on a bad stream.
class FailingLog : public std::streambuf
{
public:
    explicit FailingLog (int goodLines) : goodLines (goodLines), previous (std::cerr.rdbuf (this))
    {
        std::cerr.exceptions (std::ios::badbit);
    }

    ~FailingLog() override
    {
        std::cerr.exceptions (std::ios::goodbit);
        std::cerr.clear();
        std::cerr.rdbuf (previous);
    }

    Lines lines;

protected:
    int overflow (int c) override
    {
        if (static_cast<int> (lines.size()) >= goodLines)
            throw std::bad_alloc();
        if (c == traits_type::eof())
            return 0;
        if (c == '\n')
            lines.emplace_back();
        return c;
    }

private:
    int goodLines;
    std::streambuf* previous;
};
} // namespace

// A walk that retried for as long as writing fails would never end here.
TEST_F (OpenDevice, AWalkWhoseLinesCannotBeWrittenStillOpensTheMicrophone)
{
    ScopedEnumerationEntries entries ({ keyboard(), entry() });
    int result = -2;
    std::string printed;
    {
        StdoutCapture out;
        FailingLog failing (2); // the two registration lines get through
        result = device.openDevice();
        printed = out.text();
    }

    EXPECT_EQ (result, 0);
    ASSERT_NE (device.hidDevice, nullptr);
    EXPECT_EQ (targetInterfaceNumber, 0);
    EXPECT_NE (printed.find ("Device Found\n"), std::string::npos);
}

namespace
{
// A log whose writing fails once, just before one line, and then works again; it keeps every line.
// The failure comes from the stream std::cerr is tied to, which it flushes before each write, so
// that std::cerr itself stays good and writes the lines that follow.
class LogFailingOnce : public std::streambuf
{
public:
    explicit LogFailingOnce (int failingLine)
        : tripwire (*this, failingLine), previous (std::cerr.rdbuf (this)), previousTie (std::cerr.tie (&tied))
    {
        tied.exceptions (std::ios::badbit);
    }

    ~LogFailingOnce() override
    {
        std::cerr.tie (previousTie);
        std::cerr.rdbuf (previous);
    }

    Lines lines;

protected:
    int overflow (int c) override
    {
        if (c == traits_type::eof())
            return 0;
        if (c == '\n')
        {
            lines.push_back (current);
            current.clear();
        }
        else
        {
            current += static_cast<char> (c);
        }
        return c;
    }

private:
    struct Tripwire : std::streambuf
    {
        Tripwire (LogFailingOnce& log, int line) : log (log), line (line) {}
        int sync() override
        {
            if (!tripped && log.current.empty() && static_cast<int> (log.lines.size()) == line)
            {
                // Untied first: a stream that has failed throws again on every later flush.
                tripped = true;
                std::cerr.tie (log.previousTie);
                throw std::bad_alloc();
            }
            return 0;
        }
        LogFailingOnce& log;
        int line;
        bool tripped = false;
    };

    std::string current;
    Tripwire tripwire;
    std::ostream tied{ &tripwire };
    std::streambuf* previous;
    std::ostream* previousTie;
};
} // namespace

// The lines of an entry that could not be written are written again from the entry's first one,
// and the walk then goes on with the next entry.
TEST_F (OpenDevice, AWalkWhoseLogFailsOnceWritesThatEntrysLinesAgainFromTheFirst)
{
    ScopedEnumerationEntries entries ({ keyboard(), entry() });
    Lines logged;
    int result = -2;
    {
        StdoutCapture out;
        LogFailingOnce log (3); // line 3 is the keyboard's second line
        result = device.openDevice();
        logged = log.lines;
    }

    EXPECT_EQ (result, 0);
    const auto keyboardLines = entryLines (keyboard());
    Lines expected{ registrationRun, registrationEnd, keyboardLines[0] };
    for (const auto& line : walkLines ({ keyboard(), entry() }))
        if (line != registrationRun && line != registrationEnd)
            expected.push_back (line);
    EXPECT_EQ (logged, expected);
}

// ---- How often an opening enumerates: once for the walk and once for the open by identity. The
// strings it prints are those of the entry it chose, kept with the device rather than looked up in
// the enumeration again.
namespace
{
class CountedEnumeration
{
public:
    explicit CountedEnumeration (hid::linux_layer::EntrySource listed)
    {
        hid::linux_layer::setEnumerationSource (
            [listed = std::move (listed), count = counter]
            {
                ++*count;
                return listed();
            });
    }
    ~CountedEnumeration() { hid::linux_layer::useSystemEnumeration(); }
    CountedEnumeration (const CountedEnumeration&) = delete;
    CountedEnumeration& operator= (const CountedEnumeration&) = delete;

    int take() { return std::exchange (*counter, 0); }

private:
    std::shared_ptr<int> counter = std::make_shared<int> (0);
};
} // namespace

TEST_F (OpenDevice, AnOpeningEnumeratesTwice)
{
    CountedEnumeration enumerations (microphone().enumerationSource());

    for (const char* call : { "first opening", "reopening" })
    {
        SCOPED_TRACE (call);
        const auto opening = open();

        EXPECT_EQ (opening.result, 0);
        EXPECT_EQ (enumerations.take(), 2);
        EXPECT_EQ (opening.printed, foundBlock (entry(), "Q7TR00000001") + "Path: " + microphone().path() + "\n" +
                                        stringsAndGreeting ("Q7TR00000001"));
    }
}
