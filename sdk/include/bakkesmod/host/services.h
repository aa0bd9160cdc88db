#pragma once
// What a host implements behind the wrappers. The plugin never sees these types; a host
// (the development host, or the tests' fake host) installs them.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CVarWrapper;
class GameWrapper;
struct CurlRequest;
struct CustomMatchSettings;
enum class Region : int;

namespace bakkesmod::host {

class CvarEntry;

struct CvarDefinition {
    std::string name;
    std::string defaultValue;
    std::string description;
    bool searchable = true;
    bool hasMin = false;
    float min = 0;
    bool hasMax = false;
    float max = 0;
    bool saveToCfg = true;
};

using NotifierFn = std::function<void(std::vector<std::string>)>;

class ConsoleService {
public:
    virtual ~ConsoleService() = default;
    virtual void log(const std::string& text) = 0;
    virtual std::shared_ptr<CvarEntry> registerCvar(const CvarDefinition& definition) = 0;
    // Null when no variable of that name is registered.
    virtual std::shared_ptr<CvarEntry> findCvar(const std::string& name) = 0;
    virtual void registerNotifier(const std::string& name, NotifierFn notifier, const std::string& description,
                                  unsigned char permissions) = 0;
    virtual void setBind(const std::string& key, const std::string& command) = 0;
    virtual void executeCommand(const std::string& command, bool log) = 0;
};

struct PlayerRecord {
    bool isNull = false; // an empty slot in the game's array
    std::string name;
    bool bot = false;
    bool onlySpectator = false;
};

class MatchmakingService {
public:
    virtual ~MatchmakingService() = default;
    virtual void createPrivateMatch(Region region, int playlist, const CustomMatchSettings& settings) = 0;
};

class PlayerControllerService {
public:
    virtual ~PlayerControllerService() = default;
    virtual void serverSay(const std::string& text, unsigned char chatChannel, bool preset) = 0;
};

class GameService {
public:
    virtual ~GameService() = default;
    // Queues fn to run later on the game thread, with the wrapper that posted it.
    virtual void execute(std::function<void(GameWrapper*)> fn, GameWrapper* wrapper) = 0;
    virtual void executeUnrealCommand(const std::string& command) = 0;
    // Null when the game has none at the moment.
    virtual MatchmakingService* matchmaking() = 0;
    virtual PlayerControllerService* playerController() = 0;
    // Empty outside an online game.
    virtual std::optional<std::vector<PlayerRecord>> onlineGamePlayers() = 0;
};

// Status passed to an HTTP completion when no HTTP answer came (refused, timed out,
// name not resolved, no HTTP service installed). Real statuses are 100..599.
// Without any installed HTTP service there is no host thread to answer on: the
// completion then runs at once, on the caller's thread.
constexpr int kHttpTransportFailure = -1;

using HttpDoneFn = std::function<void(int code, std::string body)>;

class HttpService {
public:
    virtual ~HttpService() = default;
    // Exactly one call of done per request, on a thread that is neither the game thread
    // nor the drawing pass. With json set the request carries JSON content-type and accept headers.
    virtual void send(const CurlRequest& request, bool json, HttpDoneFn done) = 0;
};

struct LoadedImage {
    void* texture = nullptr;
    float width = 0;
    float height = 0;
};

class ImageService {
public:
    virtual ~ImageService() = default;
    virtual std::optional<LoadedImage> load(const std::string& path) = 0;
};

// Process-wide services: shared by every plugin the host loads (the SDK is one shared
// library, so host and plugins see the same registry).
void installHttpService(std::shared_ptr<HttpService> service);
void installImageService(std::shared_ptr<ImageService> service);
std::shared_ptr<HttpService> httpService();
std::shared_ptr<ImageService> imageService();

} // namespace bakkesmod::host
