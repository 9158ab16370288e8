#include "ProcessFootprint.h"

#include <dirent.h>
#include <fstream>
#include <optional>
#include <unistd.h>
#include <vector>

namespace zarvo::test
{
namespace
{
// Nothing when the directory cannot be read.
std::optional<std::vector<std::string>> directoryEntries (const std::string& path)
{
    DIR* dir = ::opendir (path.c_str());
    if (dir == nullptr)
        return {};
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir (dir))
        if (entry->d_name[0] != '.')
            names.push_back (entry->d_name);
    ::closedir (dir);
    return names;
}
} // namespace

ProcessFootprint readFootprint (pid_t pid)
{
    ProcessFootprint footprint;
    const auto proc = "/proc/" + std::to_string (pid);
    const auto descriptors = directoryEntries (proc + "/fd");
    if (descriptors)
        footprint.descriptors = (int)descriptors->size();
    for (const auto& fd : descriptors.value_or (std::vector<std::string>()))
    {
        char target[512];
        const auto n = ::readlink ((proc + "/fd/" + fd).c_str(), target, sizeof target - 1);
        std::string kind = n > 0 ? std::string (target, (size_t)n) : std::string ("?");
        if (const auto bracket = kind.find (":["); bracket != std::string::npos)
            kind.erase (bracket);
        ++footprint.descriptorKinds[kind];
    }
    for (const auto& task : directoryEntries (proc + "/task").value_or (std::vector<std::string>()))
    {
        std::ifstream comm (proc + "/task/" + task + "/comm");
        std::string name;
        std::getline (comm, name);
        ++footprint.threadNames[name];
    }
    std::ifstream status (proc + "/status");
    for (std::string line; std::getline (status, line);)
    {
        if (line.rfind ("Threads:", 0) == 0)
            footprint.threads = std::stoi (line.substr (8));
        else if (line.rfind ("VmRSS:", 0) == 0)
            footprint.residentKb = std::stol (line.substr (6));
    }
    return footprint;
}
} // namespace zarvo::test
