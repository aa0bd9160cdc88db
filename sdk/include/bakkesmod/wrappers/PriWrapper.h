#pragma once
// One player entry of an online game.
#include <optional>

#include "bakkesmod/host/services.h"
#include "bakkesmod/wrappers/UnrealStringWrapper.h"

class PriWrapper {
public:
    PriWrapper() = default; // a null entry
    explicit PriWrapper(bakkesmod::host::PlayerRecord record);

    bool IsNull() const;
    explicit operator bool() const { return !IsNull(); }
    UnrealStringWrapper GetPlayerName() const;
    bool GetbBot() const;
    bool GetbOnlySpectator() const;

private:
    std::optional<bakkesmod::host::PlayerRecord> record;
};
