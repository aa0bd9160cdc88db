#pragma once
// What a hosted-server tab shares with its request worker. The worker holds the record by
// a shared pointer, never the plugin, so a worker outliving an unload writes into a record
// nobody reads any more instead of into freed memory.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hosted/request_client.h"

namespace hosted {

// One frame's view of the result, read under the record's lock.
struct ResultView {
    std::string resultAddress;
    std::int32_t resultPort = 0;
    std::int32_t controlledPort = 0;
    std::string controlledEndpoint; // the location the server was requested from; empty before the first
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
    // False while a request is pending: one worker per tab at a time. endpoint is the location the
    // request goes to: a server it gives is controlled there, whatever the tab selects later.
    bool BeginRequest(std::string endpoint);
    void FinishRequest(const RequestResult& result);

    bool RequestPending() const;
    bool ServerActive() const;
    bool TakeShowServerDetails();
    // The same for a frame that drew the tab with serverActiveDrawn. A request that finished
    // while that frame was drawn, and so changed the tab's layout under it, keeps its popup for
    // the next frame: opened under the old layout, the popup would be lost with it.
    bool TakeShowServerDetails(bool serverActiveDrawn);
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
    std::string pendingEndpoint;
    std::string controlledEndpoint;
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

// The plugin's side of the tracker: runs the request workers and, at the plugin's end, waits
// at most kWorkerExitWait for them. Workers are joined, not detached: a worker that has left
// its task still runs the library's code on its way out, which must be over before the
// library closes. One still waiting after the wait (a host that never answers) is let go; by
// then it only writes into its own shared records.
class WorkerGate {
public:
    WorkerGate() = default;
    ~WorkerGate();
    WorkerGate(const WorkerGate&) = delete;
    WorkerGate& operator=(const WorkerGate&) = delete;

    // Counts the worker as running before its thread starts, so an end right after sees it.
    void Run(std::function<void()> work);
    std::shared_ptr<WorkerTracker> Tracker() const { return tracker; }
    // Threads started and not yet joined (finished ones are joined at the next Run).
    std::size_t Unjoined() const;

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void JoinFinished(); // under mutex

    std::shared_ptr<WorkerTracker> tracker = std::make_shared<WorkerTracker>();
    mutable std::mutex mutex;
    std::vector<Worker> workers;
};

} // namespace hosted
