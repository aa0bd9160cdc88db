#pragma once
// The reverse proxy's one worker thread: operations that wait on the network, on another
// process or on a timer run here one at a time, never on the drawing pass or the game thread.
// Being one thread it also keeps the tunnel client manager's operations from overlapping and
// gives the firewall manager a single thread for its COM apartment.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace reverse_proxy {

class Worker {
public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;

    Worker() = default;
    ~Worker(); // Stop()
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Starts the thread (again, after a Stop).
    void Start();
    // Runs task after everything posted before it. Dropped while stopped.
    void Post(Task task);
    // Runs task at when (or later), between other tasks.
    void PostAt(Clock::time_point when, Task task);
    // Tasks not yet run are dropped; the running one finishes; then the thread is joined.
    // Dropped tasks are destroyed on the calling thread.
    void Stop();

    // Waits for as long as timeout unless Stop began; false when it did.
    bool SleepFor(std::chrono::milliseconds timeout);
    bool Stopping() const { return stopping.load(); }
    // Blocks until every task posted so far ran (timers not yet due do not count); for tests
    // and for callers that need an operation's result. False on time-out or stop.
    bool WaitIdle(std::chrono::milliseconds timeout);
    // True while a task runs or waits to run.
    bool Busy() const { return pending.load() > 0; }
    bool OnWorkerThread() const { return std::this_thread::get_id() == threadId.load(); }

private:
    struct Timer {
        Clock::time_point when;
        Task task;
    };
    void Run();

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Task> tasks;
    std::vector<Timer> timers;
    std::atomic<int> pending{0};
    std::atomic<bool> stopping{false};
    std::atomic<std::thread::id> threadId{};
    std::thread thread;
};

} // namespace reverse_proxy
