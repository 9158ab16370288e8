#include "PrivateMountNamespace.h"

#include "UserNamespace.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace zarvo::test
{
namespace
{
std::string failureOf (const std::string& what)
{
    return what + ": " + std::strerror (errno);
}

std::string enterOnce()
{
    if (::unshare (CLONE_NEWNS) != 0)
    {
        if (errno != EPERM || ::geteuid() == 0)
            return failureOf ("unshare (CLONE_NEWNS)");
        if (auto failure = enterUserNamespace (CLONE_NEWNS); !failure.empty())
            return failure + " (not root, and no user namespace of its own to be had)";
    }
    // Mounts shared with the machine's namespace would carry what is mounted here back to it.
    if (::mount (nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return failureOf ("making every mount private");
    return {};
}
} // namespace

std::string enterPrivateMountNamespace()
{
    static const std::string failure = enterOnce();
    return failure;
}

std::string mountPrivateTmpfs (const std::string& directory)
{
    static std::mutex lock;
    static std::map<std::string, std::string> mounted; // directory: the failure, or empty
    std::lock_guard<std::mutex> guard (lock);
    if (const auto done = mounted.find (directory); done != mounted.end())
        return done->second;

    auto failure = enterPrivateMountNamespace();
    if (failure.empty() && ::mount ("tmpfs", directory.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "mode=755") != 0)
        failure = failureOf ("mounting a tmpfs on " + directory);
    mounted[directory] = failure;
    return failure;
}
} // namespace zarvo::test
