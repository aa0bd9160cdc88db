#include "output.h"

#include <cstdio>
#include <mutex>

namespace devhost {

namespace {
std::mutex outputMutex;
}

void PrintLine(const std::string& line)
{
    std::lock_guard<std::mutex> lock(outputMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void HostMessage(const std::string& text) { PrintLine("devhost: " + text); }

} // namespace devhost
