#pragma once
// What the host process holds right now: its threads, open files and child processes, read
// from /proc. An unload that leaves a thread, a descriptor or a child behind shows up here.
#include <string>
#include <sys/types.h>
#include <vector>

namespace devhost {

struct ChildEntry {
    pid_t pid = 0;
    std::string name;  // the kernel's short command name
    char state = '?';  // R, S, D, Z (ended but not yet reaped), ...
};

struct ProcessCensus {
    int threads = 0;
    int openFiles = 0;
    std::vector<ChildEntry> children;
    std::vector<std::string> files; // what each descriptor points at: "3 -> socket:[1234]"
};

ProcessCensus TakeProcessCensus();
// "threads N, open files M, child processes K" and one "child PID NAME (STATE)" per child;
// withFiles adds one "file ..." line per descriptor.
std::vector<std::string> DescribeProcessCensus(const ProcessCensus& census, bool withFiles = false);

} // namespace devhost
