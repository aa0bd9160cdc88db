#pragma once
// The one request that asks a hosting location to start a game server. Both calls block
// until the host delivers the reply, so only request workers call them.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hosted {

// (address, port) on success; (reason, -1) on failure, the reason being "error",
// "Invalid Server Map" or the body of a 400 reply.
using RequestResult = std::pair<std::string, std::int32_t>;

inline constexpr const char* kHostedNetworkOptions = "?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen";

RequestResult requestKestrelServer(const std::string& host, const std::string& mapName, const std::string& gameMode,
                                   const std::string& mutators, const std::string& networkOptions);
RequestResult requestServer(const std::string& host, const std::vector<std::string>& blueBots,
                            const std::vector<std::string>& orangeBots, const char* mapName);

// The reply rules of the two calls, apart from the waiting. The texts they give back are cleaned
// for showing (remote_text): the body of a 400 as free text, an address on one line; an address
// longer than a host name can be makes the reply "error".
RequestResult InterpretKestrelReply(int status, const std::string& body);
RequestResult InterpretBotReply(int status, const std::string& body);
// "<prefix>" + each entry up to its first space, comma-separated; the remote-sourced names
// are percent-encoded.
std::string BotParameter(const std::string& prefix, const std::vector<std::string>& bots);

} // namespace hosted
