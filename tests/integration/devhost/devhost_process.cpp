#include "devhost_process.h"

#include <fcntl.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace devhost_test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv)
{
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    // extraEnv replaces inherited variables of the same name.
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& extra : extraEnv) replaced = replaced || extra.rfind(name, 0) == 0;
        if (!replaced) envStrings.push_back(entry);
    }
    for (const auto& e : extraEnv) envStrings.push_back(e);
    std::vector<char*> env;
    for (auto& e : envStrings) env.push_back(e.data());
    env.push_back(nullptr);
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    input = in[1];
    outputFd = out[0];
    reader = std::thread([this] {
        char buffer[4096];
        for (;;) {
            ssize_t got = read(outputFd, buffer, sizeof buffer);
            if (got <= 0) break;
            std::lock_guard<std::mutex> lock(mutex);
            text.append(buffer, static_cast<size_t>(got));
            grew.notify_all();
        }
        std::lock_guard<std::mutex> lock(mutex);
        ended = true;
        grew.notify_all();
    });
}

ChildProcess::~ChildProcess()
{
    closeInput();
    if (pid > 0 && !status) wait(10s);
    if (reader.joinable()) reader.join();
    if (outputFd >= 0) close(outputFd);
}

void ChildProcess::send(const std::string& line)
{
    std::string data = line + "\n";
    if (input >= 0) [[maybe_unused]] auto written = write(input, data.data(), data.size());
}

void ChildProcess::closeInput()
{
    if (input >= 0) close(input);
    input = -1;
}

void ChildProcess::terminate()
{
    if (pid > 0 && !status) kill(pid, SIGTERM);
}

bool ChildProcess::waitFor(const std::string& wanted, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    return grew.wait_for(lock, timeout, [&] { return text.find(wanted) != std::string::npos || ended; }) &&
           text.find(wanted) != std::string::npos;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    if (pid <= 0) return std::nullopt;
    if (status) return status;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int raw = 0;
        pid_t done = waitpid(pid, &raw, WNOHANG);
        if (done == pid) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            // The child is gone but its last lines may still sit in the pipe; a caller
            // that reads output() next must see them.
            std::unique_lock<std::mutex> lock(mutex);
            grew.wait_for(lock, 2s, [&] { return ended; });
            return status;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL); // only the child this object started
            waitpid(pid, &raw, 0);
            pid = -1;
            return std::nullopt;
        }
        std::this_thread::sleep_for(20ms);
    }
}

std::string ChildProcess::output() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return text;
}

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/devhost-test-XXXXXX";
    if (char* made = mkdtemp(pattern.data())) dir = made;
}

TempDir::~TempDir()
{
    std::error_code error;
    if (!dir.empty()) std::filesystem::remove_all(dir, error);
}

int FreePort(bool udp)
{
    int fd = socket(AF_INET, udp ? SOCK_DGRAM : SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

std::vector<std::string> DevhostArgs(const TempDir& dir, std::vector<std::string> extra)
{
    std::vector<std::string> args{KESTREL_DEVHOST_PATH, "--headless", "--data-dir", (dir.path() / "data").string(),
                                  "--listen-port", std::to_string(FreePort(true))};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

ScriptRun RunScript(const TempDir& dir, const std::string& script, std::vector<std::string> extra)
{
    const auto file = dir.path() / "script.txt";
    std::ofstream(file) << script;
    extra.push_back("--script");
    extra.push_back(file.string());
    ChildProcess child(DevhostArgs(dir, extra));
    auto status = child.wait(120s);
    ScriptRun run{status, {}};
    // The reader has the last bytes once the pipe closes.
    child.waitFor("\x01never", 2s);
    run.output = child.output();
    return run;
}

std::vector<std::string> LinesStartingWith(const std::string& output, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

} // namespace devhost_test

namespace devhost_test {

std::optional<std::string> Exchange(int port, const std::string& payload) { return ExchangeWith("127.0.0.1", port, payload); }

std::optional<std::string> ExchangeWith(const std::string& ipv4, int port, const std::string& payload)
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return std::nullopt;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, ipv4.c_str(), &address.sin_addr) != 1) {
        close(fd);
        return std::nullopt;
    }
    sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    pollfd ready{fd, POLLIN, 0};
    std::optional<std::string> answer;
    if (poll(&ready, 1, 500) == 1) {
        char buffer[2048];
        ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got >= 0) answer = std::string(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return answer;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

} // namespace devhost_test
