#include "UserNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zarvo::test
{
namespace
{
bool writeFile (const char* path, const std::string& text)
{
    const int fd = ::open (path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write (fd, text.data(), text.size()) == static_cast<ssize_t> (text.size());
    ::close (fd);
    return written;
}
} // namespace

std::string enterUserNamespace (int namespaces)
{
    const auto uid = ::getuid();
    const auto gid = ::getgid();
    if (::unshare (CLONE_NEWUSER | namespaces) != 0)
        return std::string ("unshare (CLONE_NEWUSER): ") + std::strerror (errno);
    if (!writeFile ("/proc/self/setgroups", "deny") ||
        !writeFile ("/proc/self/uid_map", "0 " + std::to_string (uid) + " 1") ||
        !writeFile ("/proc/self/gid_map", "0 " + std::to_string (gid) + " 1"))
        return "cannot map root in the new user namespace";
    return {};
}
} // namespace zarvo::test
