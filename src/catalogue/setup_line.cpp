#include "catalogue/setup_line.h"

#include <algorithm>
#include <set>
#include <variant>
#include <vector>

#include "catalogue/game_tags.h"
#include "catalogue/maps.h"

namespace catalogue {

namespace {

constexpr std::string_view kVersion = "1";
constexpr std::string_view kFixedTags[] = {"BotsNone", "PlayerCount8"};
constexpr std::size_t kMaxCustomMapName = 255;

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// Kept as %XX: what would split the line (space), end it early in a console or chat (';', '|', quotes,
// backslash), or not survive a chat's text handling (anything outside printable ASCII); '%' itself.
bool NeedsEscape(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte >= 0x7f || c == '%' || c == '"' || c == ';' || c == '|' || c == '\\';
}

std::string Escape(std::string_view value)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string escaped;
    for (char c : value) {
        if (!NeedsEscape(c)) {
            escaped += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        escaped += '%';
        escaped += hex[byte >> 4];
        escaped += hex[byte & 0xf];
    }
    return escaped;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view value)
{
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            plain += value[i];
            continue;
        }
        if (i + 2 >= value.size()) return std::nullopt;
        const int high = HexDigit(value[i + 1]);
        const int low = HexDigit(value[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        plain += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return plain;
}

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    for (std::string_view word : Split(text, ' '))
        if (!word.empty()) words.push_back(word);
    return words;
}

// Each option's tags as BuildGameTags writes them, one entry per comma-separated tag.
const std::vector<std::vector<std::vector<std::string_view>>>& OptionTags()
{
    static const auto tags = [] {
        std::vector<std::vector<std::vector<std::string_view>>> table;
        for (const MutatorCategory& category : MutatorTable) {
            auto& options = table.emplace_back();
            for (const MutatorOption& option : category.options)
                options.push_back(option.tagValue.empty() ? std::vector<std::string_view>{} : Split(option.tagValue, ','));
        }
        return table;
    }();
    return tags;
}

bool KnownTag(std::string_view tag)
{
    static const std::set<std::string_view, std::less<>> known = [] {
        std::set<std::string_view, std::less<>> all;
        for (const auto& category : OptionTags())
            for (const auto& option : category) all.insert(option.begin(), option.end());
        return all;
    }();
    return known.count(tag) != 0;
}

bool MatchesAt(const std::vector<std::string_view>& optionTags, const std::vector<std::string_view>& tags, std::size_t at)
{
    return at + optionTags.size() <= tags.size() && std::equal(optionTags.begin(), optionTags.end(), tags.begin() + static_cast<std::ptrdiff_t>(at));
}

std::string Refusal(const std::string& why) { return "Setup refused: " + why; }

bool IsCustomMapName(const std::string& name)
{
    return !name.empty() && name.size() <= kMaxCustomMapName &&
           std::none_of(name.begin(), name.end(), [](char c) { return IsControl(c) || c == '|' || c == '/' || c == '\\'; });
}

struct Fields {
    std::optional<std::string> mode;
    std::optional<std::string> map;
    std::optional<std::string> customMap;
    std::optional<std::string> tags;

