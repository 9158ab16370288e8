// Figure 6: one of our transfers (an output report sent and an input report fetched through the
// transport) against the same two ioctl calls made bare on the same device file, the virtual
// KT-Q7TR's, in the benchmark's process. The time of a transfer is mostly the FUSE round trip; the
// instructions that callgrind counts on the calling thread show our own part of it.
#include "Benchmark.h"
#include "CommandFrame.h"
#include "HidTransport.h"
#include "VirtualMicrophone.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <linux/hidraw.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using zarvo::reportLength;

// What both kinds of transfer work on: the heartbeat query, as the heartbeat sends it, and a reply
// buffer. One device file, opened once for each kind.
zarvo::hid::hid_device* ourDevice = nullptr;
int bareFd = -1;
const zarvo::ReportBuffer query = []
{
    zarvo::ReportBuffer frame;
    zarvo::buildQueryFrame (frame, zarvo::group::heartbeat);
    return frame;
}();
zarvo::ReportBuffer reply;
} // namespace

// One transfer each; callgrind counts what runs inside them (by these names), so they stay
// functions of their own. 0 when both halves moved the whole report.
extern "C" __attribute__ ((noinline)) int zarvo_benchmark_our_transfer()
{
    const int sent = zarvo::hid::hid_send_feature_report (ourDevice, query.data(), reportLength);
    const int fetched = zarvo::hid::hid_get_feature_report (ourDevice, reply.data(), reportLength);
    return sent == reportLength + 1 && fetched == reportLength + 1 ? 0 : -1;
}

extern "C" __attribute__ ((noinline)) int zarvo_benchmark_bare_transfer()
{
    const int sent = ::ioctl (bareFd, HIDIOCSOUTPUT (reportLength), query.data());
    const int fetched = ::ioctl (bareFd, HIDIOCGINPUT (reportLength), reply.data());
    return sent == reportLength && fetched == reportLength ? 0 : -1;
}

namespace zarvo::benchmark
{
namespace
{
using Transfer = int (*)();

// The microphone and both openings of its device file.
class TransferBench
{
public:
    bool open (std::string& whyNot)
    {
        if (!microphone.start (whyNot))
        {
            whyNot = "no virtual microphone: " + whyNot;
            return false;
        }
        const auto path = microphone.path();
        ourDevice = hid::hid_open_path (path.c_str());
        bareFd = ::open (path.c_str(), O_RDWR | O_CLOEXEC);
        if (ourDevice == nullptr || bareFd < 0)
        {
            whyNot = "cannot open " + path;
            return false;
        }
        if (zarvo_benchmark_our_transfer() != 0 || zarvo_benchmark_bare_transfer() != 0)
        {
            whyNot = "a transfer failed";
            return false;
        }
        return true;
    }

    ~TransferBench()
    {
        hid::hid_close (ourDevice);
        ourDevice = nullptr;
        if (bareFd >= 0)
            ::close (bareFd);
        bareFd = -1;
    }

