#include "console/config_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <system_error>

#include "output.h"
#include "console/words.h"

namespace devhost {

ConfigReadResult ReadConfig(const std::filesystem::path& path)
{
    ConfigReadResult result;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return result;
    std::ifstream in(path);
    if (!in) {
        result.warnings.push_back("cannot read " + path.string() + "; it will not be written either");
        result.unreadable = true;
        return result;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        auto warn = [&](const std::string& why) {
            result.warnings.push_back(path.string() + ":" + std::to_string(number) + ": " + why + ", line skipped");
        };
        auto split = SplitWords(line);
        if (split.error) {
            warn(*split.error);
            continue;
        }
        const auto& words = split.words;
        if (words.empty() || words[0].rfind("//", 0) == 0 || words[0][0] == '#') continue;
        if (words.size() != 2) {
            warn("expected a name and one quoted value");
            continue;
        }
        result.values[words[0]] = words[1];
    }
    return result;
}

std::string WriteConfig(const std::filesystem::path& path, const std::map<std::string, std::string>& values)
{
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    const auto temporary = path.string() + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        if (!out) return "cannot write " + temporary;
        out << "// Console variables saved by the development host.\n";
        for (const auto& [name, value] : values) {
            // Always quoted, so an empty value still reads back as one.
            std::string quoted = QuoteWord(value);
            if (quoted.front() != '"') quoted = "\"" + quoted + "\"";
            out << name << ' ' << quoted << '\n';
        }
        out.flush();
        if (!out) return "cannot write " + temporary;
    }
    // On disk before the rename, or a crash right after it can leave an empty file.
    if (int fd = ::open(temporary.c_str(), O_RDONLY); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return "cannot replace " + path.string() + ": " + error.message();
    }
    return {};
}

ConfigFile::ConfigFile(std::filesystem::path path) : path_(std::move(path)) {}

void ConfigFile::load()
{
    auto result = ReadConfig(path_);
    for (const auto& warning : result.warnings) HostMessage(warning);
    if (!result.warnings.empty() && !result.unreadable) {
        // The next save rewrites the file without what could not be read; keep it as it was.
        const std::filesystem::path copy = path_.string() + ".bak";
        std::error_code error;
        std::filesystem::copy_file(path_, copy, std::filesystem::copy_options::overwrite_existing, error);
        HostMessage(error ? "cannot keep a copy of " + path_.string() + ": " + error.message()
                          : "kept the file as it was in " + copy.string());
    }
    std::lock_guard<std::mutex> lock(mutex_);
    values_ = std::move(result.values);
    unreadable_ = result.unreadable;
}

std::optional<std::string> ConfigFile::saved(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(name);
    return it == values_.end() ? std::nullopt : std::optional<std::string>(it->second);
}

void ConfigFile::store(const std::string& name, const std::string& value)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = values_.find(name);
        if (it != values_.end() && it->second == value) return;
        values_[name] = value;
    }
    save();
}

void ConfigFile::forget(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    values_.erase(name);
}

void ConfigFile::save()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (unreadable_) return;
    std::string error = WriteConfig(path_, values_);
    if (!error.empty() && error != lastError_) HostMessage(error);
    lastError_ = error;
}

} // namespace devhost
