// The reverse proxy worker: one task at a time, in order, timers between them, and a stop that
// neither runs what is left nor waits out a sleep.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "reverseproxy/worker.h"

namespace {

using namespace std::chrono_literals;
using reverse_proxy::Worker;

TEST(ReverseProxyWorker, RunsTasksOneAtATimeInOrderAndTimersWhenDue)
{
    Worker worker;
    worker.Start();
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<int> overlapped{0};
    auto task = [&](int n) {
        return [&, n] {
            if (++running > 1) {
                ++overlapped;
            }
            std::this_thread::sleep_for(2ms);
            {
                std::lock_guard<std::mutex> lock(mutex);
                order.push_back(n);
            }
            --running;
        };
    };
    // Due well after the five short tasks, however busy the machine is.
    worker.PostAt(Worker::Clock::now() + 500ms, task(100));
    for (int i = 0; i < 5; ++i) {
        worker.Post(task(i));
    }
    ASSERT_TRUE(worker.WaitIdle(5s));
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    }
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    for (bool ran = false; !ran && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(10ms);
        std::lock_guard<std::mutex> lock(mutex);
        ran = order.size() == 6;
    }
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(order.back(), 100);
    EXPECT_EQ(overlapped.load(), 0);
}

TEST(ReverseProxyWorker, StopInterruptsASleepAndDropsWhatIsQueued)
{
    Worker worker;
    worker.Start();
    std::atomic<bool> sleptFully{true};
    std::atomic<bool> laterRan{false};
    std::atomic<bool> sleeping{false};
    worker.Post([&] {
        sleeping = true;
        sleptFully = worker.SleepFor(30s);
    });
    worker.Post([&] { laterRan = true; });
    while (!sleeping) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(worker.Busy());
    const auto start = Worker::Clock::now();
    worker.Stop();
    EXPECT_LT(Worker::Clock::now() - start, 5s);
    EXPECT_FALSE(sleptFully.load());
    EXPECT_FALSE(laterRan.load());
    EXPECT_FALSE(worker.Busy());

    worker.Post([&] { laterRan = true; }); // dropped while stopped
    worker.Start();
    worker.Post([] {});
    ASSERT_TRUE(worker.WaitIdle(5s));
    EXPECT_FALSE(laterRan.load());
}

} // namespace
