// Any bot description file the hosting service may send: each detail is one line's text made fit
// to show (no control characters, at most 4 KB), a detail whose key the file never names stays
// empty, and reading twice gives the same details.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_require.h"
#include "hosted/hosting_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    const auto details = hosted::ParseBotDetails(body);
    const std::pair<const char*, const std::string*> fields[] = {
        {"description", &details.botDescription},
        {"tags", &details.botTags},
        {"developer", &details.botDeveloper},
        {"fun_fact", &details.botFunFact},
    };
    for (const auto& [key, value] : fields) {
        FUZZ_REQUIRE(value->size() <= 4096);
        for (unsigned char c : *value) FUZZ_REQUIRE(c >= 0x20 && c != 0x7f);
        if (body.find(key) == std::string::npos) FUZZ_REQUIRE(value->empty());
    }
    const auto again = hosted::ParseBotDetails(body);
    FUZZ_REQUIRE(again.botDescription == details.botDescription && again.botTags == details.botTags &&
                 again.botDeveloper == details.botDeveloper && again.botFunFact == details.botFunFact);
    return 0;
}
