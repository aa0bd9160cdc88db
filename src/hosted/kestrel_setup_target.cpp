#include "hosted/kestrel_setup_target.h"

#include "hosting/presets/setup_targets.h"

namespace hosted {

std::optional<catalogue::MapChoice> KestrelSetupTarget::CurrentMap() const
{
    return hosting::InstalledCustomMapAt(tab.selectedMap);
}

std::optional<std::string> KestrelSetupTarget::SelectMap(const catalogue::MapChoice& map)
{
    if (!map.custom)
        return "Map " + catalogue::QuotedName(map.name) + " is a built-in map, and hosted servers offer custom maps only; "
               "the map stays as it was.";
    const auto index = hosting::InstalledCustomMapIndex(map.name);
    if (!index) return hosting::NotInstalledNote(map.name);
    tab.selectedMap = *index;
    return std::nullopt;
}

} // namespace hosted
