#pragma once
// What a hosted-server tab shares with its request worker. The worker holds the record by
// a shared pointer, never the plugin, so a worker outliving an unload writes into a record
// nobody reads any more instead of into freed memory.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hosted/request_client.h"

namespace hosted {

// One frame's view of the result, read under the record's lock.
struct ResultView {
    std::string resultAddress;
    std::int32_t resultPort = 0;
    std::int32_t controlledPort = 0;
    bool failed = false;        // the popup shows failureText and no "Join"
    std::string failureText;
};

// A result is a server only when it names an address and a usable port: "error", a -1 with
// a reason (a map the location lacks, the body of a 400) and a port outside 1-65535 are
// failed requests.
bool IsServerResult(const RequestResult& result);
std::string FailureText(const RequestResult& result);

class HostedRequestState {
public:
    // False while a request is pending: one worker per tab at a time.
    bool BeginRequest();
    void FinishRequest(const RequestResult& result);

    bool RequestPending() const;
    bool ServerActive() const;
    bool TakeShowServerDetails();
    bool TakeSelectMainTab();
    ResultView View() const;

    std::vector<std::string> playerNames; // drawing pass only

private:
    mutable std::mutex mutex;
    bool requestPending = false;
    bool showServerDetails = false;
    bool serverActive = false;
    bool selectMainTab = false;
    std::string resultAddress;
    std::int32_t resultPort = 0;
    std::int32_t controlledPort = 0;
    bool failed = false;
    std::string failureText;
};

// Counts the plugin's running request workers so the plugin's end can wait, briefly, for
// them to leave the library's code.
class WorkerTracker {
public:
    // Held by a worker for as long as it runs.
    class Ticket {
    public:
        explicit Ticket(std::shared_ptr<WorkerTracker> tracker);
        ~Ticket();
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;

    private:
        std::shared_ptr<WorkerTracker> tracker;
    };
    // Waits until no worker runs or the time-out passes; true when none runs.
    bool WaitIdle(std::chrono::milliseconds timeout);
    int Running() const;

private:
    mutable std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
};

inline constexpr std::chrono::milliseconds kWorkerExitWait{2000};

// The plugin's side of the tracker: its end waits at most kWorkerExitWait for the workers,
// which by then only write into their own shared records.
class WorkerGate {
public:
    ~WorkerGate() { tracker->WaitIdle(kWorkerExitWait); }
    std::shared_ptr<WorkerTracker> Tracker() const { return tracker; }

private:
    std::shared_ptr<WorkerTracker> tracker = std::make_shared<WorkerTracker>();
};

} // namespace hosted
