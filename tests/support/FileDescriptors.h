// The number of file descriptors the test process has open, for tests that show a source or a
// device handle is released.
#pragma once

#include <dirent.h>

namespace zarvo::test
{
inline int openFileDescriptors()
{
    int count = 0;
    if (auto* dir = opendir ("/proc/self/fd"))
    {
        while (auto* entry = readdir (dir))
            if (entry->d_name[0] != '.')
                ++count;
        closedir (dir);
        --count; // the directory's own descriptor
    }
    return count;
}
} // namespace zarvo::test
