#include "PluggableMicrophone.h"

#include "AppUnderTest.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zarvo::test
{
PluggableMicrophone::PluggableMicrophone() = default;

PluggableMicrophone::~PluggableMicrophone()
{
    stop();
}

bool PluggableMicrophone::start (std::string& whyNot)
{
    if (!microphone->start (whyNot))
        return false;

    injector = std::make_unique<UdevEventInjector>();
    if (!injector->isOpen())
    {
        whyNot = "cannot send udev events: " + injector->error();
        return false;
    }

    const char* tmp = std::getenv ("TMPDIR");
    std::string pattern = std::string (tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zarvo-enumeration-XXXXXX";
    if (::mkdtemp (pattern.data()) == nullptr)
    {
        whyNot = std::string ("cannot create the control file's directory: ") + std::strerror (errno);
        return false;
    }
    directory = pattern;
    control = directory + "/enumeration";
    if (!writeControl (true, whyNot))
        return false;
    plugged = true;
    return true;
}

bool PluggableMicrophone::writeControl (bool present, std::string& whyNot)
{
    // Written beside and renamed over, so that the preload never reads half a file.
    const std::string next = control + ".next";
    {
        std::ofstream file (next, std::ios::trunc);
        file << microphone->path() << '\n' << (present ? "present" : "absent") << '\n';
        file.close();
        if (file.fail())
        {
            whyNot = "cannot write " + next;
            return false;
        }
    }
    if (std::rename (next.c_str(), control.c_str()) != 0)
    {
        whyNot = "cannot rename " + next + ": " + std::strerror (errno);
        return false;
    }
    return true;
}

bool PluggableMicrophone::announce (const char* action, std::string& whyNot)
{
    if (injector == nullptr || !injector->send (UdevEventInjector::hidrawEvent (action, VirtualMicrophone::vendorId,
                                                                                VirtualMicrophone::productId)))
    {
        whyNot = std::string ("cannot send the udev \"") + action + "\" event" +
                 (injector != nullptr ? ": " + injector->error() : std::string());
        return false;
    }
    return true;
}

bool PluggableMicrophone::unplug (std::string& whyNot)
{
    microphone->vanish();
    plugged = false;
    return writeControl (false, whyNot) && announce ("remove", whyNot);
}

bool PluggableMicrophone::plug (std::string& whyNot)
{
    microphone->comeBack();
    plugged = true;
    return writeControl (true, whyNot) && announce ("add", whyNot);
}

void PluggableMicrophone::stop()
{
    if (!control.empty())
    {
        std::remove (control.c_str());
        std::remove ((control + ".next").c_str());
        ::rmdir (directory.c_str());
        control.clear();
    }
    injector = nullptr;
    microphone = nullptr;
}

bool isMountPoint (const std::string& directory)
{
    // Field 5 of each line is the mount point.
    std::ifstream info ("/proc/self/mountinfo");
    for (std::string line; std::getline (info, line);)
    {
        std::istringstream fields (line);
        std::string id, parent, device, root, mountPoint;
        if (fields >> id >> parent >> device >> root >> mountPoint && mountPoint == directory)
            return true;
    }
    return false;
}
std::string readyForTheApp (PluggableMicrophone& microphone)
{
    if (!displayAvailable())
        return "no X display (run under xvfb-run)";
    if (const auto failure = enterPrivateNetworkNamespace(); !failure.empty())
        return "no private network namespace: " + failure;
    std::string whyNot;
    if (!microphone.start (whyNot))
        return "no virtual microphone: " + whyNot;
    return {};
}
} // namespace zarvo::test
