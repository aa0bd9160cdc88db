#pragma once
// A hidden child process whose output is read line by line, inside a group that ends every
// child when the group object goes (and, on Linux, when the host process dies).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Windows: a job object with kill-on-close. Linux: the children's process groups, killed by
// the destructor.
class ProcessGroup {
public:
    // nullptr, with error set (Win32 error code or errno), when the system refuses.
    static std::unique_ptr<ProcessGroup> Create(int& error);
    ~ProcessGroup();
    ProcessGroup(const ProcessGroup&) = delete;
    ProcessGroup& operator=(const ProcessGroup&) = delete;

    struct Impl;
    // Shared with the children's readers, which may outlive the group object.
    std::shared_ptr<Impl> impl;

private:
    ProcessGroup() = default;
};

struct ProcessCallbacks {
    std::function<void(const std::string& line)> onLine; // stdout and stderr, without the line break
    std::function<void(int exitCode)> onExit;             // only when the child ended on its own
};

// The command line the way Windows reads it: the program always quoted, an argument quoted
// when it holds anything but letters, digits and "-_=", with backslashes before quotes doubled.
std::string CommandLine(const std::filesystem::path& program, const std::vector<std::string>& args);

class ChildProcess {
public:
    // Starts program with args, hidden, inheriting nothing but its output pipe; put into group
    // when one is given. nullptr, with error set (Win32 error code or errno), when it cannot
    // start. The callbacks run on the child's reader thread; they must not destroy the child.
    static std::unique_ptr<ChildProcess> Start(const std::filesystem::path& program, const std::vector<std::string>& args,
                                               ProcessGroup* group, ProcessCallbacks callbacks, int& error);
    // Ends a child that still runs and waits for its reader (and so for a running callback).
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool IsRunning() const;
    std::uint32_t ProcessId() const;
    // Ends the child (and, on Linux, its process group) at once; onExit is not called for it.
    // false when the system refused, or the child had already ended.
    bool Terminate();
    // Waits until the child has ended and its output is read; false on time-out.
    bool Wait(int timeoutMs);

    struct Impl;

private:
    explicit ChildProcess(Impl* impl) : impl(impl) {}
    Impl* impl;
};

} // namespace platform
