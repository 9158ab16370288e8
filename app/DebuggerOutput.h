// The Linux form of the debugger output that the diagnostic lines go to (JUCE's logger writes them
// to std::cerr): standard error, except where standard error is the system journal. With nobody
// listening, debugger output is stored nowhere; a desktop that hands an application a journal
// stream as its standard error would store thousands of lines a second.
#pragma once

namespace zarvo
{
// True when the descriptor is the journal: a Unix stream socket connected to journald's stream
// socket (a peer path beginning "/run/systemd/journal/" or "/run/systemd/journal."), or the stream
// that `journalStream` names as "DEV:INODE" in decimal (the JOURNAL_STREAM variable's text; null
// when it is unset). A malformed text names nothing.
bool isJournal (int fd, const char* journalStream);

// Decides once, before the first diagnostic line, where the lines go: where standard error is the
// journal, std::cerr's stream buffer is swapped for one that drops everything, and file descriptor
// 2 stays open and unchanged for the C runtime's, the X library's and the sanitizers' own messages.
// Anywhere else nothing changes. Returns true when the lines are dropped.
bool startDebuggerOutput();
} // namespace zarvo
