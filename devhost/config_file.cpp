#include "config_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string_view>
#include <system_error>
#include <utility>

#include "output.h"

namespace devhost {

namespace {

constexpr const char* kNotOneValue = "expected a name and one quoted value";

// The file's own quoting: the console's \" and \\, plus \n and \r, so a value with a line
// break stays on its line. Any other backslash is kept as it stands.
std::string QuoteValue(const std::string& value)
{
    std::string quoted = "\"";
    for (char c : value) {
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        default: quoted += c;
        }
    }
    return quoted + "\"";
}

struct ConfigLine {
    std::optional<std::pair<std::string, std::string>> entry; // none: blank or comment
    std::optional<std::string> error;
};

ConfigLine ParseLine(std::string_view line)
{
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    auto trim = [&](std::string_view text) {
        while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
        while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
        return text;
    };
    line = trim(line);
    if (line.empty() || line.rfind("//", 0) == 0 || line.front() == '#') return {};
    size_t nameEnd = 0;
    while (nameEnd < line.size() && !isSpace(line[nameEnd])) ++nameEnd;
    const std::string_view name = line.substr(0, nameEnd);
    const std::string_view rest = trim(line.substr(nameEnd));
    if (rest.empty() || name.find('"') != std::string_view::npos) return {{}, kNotOneValue};
    if (rest.front() != '"') {
        for (char c : rest) {
            if (isSpace(c) || c == '"') return {{}, kNotOneValue};
        }
        return {std::pair{std::string(name), std::string(rest)}, {}};
    }
    std::string value;
    for (size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            if (!trim(rest.substr(i + 1)).empty()) return {{}, kNotOneValue};
            return {std::pair{std::string(name), std::move(value)}, {}};
        }
        if (c == '\\' && i + 1 < rest.size()) {
            const char next = rest[i + 1];
            if (next == '"' || next == '\\' || next == 'n' || next == 'r') {
                value += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
                ++i;
                continue;
            }
        }
        value += c;
    }
    return {{}, "unterminated quote"};
}

} // namespace

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
        ConfigLine parsed = ParseLine(line);
        if (parsed.error) {
            result.warnings.push_back(path.string() + ":" + std::to_string(number) + ": " + *parsed.error +
                                      ", line skipped");
        } else if (parsed.entry) {
            result.values[parsed.entry->first] = std::move(parsed.entry->second);
        }
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
        // Always quoted, so an empty value still reads back as one.
        for (const auto& [name, value] : values) out << name << ' ' << QuoteValue(value) << '\n';
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
