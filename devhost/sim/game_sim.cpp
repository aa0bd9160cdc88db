#include "sim/game_sim.h"

#include "bakkesmod/wrappers/MatchmakingWrapper.h"
#include "output.h"
#include "console/words.h"

namespace devhost {

namespace {

using bakkesmod::host::PlayerRecord;

std::string Flag(bool value) { return value ? "true" : "false"; }

std::string DescribeTeam(const CustomMatchTeamSettings& team)
{
    return "{Name=" + QuoteWord(team.Name) + " ColorPrimary=" + std::to_string(team.ColorPrimary) +
           " ColorAccent=" + std::to_string(team.ColorAccent) + " GameScore=" + Flag(team.GameScore) + "}";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Travel commands replace the current map, and with it any listen server.
bool IsTravel(const std::string& command)
{
    std::string first = ToLower(command.substr(0, command.find(' ')));
    return first == "open" || first == "start" || first == "travel" || first == "disconnect";
}

bool ParseSwitch(const std::string& word, bool& out)
{
    if (word == "on") out = true;
    else if (word == "off") out = false;
    else return false;
    return true;
}

const char* kSimUsage = "usage: sim matchmaking on|off | sim controller on|off | sim online on|off | "
                        "sim player|bot|spectator <name> | sim emptyslot | sim listen-port <port> | sim status";

} // namespace

std::string RegionName(Region region)
{
    static const char* names[] = {"US-East",         "Europe",     "US-West",     "Asia-SE Mainland",
                                  "Asia-SE Maritime", "Asia-East", "Middle-East", "Oceania",
                                  "South Africa",    "South America"};
    int index = static_cast<int>(region);
    return index >= 0 && index < 10 ? names[index] : "unknown";
}

std::string DescribePrivateMatch(Region region, int playlist, const CustomMatchSettings& s)
{
    return "CreatePrivateMatch region=" + std::to_string(static_cast<int>(region)) + " (" + RegionName(region) +
           ") playlist=" + std::to_string(playlist) + " GameTags=" + Quoted(s.GameTags) + " MapName=" +
           Quoted(s.MapName) + " GameMode=" + std::to_string(s.GameMode) + " MaxPlayerCount=" +
           std::to_string(s.MaxPlayerCount) + " ServerName=" + Quoted(s.ServerName) + " Password=" +
           Quoted(s.Password) + " bPublic=" + Flag(s.bPublic) + " BlueTeamSettings=" +
           DescribeTeam(s.BlueTeamSettings) + " OrangeTeamSettings=" + DescribeTeam(s.OrangeTeamSettings) +
           " bClubServer=" + Flag(s.bClubServer);
}

void SimMatchmaking::createPrivateMatch(Region region, int playlist, const CustomMatchSettings& settings)
{
    PrintLine("[game] " + DescribePrivateMatch(region, playlist, settings));
}

void SimPlayerController::serverSay(const std::string& text, unsigned char chatChannel, bool preset)
{
    PrintLine("[game] chat: " + text + " (channel " + std::to_string(chatChannel) + ", preset " + Flag(preset) + ")");
}

GameSim::GameSim(GameThread& gameThread, int listenPort, std::string listenAddress, std::string playerName,
                 AllowedNetworks allowJoin)
    : gameThread(gameThread), listenPort(listenPort), listenAddress(std::move(listenAddress)),
      lanMatch(std::move(playerName), std::move(allowJoin))
{
}

GameSim::~GameSim() { closeListenServer(); }

void GameSim::execute(std::function<void(GameWrapper*)> fn, GameWrapper* wrapper)
{
    gameThread.post([fn = std::move(fn), wrapper] { fn(wrapper); });
}

void GameSim::executeUnrealCommand(const std::string& command)
{
    PrintLine("[game] " + command);
    if (!IsTravel(command)) return;
    // Outside the lock: joining waits for the game server's answer.
    onlineGame.Leave();
    lanMatch.Leave();
    if (auto address = ParseStartCommand(command)) onlineGame.Join(*address);
    openListenServer(command);
    // After this machine's own listen server is gone, as the game leaves its match first.
    if (auto lan = ParseLanJoinCommand(command)) lanMatch.Join(*lan);
}

void GameSim::openListenServer(const std::string& command)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (listenSocket.isOpen()) {
        auto answered = listenSocket.close();
        PrintLine("[game] listen server on UDP " + listenAddress + ":" + std::to_string(listenPort) + " closed after " +
                  std::to_string(answered) + " datagrams");
    }
    if (ToLower(command).find("?listen") == std::string::npos) return;
    // The server lets in only players who bring the password of the command that opened it.
    const std::string password = TravelOption(command, "password");
    lanHost.Reset(password);
    std::string error = listenSocket.open(listenAddress, listenPort, [this](std::string_view datagram, const std::string& from) {
        return lanHost.Answer(datagram, from);
    });
    if (error.empty()) {
        PrintLine("[game] listening on UDP " + listenAddress + ":" + std::to_string(listenPort) +
                  (password.empty() ? "" : " (password required)"));
    } else {
        PrintLine("[game] cannot listen on UDP " + listenAddress + ":" + std::to_string(listenPort) + ": " + error);
    }
}

void GameSim::closeListenServer()
{
    std::lock_guard<std::mutex> lock(mutex);
    listenSocket.close();
}

bakkesmod::host::MatchmakingService* GameSim::matchmaking()
{
    std::lock_guard<std::mutex> lock(mutex);
    return matchmakingOn ? &matchmakingService : nullptr;
}

bakkesmod::host::PlayerControllerService* GameSim::playerController()
{
    std::lock_guard<std::mutex> lock(mutex);
    return controllerOn ? &controllerService : nullptr;
}

std::optional<std::vector<PlayerRecord>> GameSim::onlineGamePlayers()
{
    auto joined = onlineGame.Players();
    std::lock_guard<std::mutex> lock(mutex);
    if (!joined) return players;
    // The joined server's players first, then the ones the "sim" commands added.
    if (players) joined->insert(joined->end(), players->begin(), players->end());
    return joined;
}

bool GameSim::command(const std::vector<std::string>& words)
{
    auto usage = [] {
        HostMessage(kSimUsage);
        return false;
    };
    if (words.size() < 2) return usage();
    const std::string& what = words[1];
    if (what == "status" && words.size() == 2) {
        printStatus();
        return true;
    }
    if (what == "emptyslot" && words.size() == 2) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!players) players.emplace();
        players->push_back(PlayerRecord{true, "", false, false});
        return true;
    }
    if (words.size() != 3) return usage();
    const std::string& value = words[2];
    std::lock_guard<std::mutex> lock(mutex);
    bool on = false;
    if (what == "matchmaking" && ParseSwitch(value, on)) {
        matchmakingOn = on;
    } else if (what == "controller" && ParseSwitch(value, on)) {
        controllerOn = on;
    } else if (what == "online" && ParseSwitch(value, on)) {
        if (on && !players) players.emplace();
        if (!on) players.reset();
    } else if (what == "player" || what == "bot" || what == "spectator") {
        if (!players) players.emplace();
        players->push_back(PlayerRecord{false, value, what == "bot", what == "spectator"});
    } else if (what == "listen-port") {
        auto port = ParseInteger(value, 1, 65535);
        if (!port) {
            HostMessage("sim listen-port: " + value + " is not a port number from 1 to 65535");
            return false;
        }
        listenPort = static_cast<int>(*port); // used from the next "?Listen" travel on
    } else {
        HostMessage(kSimUsage);
        return false;
    }
    return true;
}

