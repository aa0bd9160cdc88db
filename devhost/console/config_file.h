#pragma once
// The console variable file: one `name "value"` per line in the console's word syntax, `//`
// comments. Values of variables registered with saveToCfg are kept here between runs.
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace devhost {

struct ConfigReadResult {
    std::map<std::string, std::string> values;
    std::vector<std::string> warnings; // one per line that was skipped, with its line number, or the read error
    bool unreadable = false;           // the file is there but could not be opened
};

// A missing file is an empty configuration, not an error.
ConfigReadResult ReadConfig(const std::filesystem::path& path);
// Writes to a temporary file and renames it, so a crash never leaves half a file.
// Returns an error text on failure.
std::string WriteConfig(const std::filesystem::path& path, const std::map<std::string, std::string>& values);

class ConfigFile {
public:
    explicit ConfigFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }
    // Reads the file; warnings and errors are printed.
    void load();
    std::optional<std::string> saved(const std::string& name) const;
    // Records the value and writes the file.
    void store(const std::string& name, const std::string& value);
    // The variable is no longer one to save: its line goes away on the next write.
    void forget(const std::string& name);
    void save();

private:
    const std::filesystem::path path_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> values_;
    std::string lastError_; // reported once, not on every change
    bool unreadable_ = false; // then it is never written over: what it holds is unknown
};

} // namespace devhost
