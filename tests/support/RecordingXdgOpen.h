// A recording `xdg-open` of our own, first on PATH for the object's lifetime, so that a browser
// launch runs it instead of a real browser. It writes each address it is given on a line of its own
// and exits 0, so the launch tries nothing else.
#pragma once

#include <juce_core/juce_core.h>

#include <set>
#include <sys/types.h>

namespace zarvo::test
{
class RecordingXdgOpen
{
public:
    RecordingXdgOpen();
    ~RecordingXdgOpen();
    RecordingXdgOpen (const RecordingXdgOpen&) = delete;
    RecordingXdgOpen& operator= (const RecordingXdgOpen&) = delete;

    // True once the script is in place and first on PATH.
    bool isReady() const { return ready; }

    // The addresses opened so far, in order.
    juce::StringArray opened() const;
    // Waits up to `ms`, running the message loop, for `count` addresses: the launch does not wait
    // for the browser.
    juce::StringArray waitForOpened (int count, int ms = 5000) const;
    // Whether anything was opened at all (the record exists only after the first address).
    bool openedAnything() const { return record.exists(); }

    // The launches since the recorder was made: the processes this one has started since (a launch
    // forks a shell that runs the browser). A launch forks before it returns, so a count taken once
    // a later click has been handled holds every launch of the clicks before it.
    int launches() const;
    // Waits up to `ms` until every launch counted so far has ended: all the shell ran is done.
    bool waitForLaunchesToEnd (int ms = 5000) const;

    // A directory of the recorder's own, removed with it, for files a test wants gone afterwards.
    const juce::File& directory() const { return dir; }

private:
    juce::File dir{ juce::File::createTempFile ("zarvo-browser") };
    juce::File record{ dir.getChildFile ("opened.txt") };
    juce::String oldPath;
    bool ready = false;
    std::set<pid_t> childrenBefore;
    mutable std::set<pid_t> launched;
};
} // namespace zarvo::test
