// Any body the hosting service may send: the server list, the bot list, a bot description
// and a server request reply. Lists are whole or absent, and a reply is a server only with
// a usable port.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hosted/hosting_lists.h"
#include "hosted/request_client.h"
#include "hosted/request_state.h"

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

void CheckResult(const hosted::RequestResult& result)
{
    if (hosted::IsServerResult(result)) {
        Require(result.second >= 1 && result.second <= 65535);
        Require(result.first != "error");
    } else {
        Require(!hosted::FailureText(result).empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    if (auto servers = hosted::ParseServerList(body)) {
        Require(!servers->serverLocations.empty());
        Require(servers->serverLocations.size() == servers->serverEndpoints.size());
        for (const auto& endpoint : servers->serverEndpoints) Require(endpoint.find(':') != std::string::npos);
    }
    if (auto bots = hosted::ParseBotList(body)) {
        for (const auto& [name, versions] : bots->botVersions) {
            bool listed = false;
            for (const auto& bot : bots->names) listed |= bot == name;
            Require(listed);
        }
    }
    hosted::ApplyBotDetails({}, body);
    const std::string encoded = hosted::PercentEncode(hosted::CleanBotName(body));
    Require(encoded.find_first_of("/?&#= ,") == std::string::npos);
    for (int status : {200, 400, 500}) {
        CheckResult(hosted::InterpretKestrelReply(status, body));
        CheckResult(hosted::InterpretBotReply(status, body));
    }
    return 0;
}
