#pragma once
// The setup line: a whole match setup as one line of text that players paste into a chat, e.g.
//   kestrel-setup:1 mode=Soccar map=Park_P tags=BotsNone,PlayerCount8,UnlimitedTime
// Fields are separated by spaces: mode= (a game mode's name), map= (a built-in map's package name) or custom-map=
// (a custom map's name), and tags= (the GameTags text that BuildGameTags makes). In values, spaces and the
// characters a console or chat would take apart are written %XX ("Snow%20Day").
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/match_setup.h"
#include "catalogue/mutators.h"

namespace catalogue {

inline constexpr std::string_view setupLinePrefix = "kestrel-setup:";
inline constexpr std::size_t setupLineMaxLength = 2000;

std::string WriteSetupLine(const MatchSetup& setup);

struct SetupLineReading {
    std::optional<MatchSetup> setup;
    std::string refusal; // when there is no setup: why, one sentence for a status line
};

// Text from a stranger: accepted only in the form above, every field checked against the catalogue. A custom map
// need not be installed here (loading it says so), but its name must be one a map file can have.
SetupLineReading ReadSetupLine(std::string_view text);

// The mutator choice whose BuildGameTags text is exactly tags, preferring the earlier category where two give the
// same tag; none when no choice gives that text.
std::optional<MutatorSelections> SelectionsFromGameTags(std::string_view tags);

} // namespace catalogue
