#pragma once
// Client of the community lobby service.
#include <string>

namespace rllobby_api {

class RLLobbyApi {
public:
    explicit RLLobbyApi(std::string baseAddress) : baseAddress(std::move(baseAddress)) {}

    const std::string& BaseAddress() const { return baseAddress; }

private:
    const std::string baseAddress;
};

} // namespace rllobby_api
