// The kinds of stream a program's standard error can be, made for a test: a Unix stream socket
// connected to a listener at a chosen path (as a journal stream is), a socket pair, a pipe, a
// terminal and a file. Each comes as the end the program writes to and the end the test reads from.
#pragma once

#include <string>
#include <sys/socket.h>

namespace zarvo::test
{
// A file descriptor, closed with its owner.
class Descriptor
{
public:
    explicit Descriptor (int fd = -1) : fd (fd) {}
    ~Descriptor() { reset(); }
    Descriptor (Descriptor&& other) noexcept : fd (other.release()) {}
    Descriptor& operator= (Descriptor&& other) noexcept;
    Descriptor (const Descriptor&) = delete;
    Descriptor& operator= (const Descriptor&) = delete;

    int get() const { return fd; }
    // Hands the descriptor over: the caller closes it from now on.
    int release();
    void reset (int newFd = -1);

private:
    int fd;
};

struct StreamEnds
{
    Descriptor writeEnd;
    Descriptor readEnd;
    std::string whyNot; // why the stream could not be made; both ends are closed then

    bool ok() const { return whyNot.empty(); }
};

// A Unix socket connected to one bound at `path` (its directories created, an old socket there
// removed). A stream socket's read end is the connection its listener accepted (the listener is
// closed again); a datagram socket's is the bound socket itself.
StreamEnds socketConnectedTo (const std::string& path, int type = SOCK_STREAM);
// An unnamed pair of connected Unix stream sockets.
StreamEnds socketPair();
StreamEnds pipeEnds();
// A pseudo-terminal: the program writes to the terminal side, set raw so that bytes pass unchanged;
// the test reads from the master side.
StreamEnds terminalEnds();
// A file created empty at `path`: the write end appends, the read end reads from its start.
StreamEnds fileEnds (const std::string& path);

// Everything the read end gives until every writer has closed it.
std::string readToTheEnd (int fd);

// "DEV:INODE" of the descriptor's stream, in decimal, as the JOURNAL_STREAM variable names one.
std::string journalStreamOf (int fd);
// The same with 2^64 added to the device's number: a reader whose numbers wrap around would take it
// for this stream.
std::string overflowingJournalStreamOf (int fd);
} // namespace zarvo::test
