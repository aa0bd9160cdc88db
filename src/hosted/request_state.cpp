#include "hosted/request_state.h"

#include <utility>

#include <fmt/format.h>

#include "plugin/quoted_body.h"

namespace hosted {

bool IsServerResult(const RequestResult& result)
{
    return result.first != "error" && result.second >= 1 && result.second <= 65535;
}

std::string FailureText(const RequestResult& result)
{
    if (result.first == "error" || (result.second == -1 && result.first.empty()))
        return "Failed to request server. Please try again.";
    if (result.second == -1) return "Failed to request server: " + QuotedBody(result.first);
    return fmt::format("Failed to request server: the service gave the port {}, which is not from 1 to 65535",
                       result.second);
}

bool HostedRequestState::BeginRequest(std::string endpoint)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (requestPending) return false;
    requestPending = true;
    pendingEndpoint = std::move(endpoint);
    return true;
}

void HostedRequestState::FinishRequest(const RequestResult& result)
{
    std::lock_guard<std::mutex> lock(mutex);
    resultAddress = result.first;
    resultPort = result.second;
    failed = !IsServerResult(result);
    failureText = failed ? FailureText(result) : std::string();
    requestPending = false;
    showServerDetails = true;
    if (!failed) {
        serverActive = true;
        selectMainTab = true;
        controlledPort = resultPort;
        controlledEndpoint = pendingEndpoint;
    }
}

bool HostedRequestState::RequestPending() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return requestPending;
}

bool HostedRequestState::ServerActive() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return serverActive;
}

bool HostedRequestState::TakeShowServerDetails()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(showServerDetails, false);
}

bool HostedRequestState::TakeShowServerDetails(bool serverActiveDrawn)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (serverActive != serverActiveDrawn) return false;
    return std::exchange(showServerDetails, false);
}

bool HostedRequestState::TakeSelectMainTab()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(selectMainTab, false);
}

ResultView HostedRequestState::View() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return ResultView{resultAddress, resultPort, controlledPort, controlledEndpoint, failed, failureText};
}

WorkerTracker::Ticket::Ticket(std::shared_ptr<WorkerTracker> tracker) : tracker(std::move(tracker))
{
    std::lock_guard<std::mutex> lock(this->tracker->mutex);
    ++this->tracker->running;
}

WorkerTracker::Ticket::~Ticket()
{
    std::lock_guard<std::mutex> lock(tracker->mutex);
    if (--tracker->running == 0) tracker->idle.notify_all();
}

bool WorkerTracker::WaitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    return idle.wait_for(lock, timeout, [this] { return running == 0; });
}

int WorkerTracker::Running() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return running;
}

WorkerGate::~WorkerGate()
{
    tracker->WaitIdle(kWorkerExitWait);
    std::lock_guard<std::mutex> lock(mutex);
    for (auto& worker : workers) {
        if (*worker.done) worker.thread.join();
        else worker.thread.detach();
    }
}

void WorkerGate::Run(std::function<void()> work)
{
    auto ticket = std::make_unique<WorkerTracker::Ticket>(tracker);
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard<std::mutex> lock(mutex);
    JoinFinished();
    std::thread thread([work = std::move(work), ticket = std::move(ticket), done]() mutable {
        work();
        work = nullptr;
        // Marked before the ticket goes: whoever sees no worker running finds this one joinable.
        *done = true;
        ticket.reset();
    });
    workers.push_back(Worker{std::move(thread), std::move(done)});
}

void WorkerGate::JoinFinished()
{
    for (auto it = workers.begin(); it != workers.end();) {
        if (*it->done) {
            it->thread.join();
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

std::size_t WorkerGate::Unjoined() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return workers.size();
}

} // namespace hosted
