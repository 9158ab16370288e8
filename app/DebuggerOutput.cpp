#include "DebuggerOutput.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <optional>
#include <streambuf>
#include <string>

namespace zarvo
{
namespace
{
bool peerIsJournald (int fd)
{
    int type = 0;
    socklen_t typeSize = sizeof type;
    if (::getsockopt (fd, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_STREAM)
        return false;

    sockaddr_un peer{};
    socklen_t size = sizeof peer;
    if (::getpeername (fd, reinterpret_cast<sockaddr*> (&peer), &size) != 0 || peer.sun_family != AF_UNIX)
        return false;
    // The path need not end in a zero byte; an abstract address starts with one and so is empty here.
    const auto pathOffset = offsetof (sockaddr_un, sun_path);
    const auto pathBytes = std::min<std::size_t> (size, sizeof peer) - std::min<std::size_t> (size, pathOffset);
    const std::string path (peer.sun_path, ::strnlen (peer.sun_path, pathBytes));
    for (const char* prefix : { "/run/systemd/journal/", "/run/systemd/journal." })
        if (path.compare (0, std::strlen (prefix), prefix) == 0)
            return true;
    return false;
}

// One decimal number of at least one digit, without sign or blanks, that fits; advances `text`.
std::optional<unsigned long long> readNumber (const char*& text)
{
    constexpr auto largest = std::numeric_limits<unsigned long long>::max();
    if (*text < '0' || *text > '9')
        return {};
    unsigned long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
    {
        const auto digit = static_cast<unsigned long long> (*text - '0');
        if (value > (largest - digit) / 10)
            return {};
        value = value * 10 + digit;
    }
    return value;
}

bool namesTheStream (int fd, const char* journalStream)
{
    if (journalStream == nullptr)
        return false;
    const char* text = journalStream;
    const auto device = readNumber (text);
    if (!device || *text++ != ':')
        return false;
    const auto inode = readNumber (text);
    if (!inode || *text != '\0')
        return false;

    struct stat status
    {
    };
    return ::fstat (fd, &status) == 0 && static_cast<unsigned long long> (status.st_dev) == *device &&
           static_cast<unsigned long long> (status.st_ino) == *inode;
}

// Takes every character and keeps none, as debugger output does with nobody attached.
class DroppingBuffer : public std::streambuf
{
protected:
    int_type overflow (int_type c) override { return traits_type::not_eof (c); }
    std::streamsize xsputn (const char_type*, std::streamsize count) override { return count; }
};
} // namespace

bool isJournal (int fd, const char* journalStream)
{
    return peerIsJournald (fd) || namesTheStream (fd, journalStream);
}

bool startDebuggerOutput()
{
    if (!isJournal (STDERR_FILENO, std::getenv ("JOURNAL_STREAM")))
        return false;
    // Never destroyed: std::cerr may still be written to while static objects are torn down.
    static auto* const dropping = new DroppingBuffer();
    std::cerr.flush();
    std::cerr.rdbuf (dropping);
    return true;
}
} // namespace zarvo
