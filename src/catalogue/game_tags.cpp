#include "catalogue/game_tags.h"

#include <cstddef>

namespace catalogue {

std::string BuildGameTags(const MutatorSelections& selections) {
    std::string tags = "BotsNone,PlayerCount8";
    for (const MutatorCategory& category : MutatorTable) {
        const auto entry = selections.find(category.label);
        if (entry == selections.end()) {
            continue;
        }
        // Only the settings panel should store indices, but the map is open to any writer: a stale or corrupt
        // index must not read past the options.
        const int index = entry->second;
        if (index < 0 || static_cast<std::size_t>(index) >= category.options.size()) {
            continue;
        }
        const std::string& tag = category.options[static_cast<std::size_t>(index)].tagValue;
        if (tag.empty()) {
            continue;
        }
        // No de-duplication: a tag chosen in two categories (e.g. "Max1") is sent twice, as the user chose it.
        tags += ',';
        tags += tag;
    }
    return tags;
}

}  // namespace catalogue
