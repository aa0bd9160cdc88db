#include "lobby/rllobby_api.h"

#include <fmt/format.h>

#include "lobby/http_utils.h"

namespace rllobby_api {

void RLLobbyApi::GetAllLobbies(std::function<void(const responses::GetAllLobbiesResponse&)> onSuccess,
                               std::function<void(std::string)> onError) const
{
    CurlRequest request;
    request.url = fmt::format("{}/lobby", baseAddress);
    request.verb = "GET";
    http_utils::HandleRequest<responses::GetAllLobbiesResponse>(200, request, std::move(onSuccess), std::move(onError));
}

} // namespace rllobby_api
