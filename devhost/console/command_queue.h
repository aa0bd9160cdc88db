#pragma once
// Console lines waiting for the console thread: typed lines, script lines, key binds and
// the plugin's executeCommand calls all run there, one at a time.
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <string>

namespace devhost {

struct QueuedLine {
    std::string line;
    std::optional<std::promise<bool>> done; // set when the sender waits for the outcome
};

class CommandQueue {
public:
    void push(std::string line);
    // Queues the line and returns its outcome (false when it failed or the queue closed).
    bool pushAndWait(std::string line);
    // Blocks until a line is there; nullopt once closed.
    std::optional<QueuedLine> pop();
    // Stops handing out lines; waiting senders get false.
    void close();

private:
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<QueuedLine> lines;
    bool closed = false;
};

} // namespace devhost
