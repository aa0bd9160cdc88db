#pragma once
// A child process with its standard input and output on pipes: the tests drive the
// development host (and the demo services) through it, as a person at the console would.
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../../support/icmp_capability.h"

namespace devhost_test {

using namespace std::chrono_literals;

class ChildProcess {
public:
    // Standard error goes to the same pipe as standard output. extraEnv: "NAME=value".
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid > 0; }
    void send(const std::string& line);
    void closeInput();
    // SIGTERM to this child (by its PID).
    void terminate();
    // Waits until the output contains text; false after the time-out or when the child
    // ended without printing it.
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout = 20s);
    // The exit status, or nullopt when the child had to be killed after the time-out.
    std::optional<int> wait(std::chrono::milliseconds timeout = 60s);
    std::string output() const;

private:
    pid_t pid = -1;
    int input = -1;
    int outputFd = -1;
    std::thread reader;
    mutable std::mutex mutex;
    std::condition_variable grew;
    std::string text;
    bool ended = false;
    std::optional<int> status;
};

// A fresh folder under the system's temporary folder, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return dir; }

private:
    std::filesystem::path dir;
};

// A port that was free a moment ago (bound and released).
int FreePort(bool udp);

// Whether this machine lets a process send ICMP echoes: only then do the proxies get latencies.
using kestrel::testing::CanProbe;

std::vector<std::string> DevhostArgs(const TempDir& dir, std::vector<std::string> extra = {});
// Runs a headless devhost on a script and returns its output and exit status.
struct ScriptRun {
    std::optional<int> status;
    std::string output;
};
ScriptRun RunScript(const TempDir& dir, const std::string& script, std::vector<std::string> extra = {});

// Lines of the output that start with prefix.
// Sends one datagram to 127.0.0.1:port; the answer, or nullopt after half a second.
std::optional<std::string> Exchange(int port, const std::string& payload);
// The same to another loopback address, such as a second demo proxy's 127.0.0.2.
std::optional<std::string> ExchangeWith(const std::string& ipv4, int port, const std::string& payload);

std::vector<std::string> LinesStartingWith(const std::string& output, const std::string& prefix);

// How many times part occurs in text, not overlapping.
size_t Count(const std::string& text, const std::string& part);

} // namespace devhost_test
