#pragma once
// A tab's match choice in the catalogue's own words (names, not menu positions), so a saved or shared setup keeps
// its meaning when a table's order changes; and how such a setup is read from and put into a tab.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/mutators.h"

namespace catalogue {

struct MapChoice {
    std::string name;    // a MapTable key, or a custom map's name
    bool custom = false; // name is a custom map's
};

struct MatchSetup {
    std::string gameMode;         // a GameModeMenu name
    std::optional<MapChoice> map; // none: the tab had no map to choose (no custom map installed)
    // Category label -> option display name, in MutatorTable order; a category not listed is at its option 0.
    std::vector<std::pair<std::string, std::string>> mutators;
};

// The part of a tab that a setup reads and sets: its own game-mode index and map, while the mutator choice is the
// shared MutatorSelections.
class SetupTarget {
public:
    virtual ~SetupTarget() = default;
    virtual std::int32_t& GameModeIndex() = 0;
    virtual std::optional<MapChoice> CurrentMap() const = 0;
    // Chooses the map when the tab offers it; otherwise changes nothing and says why, as a sentence.
    virtual std::optional<std::string> SelectMap(const MapChoice& map) = 0;
};

// The setup a tab shows now.
MatchSetup CaptureSetup(SetupTarget& target, const MutatorSelections& selections);

// Sets the tab's mode and map and the whole mutator choice from setup. What the catalogue or the tab does not have
// keeps its current value; the returned notes name each such item, one sentence each.
std::vector<std::string> ApplySetup(const MatchSetup& setup, SetupTarget& target, MutatorSelections& selections);

// The mutator choice by names, and back. Indices outside a category count as option 0; names the catalogue does not
// know are left out and named in notes.
std::vector<std::pair<std::string, std::string>> NamedMutators(const MutatorSelections& selections);
MutatorSelections SelectionsFromNames(const std::vector<std::pair<std::string, std::string>>& mutators,
                                      std::vector<std::string>* notes = nullptr);

std::optional<std::int32_t> GameModeMenuIndex(const std::string& name);
std::optional<std::int32_t> MapTableIndex(const std::string& key);

// A name from elsewhere as a message may quote it: control characters become '?', and a long one is cut.
std::string QuotedName(const std::string& name);

} // namespace catalogue
