#include "hosting/presets/setup_targets.h"

#include "catalogue/maps.h"
#include "hosting/custom_map_names.h"

namespace hosting {

namespace {

std::optional<catalogue::MapChoice> BuiltInMapAt(std::int32_t index)
{
    std::string key = MapTableFileName(index);
    if (key.empty()) return std::nullopt;
    return catalogue::MapChoice{std::move(key), false};
}

std::string NotBuiltInNote(const std::string& name)
{
    return "Map " + catalogue::QuotedName(name) + " is not a built-in map; the map stays as it was.";
}

} // namespace

std::optional<std::int32_t> InstalledCustomMapIndex(const std::string& name)
{
    if (name == noCustomMapsEntry) return std::nullopt;
    for (size_t i = 0; i < customMapNames.size(); ++i)
        if (customMapNames[i] == name) return static_cast<std::int32_t>(i);
    return std::nullopt;
}

std::string NotInstalledNote(const std::string& name)
{
    return "Custom map " + catalogue::QuotedName(name) + " is not installed; the map stays as it was.";
}

std::optional<catalogue::MapChoice> InstalledCustomMapAt(std::int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= customMapNames.size()) return std::nullopt;
    const std::string& name = customMapNames[static_cast<size_t>(index)];
    if (name == noCustomMapsEntry) return std::nullopt;
    return catalogue::MapChoice{name, true};
}

std::optional<catalogue::MapChoice> LanHostSetupTarget::CurrentMap() const
{
    return tab.useCustomMaps ? InstalledCustomMapAt(tab.selectedMap) : BuiltInMapAt(tab.selectedMap);
}

std::optional<std::string> LanHostSetupTarget::SelectMap(const catalogue::MapChoice& map)
{
    const auto index = map.custom ? InstalledCustomMapIndex(map.name) : catalogue::MapTableIndex(map.name);
    if (!index) return map.custom ? NotInstalledNote(map.name) : NotBuiltInNote(map.name);
    // Rebuilt now, not by the tab's next frame, which would select the first map again.
    tab.useCustomMaps = map.custom;
    RebuildLanMapLists(tab);
    tab.selectedMap = *index;
    return std::nullopt;
}

std::optional<catalogue::MapChoice> RocketLeagueSetupTarget::CurrentMap() const
{
    return BuiltInMapAt(tab.selectedPrivateMap);
}

std::optional<std::string> RocketLeagueSetupTarget::SelectMap(const catalogue::MapChoice& map)
{
    if (map.custom)
        return "Custom map " + catalogue::QuotedName(map.name) + " cannot be hosted as a private match; the map stays as it was.";
    const auto index = catalogue::MapTableIndex(map.name);
    if (!index) return NotBuiltInNote(map.name);
    tab.selectedPrivateMap = *index;
    return std::nullopt;
}

} // namespace hosting
