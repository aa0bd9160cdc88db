#pragma once
// Client of the community lobby service.
#include <functional>
#include <string>

#include "lobby/responses.h"

namespace rllobby_api {

class RLLobbyApi {
public:
    explicit RLLobbyApi(std::string baseAddress) : baseAddress(std::move(baseAddress)) {}

    const std::string& BaseAddress() const { return baseAddress; }

    // GET "<base address>/lobby"; the base address is used exactly as configured.
    void GetAllLobbies(std::function<void(const responses::GetAllLobbiesResponse&)> onSuccess,
                       std::function<void(std::string)> onError) const;

private:
    const std::string baseAddress;
};

} // namespace rllobby_api
