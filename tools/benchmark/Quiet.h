// Standard output and standard error go to /dev/null while one of these lives: the panel built in
// the benchmark's process writes its lines as the application does, a write for each, and nobody
// needs to read them here.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace zarvo::benchmark
{
class Quiet
{
public:
    Quiet()
    {
        flush();
        savedOut = ::dup (1);
        savedErr = ::dup (2);
        const int null = ::open ("/dev/null", O_WRONLY | O_CLOEXEC);
        ::dup2 (null, 1);
        ::dup2 (null, 2);
        ::close (null);
    }
    ~Quiet() { end(); }
    Quiet (const Quiet&) = delete;
    Quiet& operator= (const Quiet&) = delete;

    // Gives both streams back now.
    void end()
    {
        if (savedOut < 0)
            return;
        flush();
        ::dup2 (savedOut, 1);
        ::dup2 (savedErr, 2);
        ::close (savedOut);
        ::close (savedErr);
        savedOut = savedErr = -1;
    }

private:
    static void flush()
    {
        std::cout.flush();
        std::cerr.flush();
        std::fflush (nullptr);
    }

    int savedOut = -1;
    int savedErr = -1;
};
} // namespace zarvo::benchmark
