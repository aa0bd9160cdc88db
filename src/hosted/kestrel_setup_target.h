#pragma once
// The Kestrel tab as a place a setup is read from and put into: installed custom maps only.
#include "catalogue/match_setup.h"
#include "hosted/tab_state.h"

namespace hosted {

class KestrelSetupTarget : public catalogue::SetupTarget {
public:
    explicit KestrelSetupTarget(KestrelTabState& tab) : tab(tab) {}
    std::int32_t& GameModeIndex() override { return tab.selectedGameMode; }
    std::optional<catalogue::MapChoice> CurrentMap() const override;
    std::optional<std::string> SelectMap(const catalogue::MapChoice& map) override;

private:
    KestrelTabState& tab;
};

} // namespace hosted
