#include "fake_host.h"

#include "bakkesmod/host/console_words.h"

#include <stdexcept>
#include <utility>

namespace kestrel::testing {

using bakkesmod::host::CvarEntry;
using bakkesmod::host::CvarDefinition;

void FakeConsole::log(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex);
    logLines.push_back(text);
}

std::shared_ptr<CvarEntry> FakeConsole::registerCvar(const CvarDefinition& definition)
{
    std::optional<std::string> preset;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (auto it = presets.find(definition.name); it != presets.end()) preset = it->second;
    }
    return cvars.registerCvar(definition, preset ? &*preset : nullptr);
}

std::shared_ptr<CvarEntry> FakeConsole::findCvar(const std::string& name) { return cvars.find(name); }

void FakeConsole::registerNotifier(const std::string& name, bakkesmod::host::NotifierFn notifier,
                                   const std::string& description, unsigned char permissions)
{
    std::lock_guard<std::mutex> lock(mutex);
    notifiers[name] = Notifier{std::move(notifier), description, permissions};
}

void FakeConsole::setBind(const std::string& key, const std::string& command)
{
    std::lock_guard<std::mutex> lock(mutex);
    binds[key] = command;
}

void FakeConsole::executeCommand(const std::string& command, bool)
{
    std::lock_guard<std::mutex> lock(mutex);
    commands.push_back(command);
}

bool FakeConsole::type(const std::string& line)
{
    std::vector<std::string> words = bakkesmod::host::SplitWords(line).words;
    if (words.empty()) return false;
    bakkesmod::host::NotifierFn notifier;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (auto it = notifiers.find(words[0]); it != notifiers.end()) notifier = it->second.fn;
    }
    if (notifier) {
        notifier(words);
        return true;
    }
    if (auto cvar = cvars.find(words[0])) {
        if (words.size() > 1) cvar->setValue(words[1]);
        return true;
    }
    return false;
}

std::vector<std::string> FakeConsole::lines() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return logLines;
}

void FakeConsole::clearLines()
{
    std::lock_guard<std::mutex> lock(mutex);
    logLines.clear();
}

std::vector<std::string> FakeConsole::executedCommands() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return commands;
}

std::optional<std::string> FakeConsole::bind(const std::string& key) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = binds.find(key);
    return it == binds.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::optional<std::string> FakeConsole::notifierDescription(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = notifiers.find(name);
    return it == notifiers.end() ? std::nullopt : std::optional<std::string>(it->second.description);
}

std::optional<unsigned char> FakeConsole::notifierPermissions(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = notifiers.find(name);
    return it == notifiers.end() ? std::nullopt : std::optional<unsigned char>(it->second.permissions);
}

std::optional<CvarDefinition> FakeConsole::cvarDefinition(const std::string& name) const
{
    auto entry = cvars.find(name);
    return entry ? std::optional<CvarDefinition>(entry->definition()) : std::nullopt;
}

std::vector<std::pair<std::string, std::string>> FakeConsole::cvarValues() const
{
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto& entry : cvars.all()) values.emplace_back(entry->definition().name, entry->value());
    return values;
}

void FakeConsole::presetCvar(const std::string& name, const std::string& value)
{
    std::lock_guard<std::mutex> lock(mutex);
    presets[name] = value;
}

void FakeMatchmaking::createPrivateMatch(Region region, int playlist, const CustomMatchSettings& settings)
{
    std::lock_guard<std::mutex> lock(mutex);
    recorded.push_back(PrivateMatchCall{region, playlist, settings});
}

std::vector<PrivateMatchCall> FakeMatchmaking::calls() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return recorded;
}

void FakePlayerController::serverSay(const std::string& text, unsigned char chatChannel, bool preset)
{
    std::lock_guard<std::mutex> lock(mutex);
    lines.push_back(ChatLine{text, chatChannel, preset});
}

std::vector<ChatLine> FakePlayerController::said() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
}

void FakeGame::execute(std::function<void(GameWrapper*)> fn, GameWrapper* wrapper)
{
    std::lock_guard<std::mutex> lock(mutex);
    posted.emplace_back(std::move(fn), wrapper);
}

