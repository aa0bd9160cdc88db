#pragma once
// Saved match setups: one JSON file in the plugin's data folder, read once, rewritten whole on every change.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/match_setup.h"

namespace hosting {

inline constexpr std::size_t maxPresets = 100;
inline constexpr std::size_t maxPresetNameLength = 40; // characters, after trimming

struct Preset {
    std::string name;
    catalogue::MatchSetup setup;
};

// The name as it is saved (blanks trimmed), or why it cannot be one.
struct PresetName {
    std::string name;
    std::string problem; // empty when name is usable
};
PresetName CheckPresetName(const std::string& typed);

class PresetStore {
public:
    // <appdata>/bakkesmod/bakkesmod/data/Kestrel/presets.json, beside the reverse proxy's data.
    static std::filesystem::path DefaultFile();

    // file empty: DefaultFile(), looked up when first needed.
    explicit PresetStore(std::filesystem::path file = {});

    // Reads the file the first time; Save and Remove read it again after a read that failed. What went wrong is
    // logged. A file that is not a presets file is moved to "presets.json.bad" (replacing an older one) and the
    // list starts empty.
    void EnsureLoaded();
    // Changes are refused while the file on disk could not be read or moved aside: saving would overwrite it.
    bool Writable() const { return state == State::Loaded; }

    const std::vector<Preset>& Presets() const { return presets; }
    // By name, ignoring case.
    const Preset* Find(const std::string& name) const;

    enum class SaveResult { Saved, Replaced, NameTaken, BadName, Full, Failed };
    struct Outcome {
        SaveResult result = SaveResult::Failed;
        std::string message; // for the status line and the log
        std::string name;    // the name as saved
    };
    // A name already taken (ignoring case) is replaced only with overwrite; the list keeps its place.
    Outcome Save(const std::string& name, const catalogue::MatchSetup& setup, bool overwrite);
    // The message; found is false when no preset has that name.
    std::string Remove(const std::string& name, bool* found = nullptr);

    const std::filesystem::path& File() const { return file; }

private:
    enum class State { NotRead, Loaded, Unreadable };

    void Load();
    std::string Write(const std::vector<Preset>& next);

    std::filesystem::path file;
    State state = State::NotRead;
    std::vector<Preset> presets;
};

// The file's text for a list, and the list in a text; parse failures say why in one phrase.
std::string PresetsToJson(const std::vector<Preset>& presets);
std::optional<std::vector<Preset>> PresetsFromJson(const std::string& text, std::string& problem);

} // namespace hosting
