// A recording `xdg-open` of our own, first on PATH for the object's lifetime, so that a browser
// launch runs it instead of a real browser. It writes each address it is given on a line of its own
// and exits 0, so the launch tries nothing else.
#pragma once

#include <juce_core/juce_core.h>

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

    // A directory of the recorder's own, removed with it, for files a test wants gone afterwards.
    const juce::File& directory() const { return dir; }

private:
    juce::File dir{ juce::File::createTempFile ("zarvo-browser") };
    juce::File record{ dir.getChildFile ("opened.txt") };
    juce::String oldPath;
    bool ready = false;
};
} // namespace zarvo::test
