// Any body the hosting service may send as its bot list, and the names in it on their way into
// a request: a list is whole or absent, versions belong to listed bots, and a remote name
// reaches the request address only as unreserved characters and %XX that decode to it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_require.h"
#include "hosted/hosting_lists.h"
#include "hosted/request_client.h"

namespace {

bool Unreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '~';
}

std::string PercentDecode(const std::string& text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            FUZZ_REQUIRE(Unreserved(text[i]));
            decoded += text[i];
            continue;
        }
        FUZZ_REQUIRE(i + 2 < text.size());
        decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return decoded;
}

void CheckName(const std::string& name)
{
    const std::string cleaned = hosted::CleanBotName(name);
    FUZZ_REQUIRE(cleaned.size() <= name.size());
    FUZZ_REQUIRE(PercentDecode(hosted::PercentEncode(cleaned)) == cleaned);
    // A request lists each bot up to its first space, one comma between bots.
    const std::string parameter = hosted::BotParameter("blueBots=", {cleaned, cleaned});
    const std::string first = cleaned.substr(0, cleaned.find(' '));
    const std::string encoded = hosted::PercentEncode(first);
    FUZZ_REQUIRE(parameter == "blueBots=" + encoded + "," + encoded);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    if (auto bots = hosted::ParseBotList(body)) {
        for (const auto& [name, versions] : bots->botVersions) {
            bool listed = false;
            for (const auto& bot : bots->names) listed |= bot == name;
            FUZZ_REQUIRE(listed);
        }
        for (const auto& name : bots->names) CheckName(name);
    }
    CheckName(body);
    return 0;
}