    // Each transfer is recorded by the device model; the record is emptied between rounds.
    void forget() { microphone.model().clearRecord(); }

private:
    test::VirtualMicrophone microphone;
};

// Microseconds that one transfer took; negative when it failed.
double timeTransfer (Transfer transfer)
{
    const auto start = Clock::now();
    const bool ok = transfer() == 0;
    const auto end = Clock::now();
    return ok ? millisecondsBetween (start, end) * 1000.0 : -1;
}

std::string lastLines (const std::string& text, int count)
{
    const auto lines = juce::StringArray::fromLines (juce::String (text).trim());
    juce::StringArray last;
    for (int i = std::max (0, lines.size() - count); i < lines.size(); ++i)
        last.add (lines[i]);
    return last.joinIntoString (" | ").toStdString();
}

// The instructions callgrind counts inside the transfer function over `transfers` transfers, in a
// run of this executable of its own.
std::optional<long long> callgrindCount (const std::string& self, const std::string& kind, int transfers,
                                         const std::string& directory, std::string& whyNot)
{
    const std::string function = "zarvo_benchmark_" + std::string (kind == "ours" ? "our" : "bare") + "_transfer";
    const std::string logPath = directory + "/valgrind-" + kind + "-" + std::to_string (transfers) + ".log";
    std::vector<std::string> arguments = { "valgrind", "--tool=callgrind",
                                           // The device file is served by a thread of the same
                                           // process: without this, a close() that waits for the
                                           // server holds valgrind's lock, and the server never runs.
                                           "--sim-hints=fuse-compatible", "--separate-threads=yes",
                                           "--collect-atstart=no", "--toggle-collect=" + function,
                                           "--callgrind-out-file=" + directory + "/callgrind.%p", self,
                                           "--callgrind-child", kind, std::to_string (transfers) };
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back (argument.data());
    argv.push_back (nullptr);

    const pid_t child = ::fork();
    if (child == 0)
    {
        const int log = ::open (logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2 (log, 1);
        ::dup2 (log, 2);
        ::execvp (argv[0], argv.data());
        ::_exit (127);
    }
    int status = 0;
    if (child < 0 || ::waitpid (child, &status, 0) != child)
    {
        whyNot = "cannot start valgrind";
        return {};
    }
    const auto log = juce::File (logPath).loadFileAsString().toStdString();
    if (!WIFEXITED (status) || WEXITSTATUS (status) != 0)
    {
        whyNot = WIFEXITED (status) && WEXITSTATUS (status) == 127
                     ? "valgrind not found"
                     : "the run under callgrind failed: " + lastLines (log, 4);
        return {};
    }
    // The totals of the run's first thread, the one that makes the transfers; the FUSE server's
    // thread has a file of its own (and counts nothing inside the transfer functions), and so has
    // the device file's watchdog, a process forked by the run.
    std::ifstream out (directory + "/callgrind." + std::to_string (child) + "-01");
    for (std::string line; std::getline (out, line);)
        if (line.rfind ("totals: ", 0) == 0 || line.rfind ("summary: ", 0) == 0)
            return std::stoll (line.substr (line.find (' ') + 1));
    whyNot = "no totals in callgrind's output";
    return {};
}
} // namespace

void measureTransfers (const Options& options, Table& table)
{
    TransferBench bench;
    std::string whyNot;
    if (!bench.open (whyNot))
    {
        table.fail ("6", "transfer time", whyNot);
        return;
    }
    for (int warm = 0; warm < 200; ++warm)
        if (zarvo_benchmark_our_transfer() != 0 || zarvo_benchmark_bare_transfer() != 0)
        {
            table.fail ("6", "transfer time", "a transfer failed");
            return;
        }

    // The two kinds take turns transfer by transfer, each going first half of the time, so that
    // whatever the machine does meanwhile (other work, the FUSE server thread's wake-ups, the clock
    // frequency) weighs on both alike. A round's figure is the median of its transfers.
    std::vector<double> ours, bare, ratios;
    for (int round = 0; round < options.transferRounds; ++round)
    {
        bench.forget();
        std::vector<double> our, theirs;
        for (int n = 0; n < options.transfersPerRound; ++n)
        {
            const bool oursFirst = n % 2 == 0;
            const double first =
                timeTransfer (oursFirst ? zarvo_benchmark_our_transfer : zarvo_benchmark_bare_transfer);
            const double second =
                timeTransfer (oursFirst ? zarvo_benchmark_bare_transfer : zarvo_benchmark_our_transfer);
            if (first < 0 || second < 0)
            {
                table.fail ("6", "transfer time", "a transfer failed");
                return;
            }
            our.push_back (oursFirst ? first : second);
            theirs.push_back (oursFirst ? second : first);
        }
        ours.push_back (median (our));
        bare.push_back (median (theirs));
        ratios.push_back (ours.back() / bare.back());
    }
    bench.forget();
    const auto perRound = "a sample is the median of a round of " + std::to_string (options.transfersPerRound) +
                          " transfers of each kind, taking turns";
    table.add ("6", "our transfer: send and fetch through the transport", "us", ours, "", perRound);
    table.add ("6", "bare transfer: HIDIOCSOUTPUT and HIDIOCGINPUT", "us", bare, "", perRound);
    table.add ("6", "time ratio, ours / bare (same round)", "x", ratios, "1.1");
}

void countTransferInstructions (const Options& options, Table& table, const std::string& self)
{
    auto directory = juce::File::createTempFile ("zarvo-callgrind");
    if (!directory.createDirectory())
    {
        table.fail ("6", "instructions per transfer", "cannot create a scratch directory");
        return;
    }
    const int n = options.callgrindTransfers;
    std::vector<double> ours, bare, difference;
    std::string whyNot;
    for (int repeat = 0; repeat < options.callgrindRepeats && whyNot.empty(); ++repeat)
    {
        double perTransfer[2] = { 0, 0 };
        for (int k = 0; k < 2 && whyNot.empty(); ++k)
        {
            const std::string kind = k == 0 ? "ours" : "bare";
            const auto once = callgrindCount (self, kind, n, directory.getFullPathName().toStdString(), whyNot);
            const auto twice =
                once ? callgrindCount (self, kind, 2 * n, directory.getFullPathName().toStdString(), whyNot)
                     : std::nullopt;
            if (twice)
                perTransfer[k] = (double)(*twice - *once) / n;
        }
        if (!whyNot.empty())
            break;
        ours.push_back (perTransfer[0]);
        bare.push_back (perTransfer[1]);
        difference.push_back (perTransfer[0] - perTransfer[1]);
    }
    directory.deleteRecursively();
    if (!whyNot.empty())
    {
        table.fail ("6", "instructions per transfer (callgrind)", whyNot);
        return;
    }
    const std::string counted =
        "callgrind, (count of " + std::to_string (2 * n) + " transfers - count of " + std::to_string (n) + ") / " +
        std::to_string (n) +
        "; counted: the calling thread's user-space instructions inside one transfer function (the "
        "transport, the C library's ioctl wrapper); not counted: the kernel, the FUSE server thread and "
        "the device model";
    table.add ("6", "our transfer: instructions (send and fetch)", "instr", ours, "", counted);
    table.add ("6", "bare transfer: instructions (two ioctl calls)", "instr", bare);
    table.add ("6", "ours - bare: the transport's own instructions", "instr", difference);
}

int runTransfersForCallgrind (const std::string& kind, int transfers)
{
    TransferBench bench;
    std::string whyNot;
    if (!bench.open (whyNot))
    {
        std::fprintf (stderr, "%s\n", whyNot.c_str());
        return 1;
    }
    const Transfer transfer = kind == "ours" ? zarvo_benchmark_our_transfer : zarvo_benchmark_bare_transfer;
    for (int n = 0; n < transfers; ++n)
    {
        if (transfer() != 0)
        {
            std::fprintf (stderr, "transfer %d failed\n", n);
            return 1;
        }
        if (n % 1000 == 999)
            bench.forget();
    }
    return 0;
}
} // namespace zarvo::benchmark
