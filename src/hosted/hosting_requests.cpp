// The hosting service's lists and bot descriptions, fetched into the plugin object.
#include <kestrel/build_config.h>

#include <exception>

#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "hosted/hosting_lists.h"
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
    if (auto list = hosted::ParseServerList(body)) hostingLists.servers.Set(std::move(*list));
}

void matchbay::OnBotListResponse(int status, const std::string& body)
{
    if (status != 200) return;
    auto list = hosted::ParseBotList(body);
    if (!list || list->names.empty()) return;
    // Versions first: a frame that sees a new name finds its versions already there.
    hostingLists.botVersions.Set(std::move(list->botVersions));
    ReplaceBotNames(std::move(list->names));
}

void matchbay::FetchBotDetails(const std::string& name)
{
    const std::string address =
        std::string(KESTREL_BOT_CATALOGUE_HOST) + "/api/bots/" + hosted::PercentEncode(hosted::CleanBotName(name)) + "/bot.toml";
    LogLine(address);
    Get(address, ToPlugin(weak_from_this(), &matchbay::OnBotDetailsResponse));
}

void matchbay::OnBotDetailsResponse(int status, const std::string& body)
{
    if (status != 200) return;
    hostingLists.botDetails.Update([&](const hosted::BotDetails& previous) { return hosted::ApplyBotDetails(previous, body); });
}
