#include "StreamEnds.h"

#include <juce_core/juce_core.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zarvo::test
{
namespace
{
StreamEnds failed (const std::string& what)
{
    StreamEnds ends;
    ends.whyNot = what + ": " + std::strerror (errno);
    return ends;
}

StreamEnds made (int writeFd, int readFd)
{
    StreamEnds ends;
    ends.writeEnd.reset (writeFd);
    ends.readEnd.reset (readFd);
    return ends;
}

// mkdir -p of the directories above the path.
bool makeParents (const std::string& path)
{
    for (auto slash = path.find ('/', 1); slash != std::string::npos; slash = path.find ('/', slash + 1))
        if (::mkdir (path.substr (0, slash).c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    return true;
}
} // namespace

Descriptor& Descriptor::operator= (Descriptor&& other) noexcept
{
    if (this != &other)
        reset (other.release());
    return *this;
}

int Descriptor::release()
{
    const int handedOver = fd;
    fd = -1;
    return handedOver;
}

void Descriptor::reset (int newFd)
{
    if (fd >= 0)
        ::close (fd);
    fd = newFd;
}

StreamEnds socketConnectedTo (const std::string& path, int type)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
    {
        errno = ENAMETOOLONG;
        return failed ("the socket's path " + path);
    }
    std::memcpy (address.sun_path, path.c_str(), path.size() + 1);
    if (!makeParents (path))
        return failed ("creating the directories of " + path);
    ::unlink (path.c_str());

    Descriptor bound (::socket (AF_UNIX, type | SOCK_CLOEXEC, 0));
    Descriptor client (::socket (AF_UNIX, type | SOCK_CLOEXEC, 0));
    if (bound.get() < 0 || client.get() < 0)
        return failed ("socket (AF_UNIX)");
    const auto* raw = reinterpret_cast<const sockaddr*> (&address);
    if (::bind (bound.get(), raw, sizeof address) != 0 || (type == SOCK_STREAM && ::listen (bound.get(), 1) != 0))
        return failed ("a socket bound at " + path);
    if (::connect (client.get(), raw, sizeof address) != 0)
        return failed ("connecting to " + path);
    if (type != SOCK_STREAM)
        return made (client.release(), bound.release());
    const int accepted = ::accept4 (bound.get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0)
        return failed ("accepting at " + path);
    return made (client.release(), accepted);
}

StreamEnds socketPair()
{
    int pair[2];
    if (::socketpair (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return failed ("socketpair");
    return made (pair[0], pair[1]);
}

StreamEnds pipeEnds()
{
    int ends[2];
    if (::pipe2 (ends, O_CLOEXEC) != 0)
        return failed ("pipe");
    return made (ends[1], ends[0]);
}

StreamEnds terminalEnds()
{
    Descriptor master (::posix_openpt (O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (master.get() < 0 || ::grantpt (master.get()) != 0 || ::unlockpt (master.get()) != 0)
        return failed ("a pseudo-terminal");
    const char* name = ::ptsname (master.get());
    Descriptor terminal (name != nullptr ? ::open (name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1);
    termios settings{};
    if (terminal.get() < 0 || ::tcgetattr (terminal.get(), &settings) != 0)
        return failed ("the pseudo-terminal's terminal side");
    ::cfmakeraw (&settings);
    if (::tcsetattr (terminal.get(), TCSANOW, &settings) != 0)
        return failed ("raw mode");
    return made (terminal.release(), master.release());
}

StreamEnds fileEnds (const std::string& path)
{
    Descriptor writer (::open (path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
    if (writer.get() < 0)
        return failed ("creating " + path);
    const int reader = ::open (path.c_str(), O_RDONLY | O_CLOEXEC);
    if (reader < 0)
        return failed ("opening " + path);
    return made (writer.release(), reader);
}

std::string journalStreamOf (int fd)
{
    struct stat status
    {
    };
    if (::fstat (fd, &status) != 0)
        return {};
    return std::to_string ((unsigned long long)status.st_dev) + ":" +
           std::to_string ((unsigned long long)status.st_ino);
}

std::string overflowingJournalStreamOf (int fd)
{
    const auto own = journalStreamOf (fd);
    const auto colon = own.find (':');
    if (colon == std::string::npos)
        return {};
    juce::BigInteger device;
    device.parseString (own.substr (0, colon), 10);
    juce::BigInteger wrap;
    wrap.setBit (64);
    device += wrap;
    return device.toString (10).toStdString() + own.substr (colon);
}
std::string readToTheEnd (int fd)
{
    std::string text;
    char chunk[1 << 16];
    for (ssize_t n; (n = ::read (fd, chunk, sizeof chunk)) > 0;)
        text.append (chunk, (size_t)n);
    return text;
}
} // namespace zarvo::test
