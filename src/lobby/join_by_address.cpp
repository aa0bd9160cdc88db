// Joining by address: the checks, the travel command on the game thread, and the recent
// addresses kept in kz_recent_addresses.
#include "bakkesmod/wrappers/GameWrapper.h"
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "lobby/join_address.h"
#include "lobby/recent_addresses.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace {
constexpr const char* kRecentAddressesCvar = "kz_recent_addresses";
}

bool matchbay::JoinAddress(const std::string& addressText, const std::string& password)
{
    const lobby::JoinAddressCheck check = lobby::ParseJoinAddress(addressText);
    std::optional<std::string> refusal = check.target ? lobby::JoinPasswordRefusal(password) : check.refusal;
    if (refusal) {
        LogLine(*refusal);
        SetJoinAddressStatus(std::move(*refusal), true);
        return false;
    }
    const lobby::JoinTarget& target = *check.target;
    std::string command = lobby::JoinCommand(target, password);
    LogLine("Joining " + target.Text());
    SetJoinAddressStatus("Joining " + target.Text(), false);
    if (!gameWrapper) return false;
    NoteTravel(command);
    gameWrapper->Execute([command = std::move(command)](GameWrapper* game) { game->ExecuteUnrealCommand(command); });

    std::vector<std::string> recent;
    {
        std::lock_guard<std::mutex> lock(joinAddressMutex);
        recentAddresses = lobby::RememberAddress(std::move(recentAddresses), target.Text());
        recent = recentAddresses;
    }
    if (cvarManager) {
        CVarWrapper cvar = cvarManager->getCvar(kRecentAddressesCvar);
        if (!cvar.IsNull()) cvar.setValue(lobby::FormatRecentAddresses(recent));
    }
    return true;
}

void matchbay::RegisterRecentAddressesCvar()
{
    CVarWrapper cvar = cvarManager->registerCvar(kRecentAddressesCvar, "", "Addresses last joined with Join Address, newest first",
                                                 true, false, 0, false, 0, true);
    // Weak: the host keeps the callback after an unload of this object.
    cvar.addOnValueChanged([weak = weak_from_this()](std::string, CVarWrapper changed) {
        if (auto self = weak.lock()) self->OnRecentAddressesChanged(changed.getStringValue());
    });
    OnRecentAddressesChanged(cvar.getStringValue());
}

void matchbay::OnRecentAddressesChanged(const std::string& value)
{
    std::optional<std::vector<std::string>> parsed = lobby::ParseRecentAddresses(value);
    if (!parsed) {
        LogLine(std::string(kRecentAddressesCvar) + ": ignored a value that is not a list of host:port addresses");
        return;
    }
    std::lock_guard<std::mutex> lock(joinAddressMutex);
    recentAddresses = std::move(*parsed);
}

std::vector<std::string> matchbay::RecentAddressesSnapshot() const
{
    std::lock_guard<std::mutex> lock(joinAddressMutex);
    return recentAddresses;
}

matchbay::JoinStatus matchbay::JoinAddressStatus() const
{
    std::lock_guard<std::mutex> lock(joinAddressMutex);
    return joinAddressStatus;
}

void matchbay::SetJoinAddressStatus(std::string text, bool refused)
{
    std::lock_guard<std::mutex> lock(joinAddressMutex);
    joinAddressStatus = {std::move(text), refused};
}
