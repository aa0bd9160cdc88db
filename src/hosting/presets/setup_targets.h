#pragma once
// The Host Lan and Rocket League tabs as places a setup is read from and put into.
#include "catalogue/match_setup.h"
#include "hosting/tab_state.h"

namespace hosting {

// Built-in maps, or installed custom maps (the "Custom maps" box follows the setup's map).
class LanHostSetupTarget : public catalogue::SetupTarget {
public:
    explicit LanHostSetupTarget(LanHostTabState& tab) : tab(tab) {}
    std::int32_t& GameModeIndex() override { return tab.selectedGameMode; }
    std::optional<catalogue::MapChoice> CurrentMap() const override;
    std::optional<std::string> SelectMap(const catalogue::MapChoice& map) override;

private:
    LanHostTabState& tab;
};

// Built-in maps only.
class RocketLeagueSetupTarget : public catalogue::SetupTarget {
public:
    explicit RocketLeagueSetupTarget(RocketLeagueTabState& tab) : tab(tab) {}
    std::int32_t& GameModeIndex() override { return tab.selectedPrivateGameMode; }
    std::optional<catalogue::MapChoice> CurrentMap() const override;
    std::optional<std::string> SelectMap(const catalogue::MapChoice& map) override;

private:
    RocketLeagueTabState& tab;
};

// Shared by the tabs that offer custom maps: the position of an installed custom map, or the note saying it is not.
std::optional<std::int32_t> InstalledCustomMapIndex(const std::string& name);
std::string NotInstalledNote(const std::string& name);
// The custom map at a selector's index; none for the "No custom maps" entry or an index outside the list.
std::optional<catalogue::MapChoice> InstalledCustomMapAt(std::int32_t index);

} // namespace hosting
