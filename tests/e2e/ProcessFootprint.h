// What a running process holds, read from /proc from outside it: its open descriptors and what
// they lead to, its threads by name, its resident memory. For runs that must end with no more
// than they settled in with, and for figures of an idle application.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>

namespace zarvo::test
{
struct ProcessFootprint
{
    int descriptors = -1;
    int threads = -1;
    long residentKb = -1;
    // What the descriptors lead to, the numbers of sockets and pipes left out ("socket", "pipe",
    // "anon_inode:[eventfd]" as "anon_inode", a file's path).
    std::map<std::string, int> descriptorKinds;
    std::map<std::string, int> threadNames;
};

// One reading; a count stays -1 where /proc could not give it (the process has ended).
ProcessFootprint readFootprint (pid_t pid);
} // namespace zarvo::test
