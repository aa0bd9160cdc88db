#include "catalogue/maps.h"

#include <iterator>

// Keys keep the game's own mixed case ("NeoTokyo_Toon_p", "beach_P"): the game looks packages up by these names.
const std::map<std::string, std::string> MapTable{
    {"ARC_Darc_P", "Starbase ARC (Aftermath)"},
    {"ARC_P", "ARCtagon"},
    {"CHN_Stadium_Day_P", "Forbidden Temple (Day)"},
    {"CHN_Stadium_P", "Forbidden Temple"},
    {"EuroStadium_Night_P", "Mannfield (Night)"},
    {"EuroStadium_P", "Mannfield"},
    {"EuroStadium_Rainy_P", "Mannfield (Stormy)"},
    {"Farm_Night_P", "Farmstead (Night)"},
    {"Haunted_TrainStation_P", "Urban Central (Haunted)"},
    {"HoopsStadium_P", "Dunk House"},
    {"Labs_Basin_P", "Basin"},
    {"Labs_CirclePillars_P", "Pillars"},
    {"Labs_Corridor_P", "Corridor"},
    {"Labs_Cosmic_P", "Cosmic (Old)"},
    {"Labs_Cosmic_V4_P", "Cosmic (New)"},
    {"Labs_DoubleGoal_P", "Double Goal (Old)"},
    {"Labs_DoubleGoal_V2_P", "Double Goal (New)"},
    {"Labs_Galleon_Mast_P", "Galleon Retro"},
    {"Labs_Galleon_P", "Galleon"},
    {"Labs_Holyfield_P", "Loophole"},
    {"Labs_Octagon_02_P", "Octagon (New)"},
    {"Labs_Octagon_P", "Octagon (Old)"},
    {"Labs_PillarGlass_P", "Hourglass"},
    {"Labs_PillarHeat_P", "Barricade"},
    {"Labs_PillarWings_P", "Colossus"},
    {"Labs_Underpass_P", "Underpass"},
    {"Labs_Utopia_P", "Utopia Retro"},
    {"NeoTokyo_P", "Tokyo Underpass"},
    {"NeoTokyo_Standard_P", "Neo Tokyo"},
    {"NeoTokyo_Toon_p", "Neo Tokyo (Comic)"},
    {"Park_Night_P", "Beckwith Park (Midnight)"},
    {"Park_P", "Beckwith Park"},
    {"Park_Rainy_P", "Beckwith Park (Stormy)"},
    {"Park_Snowy_P", "Beckwith Park (Snowy)"},
    {"ShatterShot_P", "Core 707"},
    {"Stadium_Foggy_P", "DFH Stadium (Stormy)"},
    {"Stadium_P", "DFH Stadium"},
    {"Stadium_Race_Day_p", "DFH Stadium (Circuit)"},
    {"Stadium_Winter_P", "DFH Stadium (Snowy)"},
    {"TrainStation_Dawn_P", "Urban Central (Dawn)"},
    {"TrainStation_Night_P", "Urban Central (Night)"},
    {"TrainStation_P", "Urban Central"},
    {"Underwater_P", "AquaDome"},
    {"UtopiaStadium_Dusk_P", "Utopia Coliseum (Dusk)"},
    {"UtopiaStadium_P", "Utopia Coliseum"},
    {"UtopiaStadium_Snow_P", "Utopia Coliseum (Snowy)"},
    {"Wasteland_Night_P", "Badlands (Night)"},
    {"Wasteland_P", "Badlands"},
    {"arc_standard_p", "Starbase ARC"},
    {"bb_p", "Champions Field (NFL)"},
    {"beach_P", "Salty Shores"},
    {"beach_night_p", "Salty Shores (Night)"},
    {"cs_day_p", "Champions Field (Day)"},
    {"cs_hw_p", "Rivals Arena"},
    {"cs_p", "Champions Field"},
    {"eurostadium_snownight_p", "Mannfield (Snowy)"},
    {"farm_p", "Farmstead"},
    {"music_p", "Neon Fields"},
    {"outlaw_p", "Deadeye Canyon"},
    {"park_bman_p", "Beckwith Park"},
    {"stadium_day_p", "DFH Stadium (Day)"},
    {"throwbackhockey_p", "Throwback Stadium (Snowy)"},
    {"throwbackstadium_P", "Throwback Stadium"},
    {"wasteland_Night_S_P", "Wasteland (Night)"},
    {"wasteland_s_p", "Wasteland"},
};

const std::vector<std::string>& MapTableDisplayNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const auto& entry : MapTable) list.push_back(entry.second);
        return list;
    }();
    return names;
}

std::string MapTableFileName(std::int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= MapTable.size()) return {};
    return std::next(MapTable.begin(), index)->first;
}
