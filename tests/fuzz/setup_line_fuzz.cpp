// Any text pasted as a setup line: it is refused with one sentence, or what it yields names only what the
// catalogue has, and writing that setup and reading it back gives the same line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/match_setup.h"
#include "catalogue/setup_line.h"
#include "fuzz_require.h"

namespace {

bool Printable(const std::string& text)
{
    return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const catalogue::SetupLineReading reading = catalogue::ReadSetupLine(text);
    if (!reading.setup) {
        FUZZ_REQUIRE(reading.refusal.rfind("Setup refused: ", 0) == 0);
        FUZZ_REQUIRE(Printable(reading.refusal) && reading.refusal.size() < 300);
        return 0;
    }
    FUZZ_REQUIRE(size <= catalogue::setupLineMaxLength);
    const catalogue::MatchSetup& setup = *reading.setup;
    FUZZ_REQUIRE(catalogue::GameModeMenuIndex(setup.gameMode).has_value());
    if (setup.map && !setup.map->custom) FUZZ_REQUIRE(catalogue::MapTableIndex(setup.map->name).has_value());
    if (setup.map && setup.map->custom)
        FUZZ_REQUIRE(Printable(setup.map->name) && setup.map->name.find_first_of("|/\\") == std::string::npos);
    std::vector<std::string> notes;
    catalogue::SelectionsFromNames(setup.mutators, &notes);
    FUZZ_REQUIRE(notes.empty());

    const std::string line = catalogue::WriteSetupLine(setup);
    FUZZ_REQUIRE(line.size() <= catalogue::setupLineMaxLength);
    const catalogue::SetupLineReading again = catalogue::ReadSetupLine(line);
    FUZZ_REQUIRE(again.setup.has_value());
    FUZZ_REQUIRE(catalogue::WriteSetupLine(*again.setup) == line);
    return 0;
}
