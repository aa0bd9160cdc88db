#include "reverseproxy/worker.h"

#include <algorithm>

namespace reverse_proxy {

Worker::~Worker() { Stop(); }

void Worker::Start()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (thread.joinable()) {
        return; // running, or stopped from its own thread and not joined
    }
    stopping = false;
    thread = std::thread([this] { Run(); });
}

void Worker::Post(Task task)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) {
            return;
        }
        tasks.push_back(std::move(task));
        ++pending;
    }
    wake.notify_all();
}

void Worker::PostAt(Clock::time_point when, Task task)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) {
            return;
        }
        timers.push_back(Timer{when, std::move(task)});
    }
    wake.notify_all();
}

void Worker::Stop()
{
    std::deque<Task> dropped;
    std::vector<Timer> droppedTimers;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        dropped.swap(tasks);
        droppedTimers.swap(timers);
        pending -= static_cast<int>(dropped.size());
    }
    wake.notify_all();
    idle.notify_all();
    if (thread.joinable() && !OnWorkerThread()) {
        thread.join();
    }
}

bool Worker::SleepFor(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    return !wake.wait_for(lock, timeout, [this] { return stopping.load(); });
}

bool Worker::WaitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    return idle.wait_for(lock, timeout, [this] { return stopping.load() || pending.load() == 0; }) && !stopping;
}

void Worker::Run()
{
    threadId = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        const auto now = Clock::now();
        auto due = std::min_element(timers.begin(), timers.end(),
                                    [](const Timer& a, const Timer& b) { return a.when < b.when; });
        if (due != timers.end() && due->when <= now) {
            Task task = std::move(due->task);
            timers.erase(due);
            ++pending;
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
            --pending;
        } else if (!tasks.empty()) {
            Task task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
            --pending;
        } else if (due != timers.end()) {
            idle.notify_all();
            const auto when = due->when;
            wake.wait_until(lock, when);
        } else {
            idle.notify_all();
            wake.wait(lock);
        }
        if (pending == 0) {
            idle.notify_all();
        }
    }
}

} // namespace reverse_proxy
