#pragma once
// The online game the player is in; null outside one.
#include <optional>
#include <vector>

#include "bakkesmod/wrappers/ArrayWrapper.h"
#include "bakkesmod/wrappers/PriWrapper.h"

class ServerWrapper {
public:
    ServerWrapper() = default;
    explicit ServerWrapper(std::vector<bakkesmod::host::PlayerRecord> players);

    bool IsNull() const { return !players.has_value(); }
    explicit operator bool() const { return !IsNull(); }
    ArrayWrapper<PriWrapper> GetPRIs() const;

private:
    std::optional<std::vector<bakkesmod::host::PlayerRecord>> players;
};
