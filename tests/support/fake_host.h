#pragma once
// An in-process host for tests: records what the plugin asks of the console, the game and
// the network, and lets the test drive notifiers, console variables, posted tasks and
// HTTP answers by hand.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bakkesmod/host/cvar_store.h"
#include "bakkesmod/host/services.h"
#include "bakkesmod/plugin/bakkesmodplugin.h"
#include "bakkesmod/wrappers/GameWrapper.h"
#include "bakkesmod/wrappers/MatchmakingWrapper.h"
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "bakkesmod/wrappers/http/HttpWrapper.h"

namespace kestrel::testing {

class FakeConsole : public bakkesmod::host::ConsoleService {
public:
    void log(const std::string& text) override;
    std::shared_ptr<bakkesmod::host::CvarEntry> registerCvar(const bakkesmod::host::CvarDefinition& definition) override;
    std::shared_ptr<bakkesmod::host::CvarEntry> findCvar(const std::string& name) override;
    void registerNotifier(const std::string& name, bakkesmod::host::NotifierFn notifier,
                          const std::string& description, unsigned char permissions) override;
    void setBind(const std::string& key, const std::string& command) override;
    void executeCommand(const std::string& command, bool log) override;

    // Runs a typed line: a notifier gets its words; "<cvar> <value>" sets a variable.
    // Returns false when nothing of that name is registered.
    bool type(const std::string& line);

    std::vector<std::string> lines() const;
    void clearLines();
    std::vector<std::string> executedCommands() const;
    std::optional<std::string> bind(const std::string& key) const;
    std::optional<std::string> notifierDescription(const std::string& name) const;
    std::optional<unsigned char> notifierPermissions(const std::string& name) const;
    std::optional<bakkesmod::host::CvarDefinition> cvarDefinition(const std::string& name) const;
    // Every registered variable's name and value: what the host would save.
    std::vector<std::pair<std::string, std::string>> cvarValues() const;
    // Values to hand out on registration, as a host reading its saved configuration would.
    void presetCvar(const std::string& name, const std::string& value);

private:
    struct Notifier {
        bakkesmod::host::NotifierFn fn;
        std::string description;
        unsigned char permissions = 0;
    };

    mutable std::mutex mutex;
    std::vector<std::string> logLines;
    std::vector<std::string> commands;
    std::map<std::string, std::string> binds;
    std::map<std::string, Notifier> notifiers;
    std::map<std::string, std::string> presets;
    bakkesmod::host::CvarStore cvars;
};

struct PrivateMatchCall {
    Region region;
    int playlist;
    CustomMatchSettings settings;
};

class FakeMatchmaking : public bakkesmod::host::MatchmakingService {
public:
    void createPrivateMatch(Region region, int playlist, const CustomMatchSettings& settings) override;
    std::vector<PrivateMatchCall> calls() const;

private:
    mutable std::mutex mutex;
    std::vector<PrivateMatchCall> recorded;
};

struct ChatLine {
    std::string text;
    unsigned char channel;
    bool preset;
};

class FakePlayerController : public bakkesmod::host::PlayerControllerService {
public:
    void serverSay(const std::string& text, unsigned char chatChannel, bool preset) override;
    std::vector<ChatLine> said() const;

private:
    mutable std::mutex mutex;
    std::vector<ChatLine> lines;
};

class FakeGame : public bakkesmod::host::GameService {
public:
    void execute(std::function<void(GameWrapper*)> fn, GameWrapper* wrapper) override;
    void executeUnrealCommand(const std::string& command) override;
    bakkesmod::host::MatchmakingService* matchmaking() override;
    bakkesmod::host::PlayerControllerService* playerController() override;
    std::optional<std::vector<bakkesmod::host::PlayerRecord>> onlineGamePlayers() override;

    // Runs the posted tasks in order, including tasks they post; returns how many ran.
    int runPosted();
    size_t postedCount() const;
    std::vector<std::string> unrealCommands() const;

    void setMatchmakingAvailable(bool available);
    void setPlayerControllerAvailable(bool available);
    // nullopt: not in an online game.
    void setOnlineGame(std::optional<std::vector<bakkesmod::host::PlayerRecord>> players);

    FakeMatchmaking matchmakingService;
    FakePlayerController controllerService;

private:
    mutable std::mutex mutex;
    std::deque<std::pair<std::function<void(GameWrapper*)>, GameWrapper*>> posted;
    std::vector<std::string> commands;
    bool matchmakingAvailable = true;
    bool controllerAvailable = true;
    std::optional<std::vector<bakkesmod::host::PlayerRecord>> players;
};

struct CapturedRequest {
    CurlRequest request;
    bool json = false;
};

class FakeHttp : public bakkesmod::host::HttpService {
public:
    ~FakeHttp() override;
    void send(const CurlRequest& request, bool json, bakkesmod::host::HttpDoneFn done) override;

    std::vector<CapturedRequest> requests() const;
    // Blocks until at least count requests were sent, or the time-out passes.
    bool waitForRequests(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Answers request number index (in sending order) on the calling thread.
    void respond(size_t index, int code, std::string body);
    // Answers it from a thread of its own, as the host's HTTP thread would; joined by
    // waitForAnswers or the destructor.
    void respondFromThread(size_t index, int code, std::string body);
    void waitForAnswers();

private:
    bakkesmod::host::HttpDoneFn take(size_t index);

    mutable std::mutex mutex;
    std::condition_variable sent;
    std::vector<CapturedRequest> captured;
    std::vector<bakkesmod::host::HttpDoneFn> completions;
    std::vector<std::thread> answerThreads;
};

// The three services wired into the handles a plugin receives. One per test.
class FakeHost {
public:
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // Fills the plugin's two handles, as a host does before onLoad.
    void attach(BakkesMod::Plugin::BakkesModPlugin& plugin);
    bool type(const std::string& line) { return console.type(line); }

    FakeConsole console;
    FakeGame game;
    std::shared_ptr<FakeHttp> http;
    std::shared_ptr<CVarManagerWrapper> cvarManager;
    std::shared_ptr<GameWrapper> gameWrapper;
};

} // namespace kestrel::testing