    std::optional<std::string>* Named(std::string_view key)
    {
        if (key == "mode") return &mode;
        if (key == "map") return &map;
        if (key == "custom-map") return &customMap;
        if (key == "tags") return &tags;
        return nullptr;
    }
};

// The fields after the version word, decoded; a refusal text when one is malformed.
std::variant<Fields, std::string> ReadFields(const std::vector<std::string_view>& words)
{
    Fields fields;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const std::size_t equals = word.find('=');
        if (equals == std::string_view::npos)
            return Refusal(QuotedName(std::string(word)) + " is not a field (fields are written key=value).");
        const std::string key(word.substr(0, equals));
        std::optional<std::string>* field = fields.Named(key);
        if (!field) return Refusal("unknown field " + QuotedName(key) + ".");
        if (*field) return Refusal("the field " + QuotedName(key) + " appears twice.");
        auto value = Unescape(word.substr(equals + 1));
        if (!value) return Refusal("a broken %-escape in " + QuotedName(std::string(word)) + ".");
        if (std::any_of(value->begin(), value->end(), IsControl)) return Refusal("the line holds a control character.");
        *field = std::move(*value);
    }
    if (fields.map && fields.customMap) return Refusal("a setup has one map, but both map= and custom-map= are given.");
    if (!fields.mode) return Refusal("the field \"mode\" is missing.");
    if (!fields.tags) return Refusal("the field \"tags\" is missing.");
    return fields;
}

std::string_view TrimBlanks(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

std::string WriteSetupLine(const MatchSetup& setup)
{
    std::string line(setupLinePrefix);
    line += kVersion;
    line += " mode=" + Escape(setup.gameMode);
    if (setup.map) line += (setup.map->custom ? " custom-map=" : " map=") + Escape(setup.map->name);
    line += " tags=" + Escape(BuildGameTags(SelectionsFromNames(setup.mutators)));
    return line;
}

std::optional<MutatorSelections> SelectionsFromGameTags(std::string_view text)
{
    std::vector<std::string_view> tags = Split(text, ',');
    if (tags.size() < std::size(kFixedTags) || !std::equal(std::begin(kFixedTags), std::end(kFixedTags), tags.begin()))
        return std::nullopt;
    tags.erase(tags.begin(), tags.begin() + static_cast<std::ptrdiff_t>(std::size(kFixedTags)));

    // reachable[c][p]: categories c and after can write exactly tags p and after.
    const auto& options = OptionTags();
    const std::size_t categories = options.size();
    const std::size_t count = tags.size();
    std::vector<std::vector<char>> reachable(categories + 1, std::vector<char>(count + 1, 0));
    reachable[categories][count] = 1;
    for (std::size_t c = categories; c-- > 0;) {
        for (std::size_t p = 0; p <= count; ++p) {
            bool reach = reachable[c + 1][p] != 0;
            for (const auto& option : options[c]) {
                if (reach) break;
                reach = !option.empty() && MatchesAt(option, tags, p) && reachable[c + 1][p + option.size()];
            }
            reachable[c][p] = reach ? 1 : 0;
        }
    }
    if (!reachable[0][0]) return std::nullopt;

    MutatorSelections selections;
    std::size_t at = 0;
    for (std::size_t c = 0; c < categories; ++c) {
        int chosen = 0;
        for (std::size_t o = 0; o < options[c].size(); ++o) {
            const auto& option = options[c][o];
            if (!option.empty() && MatchesAt(option, tags, at) && reachable[c + 1][at + option.size()]) {
                chosen = static_cast<int>(o);
                at += option.size();
                break;
            }
        }
        selections[MutatorTable[c].label] = chosen;
    }
    return selections;
}

SetupLineReading ReadSetupLine(std::string_view text)
{
    SetupLineReading reading;
    if (text.size() > setupLineMaxLength) {
        reading.refusal = Refusal("the line is longer than " + std::to_string(setupLineMaxLength) + " characters.");
        return reading;
    }
    // A copied line often brings its line break along.
    text = TrimBlanks(text);
    if (std::any_of(text.begin(), text.end(), IsControl)) {
        reading.refusal = Refusal("the line holds a control character.");
        return reading;
    }
    const std::vector<std::string_view> words = Words(text);
    if (words.empty() || words[0].substr(0, setupLinePrefix.size()) != setupLinePrefix) {
        reading.refusal = Refusal("not a setup line (one begins with \"kestrel-setup:\").");
        return reading;
    }
    const std::string_view version = words[0].substr(setupLinePrefix.size());
    if (version != kVersion) {
        reading.refusal = Refusal("version " + QuotedName(std::string(version)) + " is not supported (this Kestrel reads version 1).");
        return reading;
    }
    auto read = ReadFields(words);
    if (auto* refusal = std::get_if<std::string>(&read)) {
        reading.refusal = std::move(*refusal);
        return reading;
    }
    const Fields& fields = std::get<Fields>(read);

    MatchSetup setup;
    if (!GameModeMenuIndex(*fields.mode)) {
        reading.refusal = Refusal("unknown mode " + QuotedName(*fields.mode) + ".");
        return reading;
    }
    setup.gameMode = *fields.mode;
    if (fields.map) {
        if (!MapTableIndex(*fields.map)) {
            reading.refusal = Refusal("unknown map " + QuotedName(*fields.map) + ".");
            return reading;
        }
        setup.map = MapChoice{*fields.map, false};
    } else if (fields.customMap) {
        if (!IsCustomMapName(*fields.customMap)) {
            reading.refusal = Refusal(QuotedName(*fields.customMap) + " is not a custom map name.");
            return reading;
        }
        setup.map = MapChoice{*fields.customMap, true};
    }
    for (std::string_view tag : Split(*fields.tags, ',')) {
        if (tag.empty()) {
            reading.refusal = Refusal("the tags hold an empty entry.");
            return reading;
        }
        if (!KnownTag(tag) && std::find(std::begin(kFixedTags), std::end(kFixedTags), tag) == std::end(kFixedTags)) {
            reading.refusal = Refusal("unknown tag " + QuotedName(std::string(tag)) + ".");
            return reading;
        }
    }
    const auto selections = SelectionsFromGameTags(*fields.tags);
    if (!selections) {
        reading.refusal = Refusal("the tags are not one mutator choice (they begin with \"BotsNone,PlayerCount8\", "
                                  "then at most one tag per category, in the settings' order).");
        return reading;
    }
    setup.mutators = NamedMutators(*selections);
    reading.setup = std::move(setup);
    return reading;
}

} // namespace catalogue
