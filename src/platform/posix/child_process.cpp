// Each child is forked by its own reader thread: PR_SET_PDEATHSIG fires when the forking
// thread ends, and the reader lives exactly as long as the child. The child leads a process
// group of its own, so ending it also ends what it started.
#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace platform {

struct ProcessGroup::Impl {
    std::mutex mutex;
    std::set<pid_t> groups; // leaders not yet reaped, so their group ids cannot be reused
};

std::unique_ptr<ProcessGroup> ProcessGroup::Create(int& error)
{
    error = 0;
    std::unique_ptr<ProcessGroup> group(new ProcessGroup());
    group->impl = std::make_shared<Impl>();
    return group;
}

ProcessGroup::~ProcessGroup()
{
    {
        std::lock_guard lock(impl->mutex);
        for (pid_t leader : impl->groups) killpg(leader, SIGKILL);
    }
}

struct ChildProcess::Impl {
    std::shared_ptr<ProcessGroup::Impl> group;
    ProcessCallbacks callbacks;
    std::thread reader;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool started = false;   // fork and exec have been tried
    int startError = 0;     // errno of a failed fork or exec
    pid_t pid = -1;
    bool exited = false;    // the child has ended (it may not be reaped yet)
    bool reaped = false;    // waited for; pid and group id may be reused from now on
    bool finished = false;  // output read, child reaped, callbacks done
    bool terminated = false; // ended by Terminate

    void Run(std::vector<std::string> argv);
    void Unregister(pid_t leader)
    {
        if (!group) return;
        std::lock_guard lock(group->mutex);
        group->groups.erase(leader);
    }
};

void ChildProcess::Impl::Run(std::vector<std::string> argv)
{
    std::vector<char*> args;
    for (auto& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);

    int output[2];
    int execFailure[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        std::lock_guard lock(mutex);
        startError = errno;
        started = finished = true;
        changed.notify_all();
        return;
    }
    if (pipe2(execFailure, O_CLOEXEC) != 0) {
        int saved = errno;
        close(output[0]);
        close(output[1]);
        std::lock_guard lock(mutex);
        startError = saved;
        started = finished = true;
        changed.notify_all();
        return;
    }
    pid_t parent = getpid();
    // Registered before the fork under the group's lock, so a group destroyed meanwhile
    // cannot miss the child.
    std::unique_lock groupLock = group ? std::unique_lock(group->mutex) : std::unique_lock<std::mutex>();
    pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, 0);
        dup2(output[1], 1);
        dup2(output[1], 2);
        // Nothing else of the host is inherited; the exec-failure pipe closes on exec.
        int keep = execFailure[1];
        if (close_range(3, static_cast<unsigned>(keep) - 1, 0) != 0 || close_range(keep + 1, ~0U, 0) != 0) {
            for (int fd = 3; fd < 4096; ++fd) {
                if (fd != keep) close(fd);
            }
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(args[0], args.data());
        int code = errno;
        ssize_t ignored = write(execFailure[1], &code, sizeof code);
        (void)ignored;
        _exit(127);
    }
    int forkError = child < 0 ? errno : 0;
    if (child > 0) {
        setpgid(child, child); // also from here, so a kill right after Start reaches the group
        if (group) group->groups.insert(child);
    }
    if (groupLock.owns_lock()) groupLock.unlock();
    close(output[1]);
    close(execFailure[1]);

    int execError = 0;
    if (child > 0) {
        ssize_t got;
        do {
            got = read(execFailure[0], &execError, sizeof execError);
        } while (got < 0 && errno == EINTR);
        if (got != sizeof execError) execError = 0;
    }
    close(execFailure[0]);

    if (child < 0 || execError != 0) {
        if (child > 0) {
            waitpid(child, nullptr, 0);
            Unregister(child);
        }
        close(output[0]);
        std::lock_guard lock(mutex);
        startError = child < 0 ? forkError : execError;
        started = finished = true;
        changed.notify_all();
        return;
    }
    {
        std::lock_guard lock(mutex);
        pid = child;
        started = true;
        changed.notify_all();
    }

    std::string pending;
    char buffer[4096];
    for (;;) {
        ssize_t got = read(output[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(buffer, static_cast<size_t>(got));
        size_t start = 0;
        for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = pending.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (callbacks.onLine) callbacks.onLine(line);
        }
        pending.erase(0, start);
    }
    close(output[0]);
    if (!pending.empty() && callbacks.onLine) callbacks.onLine(pending);

    // Learn that it ended without reaping it, so Terminate never signals a reused id.
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    {
        std::lock_guard lock(mutex);
        exited = true;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    Unregister(child);
    bool endedByTerminate;
    {
        std::lock_guard lock(mutex);
        reaped = true;
        endedByTerminate = terminated;
    }
    int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    if (!endedByTerminate && callbacks.onExit) callbacks.onExit(exitCode);
    std::lock_guard lock(mutex);
    finished = true;
    changed.notify_all();
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::filesystem::path& program, const std::vector<std::string>& args,
                                                  ProcessGroup* group, ProcessCallbacks callbacks, int& error)
{
    error = 0;
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto* impl = new Impl();
    if (group) impl->group = group->impl;
    impl->callbacks = std::move(callbacks);
    impl->reader = std::thread([impl, argv = std::move(argv)]() mutable { impl->Run(std::move(argv)); });
    std::unique_lock lock(impl->mutex);
    impl->changed.wait(lock, [impl] { return impl->started; });
    if (impl->startError != 0) {
        error = impl->startError;
        lock.unlock();
        impl->reader.join();
        delete impl;
        return nullptr;
    }
    lock.unlock();
    return std::unique_ptr<ChildProcess>(new ChildProcess(impl));
}

ChildProcess::~ChildProcess()
{
    Terminate();
    if (impl->reader.joinable()) impl->reader.join();
    delete impl;
}

bool ChildProcess::IsRunning() const
{
    std::lock_guard lock(impl->mutex);
    return !impl->exited;
}

std::uint32_t ChildProcess::ProcessId() const
{
    std::lock_guard lock(impl->mutex);
    return static_cast<std::uint32_t>(impl->pid);
}

bool ChildProcess::Terminate()
{
    std::lock_guard lock(impl->mutex);
    if (impl->exited) return false;
    impl->terminated = true;
    return killpg(impl->pid, SIGKILL) == 0 || kill(impl->pid, SIGKILL) == 0;
}

bool ChildProcess::Wait(int timeoutMs)
{
    std::unique_lock lock(impl->mutex);
    return impl->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return impl->finished; });
}

} // namespace platform
