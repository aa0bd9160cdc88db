#include "console/process_census.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace devhost {

namespace {

int CountEntries(const std::filesystem::path& folder)
{
    std::error_code error;
    int count = 0;
    for (auto it = std::filesystem::directory_iterator(folder, error); !error && it != std::filesystem::directory_iterator();
         it.increment(error))
        ++count;
    return count;
}

bool AllDigits(const std::string& text)
{
    if (text.empty()) return false;
    for (char ch : text)
        if (ch < '0' || ch > '9') return false;
    return true;
}

// /proc/PID/stat: "PID (COMM) STATE PPID ..."; COMM may hold spaces and parentheses, so the
// fields after it are found from its last ')'.
bool ReadStat(const std::filesystem::path& file, ChildEntry& entry, pid_t& parent)
{
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line)) return false;
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    entry.name = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 1));
    long ppid = 0;
    if (!(rest >> entry.state >> ppid)) return false;
    parent = static_cast<pid_t>(ppid);
    return true;
}

} // namespace

ProcessCensus TakeProcessCensus()
{
    ProcessCensus census;
    census.threads = CountEntries("/proc/self/task");
    // The directory listing holds a descriptor of its own while it counts; it is the one whose
    // target no longer reads once the listing is over.
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        census.files.push_back(it->path().filename().string());
    for (auto& file : census.files) {
        std::error_code unreadable;
        const auto target = std::filesystem::read_symlink("/proc/self/fd/" + file, unreadable);
        file = unreadable ? "" : file + " -> " + target.string();
    }
    std::erase(census.files, std::string());
    census.openFiles = static_cast<int>(census.files.size());
    const pid_t self = getpid();
    for (auto it = std::filesystem::directory_iterator("/proc", error); !error && it != std::filesystem::directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!AllDigits(name)) continue;
        ChildEntry entry;
        pid_t parent = 0;
        // A process may end between the listing and the read; it is then simply not counted.
        if (!ReadStat(it->path() / "stat", entry, parent) || parent != self) continue;
        entry.pid = static_cast<pid_t>(std::stol(name));
        census.children.push_back(entry);
    }
    return census;
}

std::vector<std::string> DescribeProcessCensus(const ProcessCensus& census, bool withFiles)
{
    std::vector<std::string> lines;
    lines.push_back("threads " + std::to_string(census.threads) + ", open files " + std::to_string(census.openFiles) +
                    ", child processes " + std::to_string(census.children.size()));
    for (const auto& child : census.children)
        lines.push_back("child " + std::to_string(child.pid) + " " + child.name + " (" + std::string(1, child.state) + ")");
    if (withFiles)
        for (const auto& file : census.files) lines.push_back("file " + file);
    return lines;
}

} // namespace devhost
