#pragma once
// The console's commands: host commands first, then the plugin's notifiers, then
// console variables. Every line runs on the console thread.
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "console/console.h"
#include "frontend/draw_state.h"
#include "sim/firewall_sim.h"
#include "sim/game_sim.h"
#include "sim/game_thread.h"
#include "services/http_service.h"
#include "plugin_host.h"

namespace devhost {

struct CommandContext {
    DevConsole& console;
    GameThread& gameThread;
    GameSim& game;
    CurlHttpService& http;
    DrawState& draw;
    PluginHost& plugins;
    std::filesystem::path startDirectory; // relative paths typed at the console start here
    std::atomic<bool>& quit;
    FirewallSim* firewall = nullptr; // the "sim firewall" commands
};

class CommandRunner {
public:
    explicit CommandRunner(CommandContext context) : ctx(context) {}

    // Runs one line; false when it failed (bad input, unknown command, refused plugin).
    bool run(const std::string& line);

private:
    bool runWords(const std::vector<std::string>& words);
    bool plugin(const std::vector<std::string>& words);
    bool bind(const std::vector<std::string>& words);
    bool http(const std::vector<std::string>& words);
    bool cvar(const std::vector<std::string>& words);
    void help();
    std::filesystem::path resolve(const std::string& path) const;

    CommandContext ctx;
    static constexpr int kMaxPressDepth = 16;
    int pressDepth = 0; // "press" inside a bound command inside a "press" ...
};

} // namespace devhost
