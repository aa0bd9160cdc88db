#pragma once
// Feeds console lines from standard input or a script file to the console thread, one
// at a time (the next line waits for the previous one to finish), then asks to quit.
#include <atomic>
#include <filesystem>
#include <optional>
#include <thread>

#include "console/command_queue.h"

namespace devhost {

class InputReader {
public:
    // script: read this file and echo its lines; otherwise standard input.
    InputReader(CommandQueue& commands, std::optional<std::filesystem::path> script);
    ~InputReader();

    void start();
    // Lines refused from now on are not counted as failures.
    void requestStop() { stopping = true; }
    // Ends the reading thread even while standard input has nothing to read.
    void stop();
    int failures() const { return failed.load(); }

private:
    void readScript();
    void readStdin();
    bool feed(const std::string& line);

    CommandQueue& commands;
    std::optional<std::filesystem::path> script;
    std::atomic<bool> stopping{false};
    std::atomic<int> failed{0};
    std::thread thread;
};

} // namespace devhost
