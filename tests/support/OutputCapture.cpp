#include "OutputCapture.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <unistd.h>

namespace zarvo::test
{
std::vector<std::string> splitLines (const std::string& text)
{
    std::vector<std::string> result;
    std::string::size_type start = 0;
    while (start < text.size())
    {
        const auto end = text.find ('\n', start);
        if (end == std::string::npos)
        {
            result.push_back (text.substr (start));
            break;
        }
        result.push_back (text.substr (start, end - start));
        start = end + 1;
    }
    return result;
}

LogCapture::LogCapture() : previous (std::cerr.rdbuf (stream.rdbuf())) {}

LogCapture::~LogCapture()
{
    std::cerr.rdbuf (previous);
}

std::vector<std::string> LogCapture::lines() const
{
    return splitLines (stream.str());
}

StdoutCapture::StdoutCapture()
{
    std::fflush (stdout);
    std::cout.flush();
    char name[] = "/tmp/zarvo-stdout-XXXXXX";
    fileFd = ::mkstemp (name);
    if (fileFd < 0)
        throw std::runtime_error ("cannot create a capture file");
    ::unlink (name);
    savedFd = ::dup (1);
    ::dup2 (fileFd, 1);
}

StdoutCapture::~StdoutCapture()
{
    std::fflush (stdout);
    std::cout.flush();
    ::dup2 (savedFd, 1);
    ::close (savedFd);
    ::close (fileFd);
}

std::string StdoutCapture::text() const
{
    std::fflush (stdout);
    std::cout.flush();
    std::string result;
    char chunk[4096];
    for (off_t offset = 0;;)
    {
        const auto n = ::pread (fileFd, chunk, sizeof (chunk), offset);
        if (n <= 0)
            break;
        result.append (chunk, (size_t)n);
        offset += n;
    }
    return result;
}

std::vector<std::string> StdoutCapture::lines() const
{
    return splitLines (text());
}
} // namespace zarvo::test
