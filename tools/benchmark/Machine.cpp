#include "AppUnderTest.h"
#include "Benchmark.h"

#include <juce_core/juce_core.h>

#include <fstream>
#include <sys/utsname.h>
#include <unistd.h>

// Xlib last: its macros collide with JUCE's names.
#include <X11/Xlib.h>

namespace zarvo::benchmark
{
namespace
{
// The value of the first "key : value" line of a /proc file whose key is `key`.
std::string procField (const char* file, const std::string& key)
{
    std::ifstream in (file);
    for (std::string line; std::getline (in, line);)
        if (line.rfind (key, 0) == 0)
        {
            const auto colon = line.find (':');
            if (colon != std::string::npos)
                return juce::String (line.substr (colon + 1)).trim().toStdString();
        }
    return "unknown";
}

// The X server the benchmark runs on, as it names itself over the connection, and the Xvfb package.
// (Some Xvfb builds know no -version option; the connection always tells.)
std::string xServerVersion()
{
    std::string text;
    if (Display* display = XOpenDisplay (nullptr))
    {
        // X.Org encodes its release as major, minor, patch and snapshot in decimal digits; since
        // 21.1 the leading 1 is no longer part of the version's name.
        const int release = VendorRelease (display);
        const int major = release / 10000000, minor = (release / 100000) % 100, patch = (release / 1000) % 100,
                  snapshot = release % 1000;
        text = std::string (ServerVendor (display)) + " " +
               (major == 1 && minor >= 21
                    ? std::to_string (minor) + "." + std::to_string (patch) + "." + std::to_string (snapshot)
                    : std::to_string (major) + "." + std::to_string (minor) + "." + std::to_string (patch) + "." +
                          std::to_string (snapshot));
        XCloseDisplay (display);
    }
    const auto package = test::runCommand ("dpkg-query -W -f='${Version}' xvfb");
    if (package.exitCode == 0 && !package.output.empty())
        text += (text.empty() ? "" : ", ") + std::string ("package xvfb ") + package.output;
    const auto printed = test::runCommand ("Xvfb -version");
    for (const auto& line : juce::StringArray::fromLines (printed.output))
        if (line.startsWith ("X.Org X Server"))
            text += (text.empty() ? "" : ", ") + line.trim().toStdString();
    return text.empty() ? "unknown" : text;
}
} // namespace

std::vector<std::string> describeMachine()
{
    utsname names{};
    ::uname (&names);
    const auto cpus = ::sysconf (_SC_NPROCESSORS_ONLN);
    const auto memory = procField ("/proc/meminfo", "MemTotal");
    const char* display = std::getenv ("DISPLAY");
    return {
        "CPU:       " + procField ("/proc/cpuinfo", "model name") + ", " + std::to_string (cpus) + " online",
        "memory:    " + memory,
        "kernel:    " + std::string (names.release) + " (" + names.machine + ")",
        "X server:  " + xServerVersion() + (display != nullptr ? ", display " + std::string (display) : std::string()),
        "compiler:  " + std::string (__VERSION__) + ", " + juce::SystemStats::getJUCEVersion().toStdString() +
#ifdef NDEBUG
            ", release build",
#else
            ", debug build",
#endif
    };
}
} // namespace zarvo::benchmark
