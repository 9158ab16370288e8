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
} // namespace zarvo::test
