#include "RecordingXdgOpen.h"

#include "PollUntil.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace zarvo::test
{
namespace
{
// /proc/<pid>/stat: the state and the parent follow the name in parentheses, which may hold anything.
bool readStat (pid_t pid, char& state, pid_t& parent)
{
    std::ifstream file ("/proc/" + std::to_string (pid) + "/stat");
    std::string stat;
    std::getline (file, stat);
    const auto nameEnd = stat.rfind (')');
    if (nameEnd == std::string::npos)
        return false;
    std::istringstream fields (stat.substr (nameEnd + 1));
    return static_cast<bool> (fields >> state >> parent);
}

std::set<pid_t> childrenOfThisProcess()
{
    std::set<pid_t> children;
    const auto self = ::getpid();
    if (DIR* proc = ::opendir ("/proc"))
    {
        while (const dirent* entry = ::readdir (proc))
        {
            char* end = nullptr;
            const auto pid = (pid_t)std::strtol (entry->d_name, &end, 10);
            char state = 0;
            pid_t parent = 0;
            if (*end == '\0' && pid > 0 && readStat (pid, state, parent) && parent == self)
                children.insert (pid);
        }
        ::closedir (proc);
    }
    return children;
}

// Ended: a zombie no one has reaped yet, or gone.
bool hasEnded (pid_t pid)
{
    char state = 0;
    pid_t parent = 0;
    return !readStat (pid, state, parent) || state == 'Z' || state == 'X';
}
} // namespace

RecordingXdgOpen::RecordingXdgOpen() : childrenBefore (childrenOfThisProcess())
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
    // The launcher never waits for its shells: those that have ended are reaped here.
    for (const auto pid : launched)
        ::waitpid (pid, nullptr, WNOHANG);
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
    runMessageLoopUntil ([&] { return opened().size() >= count; }, ms, 20);
    return opened();
}

int RecordingXdgOpen::launches() const
{
    for (const auto pid : childrenOfThisProcess())
        if (childrenBefore.count (pid) == 0)
            launched.insert (pid);
    return (int)launched.size();
}

bool RecordingXdgOpen::waitForLaunchesToEnd (int ms) const
{
    launches();
    return sleepUntil (
        [this] { return std::all_of (launched.begin(), launched.end(), [] (pid_t pid) { return hasEnded (pid); }); },
        ms);
}
} // namespace zarvo::test
