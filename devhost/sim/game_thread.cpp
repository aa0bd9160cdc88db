#include "sim/game_thread.h"

#include <exception>
#include <future>

#include "output.h"

namespace devhost {

GameThread::GameThread() : thread([this] { run(); }) {}

GameThread::~GameThread() { stop(); }

void GameThread::post(std::function<void()> fn)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (!accepting || stopping) {
        lock.unlock();
        return; // fn is destroyed here, outside the lock
    }
    tasks.push_back(std::move(fn));
    wake.notify_one();
}

void GameThread::runAndWait(std::function<void()> fn)
{
    if (onGameThread()) {
        fn();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) return;
        // Host work is queued even while plugin tasks are refused.
        tasks.push_back([&] {
            // The waiter is released even when fn throws.
            struct Release {
                std::promise<void>& done;
                ~Release() { done.set_value(); }
            } release{done};
            fn();
        });
        wake.notify_one();
    }
    finished.wait();
}

bool GameThread::onGameThread() const { return std::this_thread::get_id() == thread.get_id(); }

size_t GameThread::discardQueued()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex);
        dropped.swap(tasks);
    }
    return dropped.size();
}

void GameThread::accept(bool value)
{
    std::lock_guard<std::mutex> lock(mutex);
    accepting = value;
}

void GameThread::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        wake.notify_one();
    }
    if (thread.joinable() && !onGameThread()) thread.join();
}

void GameThread::run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || !tasks.empty(); });
            if (tasks.empty()) return;
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        try {
            task();
        } catch (const std::exception& error) {
            HostMessage(std::string("a game thread task threw: ") + error.what());
        } catch (...) {
            HostMessage("a game thread task threw an unknown exception");
        }
    }
}

} // namespace devhost
