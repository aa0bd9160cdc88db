#include "console/input_reader.h"

#include <cerrno>
#include <fstream>
#include <poll.h>
#include <string>
#include <unistd.h>

#include "output.h"

namespace devhost {

InputReader::InputReader(CommandQueue& commands, std::optional<std::filesystem::path> script)
    : commands(commands), script(std::move(script))
{
}

InputReader::~InputReader() { stop(); }

void InputReader::start()
{
    thread = std::thread([this] {
        if (script) readScript();
        else readStdin();
        if (!stopping) commands.push("quit");
    });
}

void InputReader::stop()
{
    stopping = true;
    if (thread.joinable()) thread.join();
}

bool InputReader::feed(const std::string& line)
{
    if (stopping) return false;
    // A line refused because the host is closing is not a failure of the line.
    if (!commands.pushAndWait(line) && !stopping) ++failed;
    return !stopping;
}

void InputReader::readScript()
{
    std::ifstream in(*script);
    if (!in) {
        HostMessage("cannot read the script " + script->string());
        ++failed;
        return;
    }
    std::string line;
    while (!stopping && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        PrintLine("> " + line);
        if (!feed(line)) return;
    }
}

void InputReader::readStdin()
{
    // poll with a time-out, so stop() is not stuck behind a read that never returns.
    std::string pending;
    char buffer[4096];
    while (!stopping) {
        pollfd fd{STDIN_FILENO, POLLIN, 0};
        int ready = poll(&fd, 1, 200);
        if (ready < 0 && errno != EINTR) return;
        if (ready <= 0) continue;
        ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!feed(line)) return;
        }
    }
    if (!pending.empty()) feed(pending);
}

} // namespace devhost
