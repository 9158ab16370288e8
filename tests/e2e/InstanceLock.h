// JUCE's single-instance lock of ZarvoQ7TR, as seen from outside the application: the file it
// takes a write lock on, and the process holding that lock.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace zarvo::test
{
// /var/tmp/juceAppLock_ZarvoQ7TR, or the same name in /tmp where there is no /var/tmp.
std::string instanceLockFile();

// The process that holds the lock, if any.
std::optional<pid_t> runningCopy (const std::string& lockFile = instanceLockFile());

// Removes, when it goes, the lock file that the copies of the application started meanwhile
// created. They ran as root, so the file is root's: a copy that a normal user starts later could
// not lock it, and the one-copy rule would not hold for that user. A file that was there before,
// or that a running copy holds, stays.
class LockFileCleanup
{
public:
    explicit LockFileCleanup (std::string lockFile = instanceLockFile());
    ~LockFileCleanup();
    LockFileCleanup (const LockFileCleanup&) = delete;
    LockFileCleanup& operator= (const LockFileCleanup&) = delete;

private:
    std::string file;
    bool wasThere;
};
} // namespace zarvo::test
