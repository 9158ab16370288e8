#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zarvo::test
{
std::string instanceLockFile()
{
    struct stat info
    {
    };
    const bool varTmp = ::stat ("/var/tmp", &info) == 0 && S_ISDIR (info.st_mode);
    return std::string (varTmp ? "/var/tmp" : "/tmp") + "/juceAppLock_ZarvoQ7TR";
}

std::optional<pid_t> runningCopy (const std::string& lockFile)
{
    const int fd = ::open (lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct flock lock
    {
    };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    std::optional<pid_t> holder;
    if (::fcntl (fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK)
        holder = lock.l_pid;
    ::close (fd);
    return holder;
}

LockFileCleanup::LockFileCleanup (std::string lockFile)
    : file (std::move (lockFile)), wasThere (::access (file.c_str(), F_OK) == 0)
{
}

LockFileCleanup::~LockFileCleanup()
{
    if (!wasThere && !runningCopy (file))
        ::unlink (file.c_str());
}
} // namespace zarvo::test