void GameSim::printStatus()
{
    std::lock_guard<std::mutex> lock(mutex);
    HostMessage(std::string("sim: matchmaking ") + (matchmakingOn ? "on" : "off") + ", controller " +
                (controllerOn ? "on" : "off") + ", listen port " + std::to_string(listenPort) +
                (listenSocket.isOpen() ? " (listening)" : " (closed)"));
    if (auto address = onlineGame.JoinedAddress()) HostMessage("sim: joined online game at " + *address);
    if (auto address = lanMatch.JoinedAddress()) HostMessage("sim: joined LAN match at " + *address);
    if (listenSocket.isOpen()) {
        const auto joined = lanHost.Players();
        HostMessage("sim: listen server players " + std::to_string(joined.size()) + ", refused " +
                    std::to_string(lanHost.Refusals()));
        for (const auto& player : joined) HostMessage("sim:   " + player.name + " from " + player.from);
    }
    if (!players) {
        HostMessage("sim: not in an online game");
        return;
    }
    HostMessage("sim: online game with " + std::to_string(players->size()) + " entries");
    for (const auto& p : *players) {
        if (p.isNull) HostMessage("sim:   (empty slot)");
        else HostMessage("sim:   " + p.name + (p.bot ? " [bot]" : "") + (p.onlySpectator ? " [spectator]" : ""));
    }
}

} // namespace devhost
