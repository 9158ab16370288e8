// zarvo_virtual_microphone: ZarvoQ7TR on your own display, connected to a virtual KT-Q7TR, for
// development without the hardware. The microphone is served over FUSE and announced in a private
// network namespace, as in the end-to-end tests; the terminal steers it while the window runs:
//
//     level N   the input level the microphone reports (0 to 65535; the meter shows it)
//     unplug    pull the microphone out
//     plug      plug it back in
//     state     what the microphone holds now
//     quit      close the application and end (so do Ctrl-D, Ctrl-C and closing the window)
//
// --log FILE keeps the application's log lines (its standard error) in FILE; otherwise they are
// dropped: they come by the thousand every second.
//
// Needs root: /dev/fuse and a network namespace of its own. scripts/virtual-microphone.sh builds it
// and runs it with sudo.
#include "AppUnderTest.h"
#include "CommandFrame.h"
#include "InstanceLock.h"
#include "PluggableMicrophone.h"
#include "UdevEventInjector.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace zarvo::test;

namespace
{
volatile std::sig_atomic_t interrupted = 0;

void onInterrupt (int)
{
    interrupted = 1;
}

void sayAnotherCopyRuns (std::optional<pid_t> holder)
{
    std::cerr << "Another copy of ZarvoQ7TR is already running"
              << (holder ? " (process " + std::to_string (*holder) + ")" : std::string()) << ".\n"
              << "Only one copy can run at a time: close it, then start this again.\n";
}

void printHelp()
{
    std::cout << "Commands:\n"
                 "  level N   set the input level the microphone reports (0 to 65535)\n"
                 "  unplug    pull the microphone out\n"
                 "  plug      plug it back in\n"
                 "  state     show what the microphone holds\n"
                 "  quit      close the application and end\n";
}

void printState (MicrophoneModel& model, bool plugged)
{
    using namespace zarvo;
    std::cout << (plugged ? "plugged in" : "unplugged") << ", mute " << model.parameter (group::microphone, param::mute)
              << ", gain " << model.parameter (group::microphone, param::gain) << ", noise reduction "
              << model.parameter (group::noiseReduction, param::noiseOn) << " level "
              << model.parameter (group::noiseReduction, param::noiseLevel) << ", reverberation "
              << model.parameter (group::reverb, param::reverbOn) << " depth "
              << model.parameter (group::reverb, param::reverbDepth) << " time "
              << model.parameter (group::reverb, param::reverbTime) << "\n";
}

// One command line; false when the tool should end.
bool obey (const std::string& line, PluggableMicrophone& microphone)
{
    std::istringstream words (line);
    std::string command;
    words >> command;
    std::string whyNot;
    if (command.empty())
        return true;
    if (command == "quit" || command == "exit")
        return false;
    if (command == "level")
    {
        long level = -1;
        if (!(words >> level) || level < 0 || level > 65535)
        {
            std::cout << "level takes a number from 0 to 65535\n";
            return true;
        }
        microphone.model().setInputLevel (static_cast<unsigned int> (level));
        std::cout << "input level " << level << "\n";
    }
    else if (command == "unplug")
    {
        if (!microphone.pluggedIn())
            std::cout << "already unplugged\n";
        else if (!microphone.unplug (whyNot))
            std::cout << "unplug failed: " << whyNot << "\n";
        else
            std::cout << "unplugged\n";
    }
    else if (command == "plug")
    {
        if (microphone.pluggedIn())
            std::cout << "already plugged in\n";
        else if (!microphone.plug (whyNot))
            std::cout << "plug failed: " << whyNot << "\n";
        else
            std::cout << "plugged in\n";
    }
    else if (command == "state")
    {
        printState (microphone.model(), microphone.pluggedIn());
    }
    else
    {
        printHelp();
    }
    return true;
}

void closeApp (AppUnderTest& app)
{
    if (!app.interrupt())
        std::cerr << "The application did not close within 5 s; it was ended.\n";
}

// Starts the application, obeys the commands until it ends or is told to end, and closes it.
int runSession (PluggableMicrophone& microphone, const std::string& lockFile, const std::string& logFile)
{
    AppUnderTest::Launch launch;
    launch.appPath = ZARVO_APP_PATH;
    launch.preloadPath = ZARVO_PRELOAD_PATH;
    launch.enumerationControl = microphone.controlFile();
    launch.keepOutputFiles = true;
    launch.logFile = logFile;
    AppUnderTest app (launch);
    if (!app.findWindow (20000))
    {
        const auto exitCode = app.waitForExit (2000);
        if (exitCode == 0)
            sayAnotherCopyRuns (runningCopy (lockFile));
        else
            std::cerr << "The application showed no window"
                      << (exitCode ? " and ended with code " + std::to_string (*exitCode) : std::string())
                      << "; its output is in " << app.outputFile().getFullPathName() << " and "
                      << app.errorFile().getFullPathName() << "\n";
        if (!exitCode)
            closeApp (app);
        return 1;
    }

    std::cout << "ZarvoQ7TR runs with a virtual KT-Q7TR plugged in (device file " << microphone.devicePath()
              << ").\nIts standard output goes to " << app.outputFile().getFullPathName() << ", its log lines to "
              << logFile << (logFile == "/dev/null" ? " (a few hundred kilobytes a second; --log FILE keeps them)" : "")
              << ".\n";
    printHelp();
    std::cout << "> " << std::flush;

    std::string pending;
    bool stdinOpen = true;
    for (;;)
    {
        if (interrupted || !app.isRunning())
            break;
        pollfd input{ STDIN_FILENO, POLLIN, 0 };
        if (!stdinOpen || ::poll (&input, 1, 200) <= 0)
        {
            if (!stdinOpen)
                ::poll (nullptr, 0, 200);
            continue;
        }
        char chunk[256];
        const auto n = ::read (STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0)
        {
            // Ctrl-D at the terminal ends as quit does; the end of piped commands leaves the
            // application running until its window is closed.
            if (::isatty (STDIN_FILENO))
                break;
            stdinOpen = false;
            continue;
        }
        pending.append (chunk, static_cast<size_t> (n));
        bool carryOn = true;
        for (size_t end; carryOn && (end = pending.find ('\n')) != std::string::npos;)
        {
            carryOn = obey (pending.substr (0, end), microphone);
            pending.erase (0, end + 1);
        }
        if (!carryOn)
            break;
        std::cout << "> " << std::flush;
    }

    if (app.isRunning())
    {
        std::cout << "\nClosing the application.\n";
        closeApp (app);
    }
    const auto exitCode = app.waitForExit (0);
    std::cout << "\nThe application ended" << (exitCode ? " with code " + std::to_string (*exitCode) : std::string())
              << ".\n";
    return exitCode.value_or (1);
}
} // namespace

