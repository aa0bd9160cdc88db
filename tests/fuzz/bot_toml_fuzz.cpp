// Any bot description file the hosting service may send: each detail is one line's text (never
// more than one line), a detail no line names keeps its value, and reading twice changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_require.h"
#include "hosted/hosting_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    const hosted::BotDetails before{"\nD", "\nT", "\nV", "\nF"};
    const auto after = hosted::ApplyBotDetails(before, body);
    const std::pair<const std::string*, const std::string*> fields[] = {
        {&before.botDescription, &after.botDescription},
        {&before.botTags, &after.botTags},
        {&before.botDeveloper, &after.botDeveloper},
        {&before.botFunFact, &after.botFunFact},
    };
    for (const auto& [old, now] : fields) {
        if (*now == *old) continue;
        FUZZ_REQUIRE(now->find('\n') == std::string::npos);
        FUZZ_REQUIRE(body.find(*now) != std::string::npos);
    }
    const char* keys[] = {"description", "tags", "developer", "fun_fact"};
    for (size_t i = 0; i < 4; ++i) {
        if (body.find(keys[i]) == std::string::npos) FUZZ_REQUIRE(*fields[i].second == *fields[i].first);
    }
    const auto again = hosted::ApplyBotDetails(after, body);
    FUZZ_REQUIRE(again.botDescription == after.botDescription && again.botTags == after.botTags &&
                 again.botDeveloper == after.botDeveloper && again.botFunFact == after.botFunFact);
    return 0;
}
