// zarvo_benchmark: what a person waits for and what the idle control panel costs, against the
// virtual KT-Q7TR. Run it with scripts/benchmark.sh (a Release build of its own, root, an X server
// of its own). Every figure is repeated and printed as minimum, median and maximum, with the
// machine it ran on:
//
//   1  slider drag start to the first gain frame at the device (the real application)
//   2  process start to the panel's first paint and to the first heartbeat at the device (ditto)
//   3  one paint of the panel beyond its deliberate pauses (the same code, in this process)
//   4  CPU share and resident memory of the idle application, heartbeat at 1 ms and at 60 ms, with
//      standard error a pipe and with it the journal, side by side
//   5  standard error lines and bytes per second in the same phases and cases
//   6  one transfer through the transport against the two bare ioctl calls: time ratio, and the
//      instructions callgrind counts
//
// The shipped executable is not changed for this: the figures of the real application come from
// the reports at the device, its standard error and /proc.
#include "Benchmark.h"
#include "PrivateMountNamespace.h"
#include "UdevEventInjector.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

using namespace zarvo::benchmark;

namespace
{
void printUsage()
{
    std::cout << "usage: zarvo_benchmark [options]\n"
                 "  --quick                fewer repeats and 3 s windows (a first look; not for the README)\n"
                 "  --no-app               leave out the real application (figures 1, 2, 4, 5)\n"
                 "  --no-in-process        leave out the paint and the timed transfers (figures 3, 6)\n"
                 "  --no-callgrind         leave out the instruction counts (figure 6)\n"
                 "  --starts N             application starts (default 10)\n"
                 "  --drags N              drags in the long run (default 20)\n"
                 "  --windows N            idle windows per phase (default 5)\n"
                 "  --window-seconds S     length of an idle window (default 10)\n"
                 "  --paints N             paints of each kind (default 200)\n"
                 "  --lock-wait-minutes M  how long to wait while another copy of the app runs (default 30)\n";
}

// False on an unknown option or a missing value.
bool parse (int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string option = argv[i];
        const auto value = [&] (double& into)
        {
            if (i + 1 >= argc)
                return false;
            char* end = nullptr;
            into = std::strtod (argv[++i], &end);
            return end != nullptr && *end == '\0' && into > 0;
        };
        double number = 0;
        if (option == "--quick")
        {
            options.paints = 50;
            options.transferRounds = 10;
            options.callgrindRepeats = 1;
            options.starts = 3;
            options.drags = 6;
            options.idleWindows = 3;
            options.windowSeconds = 3;
        }
        else if (option == "--no-app")
            options.realApp = false;
        else if (option == "--no-in-process")
            options.inProcess = false;
        else if (option == "--no-callgrind")
            options.callgrind = false;
        else if (option == "--starts" && value (number))
            options.starts = (int)number;
        else if (option == "--drags" && value (number))
            options.drags = (int)number;
        else if (option == "--windows" && value (number))
            options.idleWindows = (int)number;
        else if (option == "--window-seconds" && value (number))
            options.windowSeconds = number;
        else if (option == "--paints" && value (number))
            options.paints = (int)number;
        else if (option == "--lock-wait-minutes" && value (number))
            options.lockWaitMinutes = (int)number;
        else
            return false;
    }
    return true;
}

std::string thisExecutable()
{
    char path[4096];
    const auto n = ::readlink ("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string (path, (size_t)n) : std::string();
}
} // namespace

int main (int argc, char** argv)
{
    // The transfers that callgrind counts, in a run of their own (see TransferCost.cpp).
    if (argc == 4 && std::strcmp (argv[1], "--callgrind-child") == 0)
        return runTransfersForCallgrind (argv[2], std::atoi (argv[3]));

    Options options;
    if (argc == 2 && (std::strcmp (argv[1], "--help") == 0 || std::strcmp (argv[1], "-h") == 0))
    {
        printUsage();
        return 0;
    }
    if (!parse (argc, argv, options))
    {
        printUsage();
        return 2;
    }
    if (::geteuid() != 0)
    {
        std::cerr << "zarvo_benchmark needs root: the virtual microphone is served through /dev/fuse and "
                     "announced in a network namespace of its own. Run scripts/benchmark.sh.\n";
        return 1;
    }
    // Before any thread or socket exists, so that the whole process, and the application it starts,
    // sees only the events of the virtual microphone.
    if (const auto failure = zarvo::test::enterPrivateNetworkNamespace(); !failure.empty())
    {
        std::cerr << "Cannot enter a private network namespace: " << failure << "\n";
        return 1;
    }
    // Before any thread too: the journal's socket is bound on a private /run, which the threads and
    // the application started afterwards share. Without it the journal's figures say why not.
    zarvo::test::mountPrivateTmpfs ("/run");

    juce::ScopedJuceInitialiser_GUI juce;
    const auto machine = describeMachine();
    for (const auto& line : machine)
        std::cerr << "benchmark: " << line << std::endl;

    Table table;
    if (options.inProcess)
    {
        measurePaint (options, table);
        measureTransfers (options, table);
    }
    if (options.callgrind)
        countTransferInstructions (options, table, thisExecutable());
    if (options.realApp)
        measureRealApp (options, table);

    std::cout << "\nZarvoQ7TR benchmark\n";
    for (const auto& line : machine)
        std::cout << "  " << line << "\n";
    std::cout << "\n";
    table.print();
    return 0;
}