void FakeGame::executeUnrealCommand(const std::string& command)
{
    std::lock_guard<std::mutex> lock(mutex);
    commands.push_back(command);
}

bakkesmod::host::MatchmakingService* FakeGame::matchmaking()
{
    std::lock_guard<std::mutex> lock(mutex);
    return matchmakingAvailable ? &matchmakingService : nullptr;
}

bakkesmod::host::PlayerControllerService* FakeGame::playerController()
{
    std::lock_guard<std::mutex> lock(mutex);
    return controllerAvailable ? &controllerService : nullptr;
}

std::optional<std::vector<bakkesmod::host::PlayerRecord>> FakeGame::onlineGamePlayers()
{
    std::lock_guard<std::mutex> lock(mutex);
    return players;
}

int FakeGame::runPosted()
{
    int ran = 0;
    for (;;) {
        std::pair<std::function<void(GameWrapper*)>, GameWrapper*> task;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (posted.empty()) return ran;
            task = std::move(posted.front());
            posted.pop_front();
        }
        task.first(task.second);
        ++ran;
    }
}

size_t FakeGame::postedCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return posted.size();
}

std::vector<std::string> FakeGame::unrealCommands() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return commands;
}

void FakeGame::setMatchmakingAvailable(bool available)
{
    std::lock_guard<std::mutex> lock(mutex);
    matchmakingAvailable = available;
}

void FakeGame::setPlayerControllerAvailable(bool available)
{
    std::lock_guard<std::mutex> lock(mutex);
    controllerAvailable = available;
}

void FakeGame::setOnlineGame(std::optional<std::vector<bakkesmod::host::PlayerRecord>> newPlayers)
{
    std::lock_guard<std::mutex> lock(mutex);
    players = std::move(newPlayers);
}

FakeHttp::~FakeHttp() { waitForAnswers(); }

void FakeHttp::send(const CurlRequest& request, bool json, bakkesmod::host::HttpDoneFn done)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        captured.push_back(CapturedRequest{request, json});
        completions.push_back(std::move(done));
    }
    sent.notify_all();
}

std::vector<CapturedRequest> FakeHttp::requests() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return captured;
}

bool FakeHttp::waitForRequests(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    return sent.wait_for(lock, timeout, [&] { return captured.size() >= count; });
}

bakkesmod::host::HttpDoneFn FakeHttp::take(size_t index)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (index >= completions.size()) throw std::out_of_range("no HTTP request with that number");
    if (!completions[index]) throw std::logic_error("HTTP request answered twice");
    return std::exchange(completions[index], nullptr);
}

void FakeHttp::respond(size_t index, int code, std::string body)
{
    auto done = take(index);
    done(code, std::move(body));
}

void FakeHttp::respondFromThread(size_t index, int code, std::string body)
{
    auto done = take(index);
    std::lock_guard<std::mutex> lock(mutex);
    answerThreads.emplace_back([done = std::move(done), code, body = std::move(body)]() mutable { done(code, std::move(body)); });
}

void FakeHttp::waitForAnswers()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(mutex);
        threads.swap(answerThreads);
    }
    for (auto& thread : threads) thread.join();
}

FakeHost::FakeHost()
    : http(std::make_shared<FakeHttp>()),
      cvarManager(std::make_shared<CVarManagerWrapper>(&console)),
      gameWrapper(std::make_shared<GameWrapper>(&game))
{
    bakkesmod::host::installHttpService(http);
}

FakeHost::~FakeHost()
{
    http->waitForAnswers();
    bakkesmod::host::installHttpService(nullptr);
    // Plugin code keeps its handles (the global console handle outlives a test): cut them off
    // from the services that die here, so a later call is a no-op instead of a use after free.
    *cvarManager = CVarManagerWrapper(nullptr);
    *gameWrapper = GameWrapper(nullptr);
}

void FakeHost::attach(BakkesMod::Plugin::BakkesModPlugin& plugin)
{
    plugin.cvarManager = cvarManager;
    plugin.gameWrapper = gameWrapper;
}

} // namespace kestrel::testing
