// Captures what the code under test writes: the log lines JUCE's logger sends to std::cerr, and
// standard output at the file-descriptor level (C stdio included).
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace zarvo::test
{
// Swaps std::cerr's stream buffer for the capture's lifetime.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture (const LogCapture&) = delete;
    LogCapture& operator= (const LogCapture&) = delete;

    std::string text() const { return stream.str(); }
    std::vector<std::string> lines() const;
    void clear() { stream.str ({}); }

private:
    std::ostringstream stream;
    std::streambuf* previous;
};

// Redirects file descriptor 1 into a temporary file for the capture's lifetime; text() flushes
// C stdio and std::cout first.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture (const StdoutCapture&) = delete;
    StdoutCapture& operator= (const StdoutCapture&) = delete;

    std::string text() const;
    std::vector<std::string> lines() const;

private:
    int savedFd = -1;
    int fileFd = -1;
};

std::vector<std::string> splitLines (const std::string& text);
} // namespace zarvo::test
