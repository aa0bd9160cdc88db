#include "process_probe.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fstream>
#include <string>
#endif

namespace kestrel::testing {

bool ProcessGone(std::uint32_t pid)
{
#ifdef _WIN32
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (!process) return true;
    DWORD code = 0;
    bool gone = !GetExitCodeProcess(process, &code) || code != STILL_ACTIVE;
    CloseHandle(process);
    return gone;
#else
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!stat || !std::getline(stat, text)) return true;
    // The state follows the parenthesised command name, which may itself hold blanks.
    auto close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size()) return true;
    char state = text[close + 2];
    return state == 'Z' || state == 'X';
#endif
}

bool WaitProcessGone(std::uint32_t pid, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ProcessGone(pid)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace kestrel::testing
