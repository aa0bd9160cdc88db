#include "hosting/presets/preset_store.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/narrow_name.h"
#include "plugin/logging.h"

namespace hosting {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

constexpr int kFileVersion = 1;
// Far above what 100 presets take; a larger file is not one this plugin wrote.
constexpr std::uintmax_t kMaxFileBytes = 2u * 1024 * 1024;
constexpr std::size_t kMaxMutatorsPerPreset = 100;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// Code points in text, or none when it is not UTF-8.
std::optional<std::size_t> Utf8Length(const std::string& text)
{
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size(); ++length) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t width = lead < 0x80 ? 1 : (lead >= 0xc2 && lead < 0xe0) ? 2 : (lead >= 0xe0 && lead < 0xf0) ? 3
                                : (lead >= 0xf0 && lead < 0xf5) ? 4 : 0;
        if (width == 0 || i + width > text.size()) return std::nullopt;
        for (std::size_t k = 1; k < width; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return std::nullopt;
        i += width;
    }
    return length;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string Shown(const fs::path& path) { return platform::NarrowName(path); }

std::string Quoted(const std::string& name) { return catalogue::QuotedName(name); }

Json PresetToJson(const Preset& preset)
{
    Json entry;
    entry["name"] = preset.name;
    entry["mode"] = preset.setup.gameMode;
    if (preset.setup.map) {
        entry["map"] = preset.setup.map->name;
        entry["customMap"] = preset.setup.map->custom;
    }
    Json mutators = Json::object();
    for (const auto& [label, option] : preset.setup.mutators) mutators[label] = option;
    entry["mutators"] = std::move(mutators);
    return entry;
}

// One entry of the file; a phrase saying what is wrong with it otherwise.
std::optional<Preset> PresetFromJson(const Json& entry, std::size_t position, std::string& problem)
{
    const std::string which = "preset " + std::to_string(position + 1);
    if (!entry.is_object()) {
        problem = which + " is not an object";
        return std::nullopt;
    }
    const auto name = entry.find("name");
    if (name == entry.end() || !name->is_string()) {
        problem = which + " has no name";
        return std::nullopt;
    }
    const PresetName checked = CheckPresetName(name->get<std::string>());
    if (!checked.problem.empty()) {
        problem = which + ": " + checked.problem;
        return std::nullopt;
    }
    Preset preset;
    preset.name = checked.name;
    const std::string named = "preset " + Quoted(preset.name);
    const auto mode = entry.find("mode");
    if (mode == entry.end() || !mode->is_string()) {
        problem = named + " has no mode";
        return std::nullopt;
    }
    preset.setup.gameMode = mode->get<std::string>();
    if (const auto map = entry.find("map"); map != entry.end()) {
        const auto custom = entry.find("customMap");
        if (!map->is_string() || (custom != entry.end() && !custom->is_boolean())) {
            problem = named + " has a map that is not a name";
            return std::nullopt;
        }
        preset.setup.map = catalogue::MapChoice{map->get<std::string>(), custom != entry.end() && custom->get<bool>()};
    }
    if (const auto mutators = entry.find("mutators"); mutators != entry.end()) {
        if (!mutators->is_object() || mutators->size() > kMaxMutatorsPerPreset) {
            problem = named + " has mutators that are not a list of names";
            return std::nullopt;
        }
        for (const auto& [label, option] : mutators->items()) {
            if (!option.is_string()) {
                problem = named + " has mutators that are not a list of names";
                return std::nullopt;
            }
            preset.setup.mutators.emplace_back(label, option.get<std::string>());
        }
    }
    return preset;
}

} // namespace

PresetName CheckPresetName(const std::string& typed)
{
    const auto first = std::find_if_not(typed.begin(), typed.end(), IsBlank);
    const auto last = std::find_if_not(typed.rbegin(), typed.rend(), IsBlank).base();
    PresetName result{first < last ? std::string(first, last) : std::string(), {}};
    const auto length = Utf8Length(result.name);
    if (result.name.empty()) {
        result.problem = "A preset needs a name.";
    } else if (!length || std::any_of(result.name.begin(), result.name.end(), IsControl)) {
        result.problem = "A preset name cannot hold control characters or broken text.";
    } else if (*length > maxPresetNameLength) {
        result.problem = "A preset name has at most " + std::to_string(maxPresetNameLength) + " characters.";
    }
    return result;
}

std::string PresetsToJson(const std::vector<Preset>& presets)
{
    Json root;
    root["version"] = kFileVersion;
    root["presets"] = Json::array();
    for (const Preset& preset : presets) root["presets"].push_back(PresetToJson(preset));
    // A custom map's name comes from a file name in the system's code page and may not be UTF-8: it is written
    // with replacement characters rather than not at all (loading then says that map is not installed).
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<std::vector<Preset>> PresetsFromJson(const std::string& text, std::string& problem)
{
    if (std::all_of(text.begin(), text.end(), IsBlank)) {
        problem = "it is empty";
        return std::nullopt;
    }
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::parse_error& error) {
        problem = "it is not JSON (at byte " + std::to_string(error.byte) + ")";
        return std::nullopt;
    }
    const auto list = root.is_object() ? root.find("presets") : root.end();
    if (!root.is_object() || list == root.end() || !list->is_array()) {
        problem = "it has no \"presets\" list";
        return std::nullopt;
    }
    if (list->size() > maxPresets) {
        problem = "it holds more than " + std::to_string(maxPresets) + " presets";
        return std::nullopt;
    }
    std::vector<Preset> presets;
    for (std::size_t i = 0; i < list->size(); ++i) {
        auto preset = PresetFromJson((*list)[i], i, problem);
        if (!preset) return std::nullopt;
        for (const Preset& earlier : presets) {
            if (SameNameIgnoringCase(earlier.name, preset->name)) {
                problem = "two presets are named " + Quoted(preset->name);
                return std::nullopt;
            }
        }
        presets.push_back(std::move(*preset));
    }
    return presets;
}

