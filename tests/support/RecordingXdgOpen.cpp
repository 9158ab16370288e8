#include "RecordingXdgOpen.h"

#include "Deadline.h"

#include <juce_events/juce_events.h>

#include <cstdlib>

namespace zarvo::test
{
RecordingXdgOpen::RecordingXdgOpen()
{
    if (auto* path = std::getenv ("PATH"))
        oldPath = path;
    if (!dir.createDirectory())
        return;
    auto script = dir.getChildFile ("xdg-open");
    // Plain line ends: a carriage return after the interpreter would keep the script from starting.
    if (!script.replaceWithText ("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record.getFullPathName() + "'\nexit 0\n",
                                 false, false, "\n") ||
        !script.setExecutePermission (true))
        return;
    ready = ::setenv ("PATH", (dir.getFullPathName() + ":" + oldPath).toRawUTF8(), 1) == 0;
}

RecordingXdgOpen::~RecordingXdgOpen()
{
    ::setenv ("PATH", oldPath.toRawUTF8(), 1);
    dir.deleteRecursively();
}

juce::StringArray RecordingXdgOpen::opened() const
{
    juce::StringArray lines;
    lines.addLines (record.loadFileAsString());
    lines.removeEmptyStrings();
    return lines;
}

juce::StringArray RecordingXdgOpen::waitForOpened (int count, int ms) const
{
    const Deadline end (ms);
    while (opened().size() < count && !end.passed())
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    return opened();
}
} // namespace zarvo::test
