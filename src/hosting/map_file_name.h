#pragma once
// Custom map names come from files someone else named; they go into a console command.
#include <string>

namespace hosting {

// False for a name holding '|' (the game's console runs what follows it as a second command)
// or a control character (a line break ends the command early). Spaces and the rest are fine.
bool IsLaunchableMapName(const std::string& name);

// The name as a log line may show it: control characters become '?'.
std::string PrintableMapName(const std::string& name);

} // namespace hosting