fs::path PresetStore::DefaultFile()
{
    const fs::path appData = platform::AppDataFolder();
    const fs::path data = appData.empty() ? fs::path("./data") : appData / "bakkesmod" / "bakkesmod" / "data";
    return data / "Kestrel" / "presets.json";
}

PresetStore::PresetStore(fs::path file) : file(std::move(file)) {}

void PresetStore::EnsureLoaded()
{
    if (state == State::NotRead) Load();
}

void PresetStore::Load()
{
    if (file.empty()) file = DefaultFile();
    presets.clear();
    state = State::Unreadable;

    std::error_code error;
    const bool exists = fs::exists(file, error);
    if (error) {
        Log("Presets: cannot look for {}: {}; presets are not saved until it can be read.", Shown(file), error.message());
        return;
    }
    if (!exists) {
        state = State::Loaded;
        return;
    }
    std::string problem;
    std::optional<std::vector<Preset>> read;
    const std::uintmax_t size = fs::file_size(file, error);
    if (!error && size > kMaxFileBytes) {
        problem = "it is larger than 2 MB";
    } else {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        // Copying an empty file's buffer counts as a failure, though nothing went wrong.
        const bool copied = in && (size == 0 || (text << in.rdbuf()));
        if (error || !copied) {
            Log("Presets: cannot read {}; presets are not saved until it can be read.", Shown(file));
            return;
        }
        read = PresetsFromJson(text.str(), problem);
    }
    if (read) {
        presets = std::move(*read);
        state = State::Loaded;
        return;
    }

    fs::path aside = file;
    aside += ".bad";
    fs::remove(aside, error);
    fs::rename(file, aside, error);
    if (error) {
        Log("Presets file {} is not a presets file ({}) and cannot be moved aside ({}); presets are not saved until it is.",
            Shown(file), problem, error.message());
        return;
    }
    Log("Presets file {} is not a presets file ({}): moved it to {}; the preset list starts empty.", Shown(file),
        problem, Shown(aside));
    state = State::Loaded;
}

const Preset* PresetStore::Find(const std::string& name) const
{
    const auto found = std::find_if(presets.begin(), presets.end(),
                                    [&](const Preset& preset) { return SameNameIgnoringCase(preset.name, name); });
    return found == presets.end() ? nullptr : &*found;
}

std::string PresetStore::Write(const std::vector<Preset>& next)
{
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) return "cannot create " + Shown(file.parent_path()) + ": " + error.message();
    return platform::ReplaceFileAtomically(file, PresetsToJson(next));
}

PresetStore::Outcome PresetStore::Save(const std::string& typedName, const catalogue::MatchSetup& setup, bool overwrite)
{
    if (state != State::Loaded) Load();
    const PresetName checked = CheckPresetName(typedName);
    Outcome outcome{SaveResult::BadName, checked.problem, checked.name};
    if (!checked.problem.empty()) return outcome;
    if (!Writable()) {
        outcome.result = SaveResult::Failed;
        outcome.message = "Preset " + Quoted(checked.name) + " not saved: the presets file " + Shown(file) + " cannot be read.";
        return outcome;
    }
    const Preset* existing = Find(checked.name);
    if (existing && !overwrite) {
        outcome.result = SaveResult::NameTaken;
        outcome.message = "A preset named " + Quoted(existing->name) + " already exists.";
        return outcome;
    }
    if (!existing && presets.size() >= maxPresets) {
        outcome.result = SaveResult::Full;
        outcome.message = "There are already " + std::to_string(maxPresets) + " presets; delete one first.";
        return outcome;
    }
    std::vector<Preset> next = presets;
    if (existing) {
        next[static_cast<std::size_t>(existing - presets.data())] = Preset{checked.name, setup};
    } else {
        next.push_back(Preset{checked.name, setup});
    }
    if (const std::string failure = Write(next); !failure.empty()) {
        outcome.result = SaveResult::Failed;
        outcome.message = "Preset " + Quoted(checked.name) + " not saved: " + failure + ".";
        return outcome;
    }
    presets = std::move(next);
    outcome.result = existing ? SaveResult::Replaced : SaveResult::Saved;
    outcome.message = (existing ? "Replaced preset " : "Saved preset ") + Quoted(checked.name) + ".";
    return outcome;
}

std::string PresetStore::Remove(const std::string& name, bool* found)
{
    if (state != State::Loaded) Load();
    const Preset* existing = Find(CheckPresetName(name).name);
    if (found) *found = existing != nullptr;
    if (!existing) return "No preset is named " + Quoted(CheckPresetName(name).name) + ".";
    const std::string removedName = existing->name;
    if (!Writable()) return "Preset " + Quoted(removedName) + " not deleted: the presets file " + Shown(file) + " cannot be read.";
    std::vector<Preset> next = presets;
    next.erase(next.begin() + (existing - presets.data()));
    if (const std::string failure = Write(next); !failure.empty())
        return "Preset " + Quoted(removedName) + " not deleted: " + failure + ".";
    presets = std::move(next);
    return "Deleted preset " + Quoted(removedName) + ".";
}

} // namespace hosting
