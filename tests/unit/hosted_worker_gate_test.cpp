#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "hosted/request_state.h"

namespace {

using namespace std::chrono_literals;

TEST(WorkerGate, FinishedWorkersAreJoinedNotLeftBehind)
{
    hosted::WorkerGate gate;
    for (int i = 0; i < 5; ++i) gate.Run([] {});
    ASSERT_TRUE(gate.Tracker()->WaitIdle(5s));
    // The next start joins the five that are done: their threads are not kept until the end.
    gate.Run([] {});
    EXPECT_EQ(gate.Unjoined(), 1u);
}

TEST(WorkerGate, CountsAWorkerBeforeItsThreadRuns)
{
    hosted::WorkerGate gate;
    std::promise<void> release;
    auto released = release.get_future().share();
    gate.Run([released] { released.wait(); });
    EXPECT_EQ(gate.Tracker()->Running(), 1);
    release.set_value();
    EXPECT_TRUE(gate.Tracker()->WaitIdle(5s));
}

TEST(WorkerGate, EndWaitsForARunningWorkerToLeave)
{
    auto left = std::make_shared<std::atomic<bool>>(false);
    {
        hosted::WorkerGate gate;
        gate.Run([left] {
            std::this_thread::sleep_for(200ms);
            *left = true;
        });
    }
    // Joined: the worker's whole run, its way out included, is over when the gate is gone.
    EXPECT_TRUE(*left);
}

TEST(WorkerGate, EndLetsGoOfAWorkerThatNeverGetsItsAnswer)
{
    auto release = std::make_shared<std::promise<void>>();
    auto released = release->get_future().share();
    const auto started = std::chrono::steady_clock::now();
    {
        hosted::WorkerGate gate;
        gate.Run([released] { released.wait(); });
    }
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, hosted::kWorkerExitWait - 50ms);
    EXPECT_LT(waited, hosted::kWorkerExitWait + 2s);
    release->set_value(); // the let-go worker ends now, touching only what it holds
    std::this_thread::sleep_for(50ms);
}

} // namespace
