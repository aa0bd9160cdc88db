#include "catalogue/match_setup.h"

#include <algorithm>

#include "catalogue/game_modes.h"
#include "catalogue/maps.h"

namespace catalogue {

namespace {

constexpr size_t kQuotedNameLimit = 60;

const std::string* ChosenOptionName(const std::vector<std::pair<std::string, std::string>>& mutators,
                                    const std::string& label)
{
    for (const auto& [chosenLabel, option] : mutators)
        if (chosenLabel == label) return &option;
    return nullptr;
}

std::optional<int> OptionIndex(const MutatorCategory& category, const std::string& displayName)
{
    for (size_t i = 0; i < category.options.size(); ++i)
        if (category.options[i].displayName == displayName) return static_cast<int>(i);
    return std::nullopt;
}

bool KnownCategory(const std::string& label)
{
    return std::any_of(MutatorTable.begin(), MutatorTable.end(),
                       [&](const MutatorCategory& category) { return category.label == label; });
}

// Walks the catalogue for a named choice: visit(category, index) for each category, index empty when the named
// option is unknown; notes for unknown categories and options.
template <typename Visit>
void ResolveNames(const std::vector<std::pair<std::string, std::string>>& mutators, std::vector<std::string>* notes,
                  Visit visit)
{
    for (const MutatorCategory& category : MutatorTable) {
        const std::string* option = ChosenOptionName(mutators, category.label);
        const std::optional<int> index = option ? OptionIndex(category, *option) : std::optional<int>(0);
        if (!index && notes)
            notes->push_back("Mutator option " + QuotedName(*option) + " of " + QuotedName(category.label) +
                             " is unknown; that mutator stays as it was.");
        visit(category, index);
    }
    if (!notes) return;
    for (const auto& [label, option] : mutators)
        if (!KnownCategory(label)) notes->push_back("Mutator category " + QuotedName(label) + " is unknown; skipped.");
}

} // namespace

std::optional<std::int32_t> GameModeMenuIndex(const std::string& name)
{
    for (size_t i = 0; i < GameModeMenu.size(); ++i)
        if (name == GameModeMenu[i]) return static_cast<std::int32_t>(i);
    return std::nullopt;
}

std::optional<std::int32_t> MapTableIndex(const std::string& key)
{
    const auto entry = MapTable.find(key);
    if (entry == MapTable.end()) return std::nullopt;
    return static_cast<std::int32_t>(std::distance(MapTable.begin(), entry));
}

std::string QuotedName(const std::string& name)
{
    std::string shown = name.size() > kQuotedNameLimit ? name.substr(0, kQuotedNameLimit) + "..." : name;
    std::replace_if(shown.begin(), shown.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
    return "\"" + shown + "\"";
}

std::vector<std::pair<std::string, std::string>> NamedMutators(const MutatorSelections& selections)
{
    std::vector<std::pair<std::string, std::string>> named;
    for (const MutatorCategory& category : MutatorTable) {
        const auto entry = selections.find(category.label);
        if (entry == selections.end() || entry->second <= 0 ||
            static_cast<size_t>(entry->second) >= category.options.size())
            continue;
        named.emplace_back(category.label, category.options[static_cast<size_t>(entry->second)].displayName);
    }
    return named;
}

MutatorSelections SelectionsFromNames(const std::vector<std::pair<std::string, std::string>>& mutators,
                                      std::vector<std::string>* notes)
{
    MutatorSelections selections;
    ResolveNames(mutators, notes, [&](const MutatorCategory& category, std::optional<int> index) {
        selections[category.label] = index.value_or(0);
    });
    return selections;
}

MatchSetup CaptureSetup(SetupTarget& target, const MutatorSelections& selections)
{
    MatchSetup setup;
    const std::int32_t mode = target.GameModeIndex();
    if (mode >= 0 && static_cast<size_t>(mode) < GameModeMenu.size()) setup.gameMode = GameModeMenu[static_cast<size_t>(mode)];
    setup.map = target.CurrentMap();
    setup.mutators = NamedMutators(selections);
    return setup;
}

std::vector<std::string> ApplySetup(const MatchSetup& setup, SetupTarget& target, MutatorSelections& selections)
{
    std::vector<std::string> notes;
    if (const auto mode = GameModeMenuIndex(setup.gameMode)) {
        target.GameModeIndex() = *mode;
    } else {
        notes.push_back("Game mode " + QuotedName(setup.gameMode) + " is unknown; the mode stays as it was.");
    }
    if (setup.map) {
        if (auto refused = target.SelectMap(*setup.map)) notes.push_back(std::move(*refused));
    }
    ResolveNames(setup.mutators, &notes, [&](const MutatorCategory& category, std::optional<int> index) {
        if (index) selections[category.label] = *index;
    });
    return notes;
}

} // namespace catalogue