int main (int argc, char** argv)
{
    // --log FILE: keep the application's log lines (standard error) in FILE.
    std::string logFile = "/dev/null";
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument (argv[i]);
        if (argument == "--log" && i + 1 < argc)
            logFile = argv[++i];
        else
        {
            std::cerr << "usage: zarvo_virtual_microphone [--log FILE]\n";
            return 2;
        }
    }

    if (::geteuid() != 0)
    {
        std::cerr << "zarvo_virtual_microphone needs root: the virtual microphone is served through "
                     "/dev/fuse and announced in a network namespace of its own, and both are open to "
                     "root only.\nRun scripts/virtual-microphone.sh as yourself: it starts this tool with sudo.\n";
        return 1;
    }
    if (!displayAvailable())
    {
        std::cerr << "Cannot open the X display"
                  << (std::getenv ("DISPLAY") ? " " + std::string (std::getenv ("DISPLAY")) : "")
                  << ": the application opens its window on DISPLAY with the X authority in "
                     "XAUTHORITY. Run scripts/virtual-microphone.sh as yourself from your desktop's terminal: "
                     "it passes both on to sudo.\n";
        return 1;
    }

    const auto lockFile = instanceLockFile();
    if (const auto holder = runningCopy (lockFile))
    {
        sayAnotherCopyRuns (holder);
        return 1;
    }
    const LockFileCleanup lockFileCleanup (lockFile);

    if (const auto failure = enterPrivateNetworkNamespace(); !failure.empty())
    {
        std::cerr << "Cannot enter a private network namespace: " << failure << "\n";
        return 1;
    }

    PluggableMicrophone microphone;
    std::string whyNot;
    if (!microphone.start (whyNot))
    {
        std::cerr << "Cannot start the virtual microphone: " << whyNot << "\n";
        return 1;
    }

    std::signal (SIGINT, onInterrupt);
    std::signal (SIGTERM, onInterrupt);

    const int result = runSession (microphone, lockFile, logFile);

    microphone.stop();
    std::cout << "The virtual microphone is unmounted.\n";
    return result;
}
