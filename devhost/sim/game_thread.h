#pragma once
// The game thread: onLoad, onUnload, notifiers, console-variable callbacks and posted
// tasks all run here, one after another, in the order they were queued.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace devhost {

class GameThread {
public:
    GameThread();
    ~GameThread();
    GameThread(const GameThread&) = delete;
    GameThread& operator=(const GameThread&) = delete;

    // Queues fn behind everything queued before. Dropped (destroyed at once) while the
    // thread does not accept tasks.
    void post(std::function<void()> fn);
    // Queues fn and waits until it ran; runs it inline when called on the game thread.
    void runAndWait(std::function<void()> fn);
    bool onGameThread() const;

    // While a plugin goes away: queued tasks are destroyed without running (returns how
    // many) and new ones are dropped, until accept(true).
    size_t discardQueued();
    void accept(bool accepting);

    // Runs what is queued, then ends the thread.
    void stop();

private:
    void run();

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool accepting = true;
    bool stopping = false;
    std::thread thread;
};

} // namespace devhost
