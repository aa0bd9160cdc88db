// The hosting service's lists and bot descriptions, fetched into the plugin object.
#include <kestrel/build_config.h>

#include <exception>

#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "hosted/hosting_lists.h"
#include "lobby/remote_text.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace {

// Completions hold the plugin weakly: a reply arriving after the plugin is gone is dropped.
template <typename Handler>
std::function<void(int, std::string)> ToPlugin(std::weak_ptr<matchbay> self, Handler handler)
{
    return [self = std::move(self), handler](int status, std::string body) {
        if (auto plugin = self.lock()) ((*plugin).*handler)(status, body);
    };
}

void Get(const std::string& address, std::function<void(int, std::string)> done)
{
    CurlRequest request;
    request.url = address;
    HttpWrapper::SendCurlRequest(std::move(request), std::move(done));
}

// The server list host is host:port; a build configured with a full address keeps working.
std::string ServerListAddress()
{
    const std::string host = KESTREL_SERVER_LIST_HOST;
    if (host.rfind("http://", 0) == 0 || host.rfind("https://", 0) == 0) return host + "/servers";
    return "http://" + host + "/servers";
}

} // namespace

void matchbay::SendServerListRequest()
{
    Get(ServerListAddress(),
        ToPlugin(weak_from_this(), &matchbay::OnServerListResponse));
}

void matchbay::SendBotListRequest()
{
    try {
        Get(std::string(KESTREL_BOT_CATALOGUE_HOST) + "/api/botList2.json",
            ToPlugin(weak_from_this(), &matchbay::OnBotListResponse));
    } catch (const std::exception&) {
        LogLine("Failed to fetch bot options: Contact Vexlo");
    }
}

void matchbay::OnServerListResponse(int status, const std::string& body)
{
    if (status != 200) return; // nothing was published yet, so the list stays unloaded
    auto list = hosted::ParseServerList(body);
    if (!list) return;
    if (list->skipped > 0)
        Log("Skipped {} location(s) of the server list without a usable name, address and port", list->skipped);
    if (list->textsShortened > 0) LogLine(remote_text::ShortenedLine(list->textsShortened, "server list"));
    if (!list->serverLocations.empty()) hostingLists.servers.Set(std::move(*list));
}

void matchbay::OnBotListResponse(int status, const std::string& body)
{
    if (status != 200) return;
    auto list = hosted::ParseBotList(body);
    if (!list || list->names.empty()) return;
    if (list->textsShortened > 0) LogLine(remote_text::ShortenedLine(list->textsShortened, "bot list"));
    // Versions first: a frame that sees a new name finds its versions already there.
    hostingLists.botVersions.Set(std::move(list->botVersions));
    ReplaceBotNames(std::move(list->names));
}

void matchbay::FetchBotDetails(const std::string& name)
{
    const std::string address =
        std::string(KESTREL_BOT_CATALOGUE_HOST) + "/api/bots/" + hosted::PercentEncode(hosted::CleanBotName(name)) + "/bot.toml";
    LogLine(address);
    // The details shown belong to the bot asked for last: the previous bot's go at once, and an
    // answer to an earlier fetch that comes late is dropped.
    const std::uint64_t fetch = ++botDetailsFetches;
    hosted::BotDetails cleared;
    cleared.fetch = fetch;
    hostingLists.botDetails.Set(std::move(cleared));
    std::weak_ptr<matchbay> self = weak_from_this();
    Get(address, [self, fetch](int status, std::string body) {
        if (auto plugin = self.lock()) plugin->OnBotDetailsResponse(fetch, status, body);
    });
}

void matchbay::OnBotDetailsResponse(std::uint64_t fetch, int status, const std::string& body)
{
    if (status != 200) return;
    hosted::BotDetails details = hosted::ParseBotDetails(body);
    details.fetch = fetch;
    const std::size_t shortened = details.textsShortened;
    bool current = false;
    hostingLists.botDetails.Update([&](const hosted::BotDetails& shown) -> hosted::BotDetails {
        current = shown.fetch == fetch;
        if (!current) return shown;
        return std::move(details);
    });
    if (current && shortened > 0) LogLine(remote_text::ShortenedLine(shortened, "bot details"));
}
