#include "hosted/request_client.h"

#include <cerrno>
#include <cstdlib>
#include <future>
#include <limits>
#include <memory>

#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "hosted/hosting_lists.h"
#include "lobby/lobby_address.h"
#include "lobby/remote_text.h"
#include "plugin/logging.h"

namespace hosted {

namespace {

const RequestResult kError{"error", -1};

// The writing end of the hand-over. A completion the host drops without calling still
// wakes the waiting worker, with ("error", -1), instead of leaving it blocked for good.
class OneShot {
public:
    ~OneShot()
    {
        if (!done) promise.set_value(kError);
    }
    void Set(RequestResult result)
    {
        if (done) return;
        done = true;
        promise.set_value(std::move(result));
    }
    std::future<RequestResult> Future() { return promise.get_future(); }

private:
    std::promise<RequestResult> promise;
    bool done = false;
};

RequestResult Send(const std::string& address, RequestResult (*interpret)(int, const std::string&))
{
    auto channel = std::make_shared<OneShot>();
    auto future = channel->Future();
    CurlRequest request;
    request.url = address;
    HttpWrapper::SendCurlRequest(std::move(request), [channel = std::move(channel), interpret](int status, std::string body) {
        channel->Set(interpret(status, body));
    });
    return future.get();
}

// A refusal's text goes into "Server Details" and, when it is cut, one log line.
std::string Shown(const std::string& text)
{
    bool shortened = false;
    std::string shown = remote_text::OneLine(text, remote_text::kFreeText, &shortened);
    if (shortened) LogLine(remote_text::ShortenedLine(1, "server request reply"));
    return shown;
}

// The address before the first colon and the decimal number at the start of the rest.
RequestResult SplitAddress(const std::string& body)
{
    const size_t colon = body.find(':');
    if (colon == std::string::npos) return kError;
    const std::string address = body.substr(0, colon);
    // Shown and joined, never cut: a text longer than any host name is no server's address.
    if (address.size() > lobby::kMaxHostNameBytes) return kError;
    const std::string rest = body.substr(colon + 1);
    errno = 0;
    char* end = nullptr;
    const long long port = std::strtoll(rest.c_str(), &end, 10);
    if (end == rest.c_str() || errno == ERANGE || port < std::numeric_limits<std::int32_t>::min() ||
        port > std::numeric_limits<std::int32_t>::max())
        return kError;
    return {remote_text::OneLine(address, {}), static_cast<std::int32_t>(port)};
}

} // namespace

RequestResult InterpretKestrelReply(int status, const std::string& body)
{
    if (status != 200 || body.empty()) return kError;
    if (body == "Map not on server") return {"Invalid Server Map", -1};
    if (body == "mislaunch") return kError;
    return SplitAddress(body);
}

RequestResult InterpretBotReply(int status, const std::string& body)
{
    if (status == 400) return {Shown(body), -1};
    if (status != 200 || body.empty()) return kError;
    if (body == "Map not on server" || body == "mislaunch") return kError;
    return SplitAddress(body);
}

std::string BotParameter(const std::string& prefix, const std::vector<std::string>& bots)
{
    std::string parameter = prefix;
    for (const auto& bot : bots) parameter += PercentEncode(bot.substr(0, bot.find(' '))) + ",";
    if (!parameter.empty() && parameter.back() == ',') parameter.pop_back();
    return parameter;
}

RequestResult requestKestrelServer(const std::string& host, const std::string& mapName, const std::string& gameMode,
                                   const std::string& mutators, const std::string& networkOptions)
{
    const std::string address = "http://" + host + "/?mapName=" + mapName + "&gameMode=" + gameMode +
                                "&mutators=" + mutators + "&networkOptions=" + networkOptions;
    LogLine("Requesting server with URL: " + address);
    return Send(address, &InterpretKestrelReply);
}

RequestResult requestServer(const std::string& host, const std::vector<std::string>& blueBots,
                            const std::vector<std::string>& orangeBots, const char* mapName)
{
    const std::string map = mapName ? mapName : "";
    const std::string blue = BotParameter("blueBots=", blueBots);
    const std::string orange = BotParameter("orangeBots=", orangeBots);
    LogLine("Requesting server with blue bots: " + blue + " and orange bots: " + orange + " on map: " + map);
    const std::string address = "http://" + host + "/?mapName=" + map + "&gameMode=" + "TAGame.GameInfo_Soccar_TA" +
                                "&mutators=" + "BotsNone,PlayerCount8" + "&networkOptions=" + kHostedNetworkOptions +
                                "&rlbot=yes" + "&" + blue + "&" + orange;
    return Send(address, &InterpretBotReply);
}

} // namespace hosted
