#include "console/command_queue.h"

namespace devhost {

void CommandQueue::push(std::string line)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (closed) return;
    lines.push_back(QueuedLine{std::move(line), std::nullopt});
    ready.notify_one();
}

bool CommandQueue::pushAndWait(std::string line)
{
    std::future<bool> outcome;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (closed) return false;
        QueuedLine queued{std::move(line), std::promise<bool>()};
        outcome = queued.done->get_future();
        lines.push_back(std::move(queued));
        ready.notify_one();
    }
    return outcome.get();
}

std::optional<QueuedLine> CommandQueue::pop()
{
    std::unique_lock<std::mutex> lock(mutex);
    ready.wait(lock, [this] { return closed || !lines.empty(); });
    if (closed) return std::nullopt;
    QueuedLine line = std::move(lines.front());
    lines.pop_front();
    return line;
}

void CommandQueue::close()
{
    std::deque<QueuedLine> left;
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
        left.swap(lines);
        ready.notify_all();
    }
    for (auto& line : left) {
        if (line.done) line.done->set_value(false);
    }
}

} // namespace devhost
