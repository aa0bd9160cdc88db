#include "hosting/tab_state.h"

namespace hosting {

LanHostTabState& LanHostTab()
{
    static LanHostTabState state;
    return state;
}

RocketLeagueTabState& RocketLeagueTab()
{
    static RocketLeagueTabState state;
    return state;
}

} // namespace hosting
