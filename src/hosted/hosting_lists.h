#pragma once
// The hosting service's three documents: the server list, the bot list and one bot's
// description file. Parsing is pure; the plugin publishes each result as an immutable
// snapshot so the drawing pass never sees a list half-built.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace hosted {

// Every text here comes cleaned for showing (remote_text): names, locations and versions as
// names, the bot details as free texts; textsShortened counts those that had to be cut.
struct ServerList {
    std::vector<std::string> serverLocations; // shown in the server combos
    std::vector<std::string> serverEndpoints; // ip:port, parallel to serverLocations
    std::size_t skipped = 0;        // entries left out: a key missing, not text, or no usable endpoint
    std::size_t textsShortened = 0;
};

using BotVersions = std::unordered_map<std::string, std::vector<std::string>>;

struct BotList {
    std::vector<std::string> names;
    BotVersions botVersions;
    std::size_t textsShortened = 0;
};

struct BotDetails {
    std::uint64_t fetch = 0; // the FetchBotDetails these answer; 0 before the first
    std::string botDescription;
    std::string botTags;
    std::string botDeveloper;
    std::string botFunFact;
    std::size_t textsShortened = 0;
};

// nullopt when the reply is unusable: not JSON, or not a non-empty array or object of entries.
// An entry that lacks a key, holds one that is not text, or whose ip is not a plain host name of
// at most 253 bytes or whose port is not 1-65535 in decimal is left out and counted (the endpoint
// goes into request addresses and log lines); a result without locations had no usable entry.
std::optional<ServerList> ParseServerList(const std::string& body);
// nullopt when the reply is unusable: not JSON, empty, or an object entry of the wrong shape
// (the whole reply is dropped so no list is ever half-filled).
std::optional<BotList> ParseBotList(const std::string& body);
// The details a description file gives, from empty fields. A key counts only at the start of a
// line (after blanks) and followed, after blanks, by "="; its value is the rest of the line, a
// CR ending the line left out.
BotDetails ParseBotDetails(const std::string& body);

// Removes every parenthesised part together with the white space around it.
std::string CleanBotName(const std::string& name);

// Every byte that is not an unreserved URL character (letters, digits, - _ . ~) as %XX, so
// a remote-sourced name can neither change a path nor add query parameters.
std::string PercentEncode(const std::string& text);

// One published value: readers take the pointer, writers build aside and swap it in.
template <typename T>
class Published {
public:
    Published() : value(std::make_shared<const T>()) {}
    std::shared_ptr<const T> Get() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return value;
    }
    void Set(T next)
    {
        auto built = std::make_shared<const T>(std::move(next));
        std::lock_guard<std::mutex> lock(mutex);
        value.swap(built);
    }

    // Read, change and publish as one step, for writers that start from the current value.
    template <typename Change>
    void Update(Change change)
    {
        std::lock_guard<std::mutex> lock(mutex);
        value = std::make_shared<const T>(change(*value));
    }

private:
    mutable std::mutex mutex;
    std::shared_ptr<const T> value;
};

struct HostingLists {
    Published<ServerList> servers;       // empty until a usable server list arrived
    Published<BotVersions> botVersions;  // names live in matchbay's bot name list
    Published<BotDetails> botDetails;
};

} // namespace hosted
