#pragma once
// Values a player types that end up inside a travel command's URL options ("?Password=...").
#include <string>

namespace hosting {

// False for text holding what the map-name check refuses ('|', control characters), '?' (it
// would start another URL option) or '#' (the game reads what follows it as a portal, not as
// part of the options).
bool IsSafeUrlOptionValue(const std::string& text);

} // namespace hosting
