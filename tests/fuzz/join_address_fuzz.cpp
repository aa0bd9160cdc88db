// Whatever a player pastes from a chat into "Join Address": an accepted address names a plain
// host and a port in range, reads back the same from its own text, and the join command built
// from it holds no character that would end or extend the console command or its options.
// The same text as a saved kz_recent_addresses value gives at most five such addresses.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_require.h"
#include "lobby/join_address.h"
#include "lobby/lobby_address.h"
#include "lobby/recent_addresses.h"

namespace {

bool HoldsSeparator(const std::string& text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f || c == '|' || c == '#') return true;
    }
    return false;
}

void CheckAccepted(const lobby::JoinTarget& target)
{
    FUZZ_REQUIRE(lobby::IsPlainHostAddress(target.host));
    FUZZ_REQUIRE(target.port >= 1 && target.port <= 65535);
    const lobby::JoinAddressCheck again = lobby::ParseJoinAddress(target.Text());
    FUZZ_REQUIRE(again.target && *again.target == target);
    const std::string command = lobby::JoinCommand(target, "");
    FUZZ_REQUIRE(!HoldsSeparator(command));
    // Exactly the two options the join command itself writes.
    FUZZ_REQUIRE(command.find('?') == command.find("?Lan?Password="));
    FUZZ_REQUIRE(command.find('?', command.find("?Password=") + 1) == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const lobby::JoinAddressCheck check = lobby::ParseJoinAddress(text);
    FUZZ_REQUIRE(check.target.has_value() != !check.refusal.empty());
    if (check.target) CheckAccepted(*check.target);

    if (!lobby::JoinPasswordRefusal(text)) FUZZ_REQUIRE(!HoldsSeparator(text) && text.find('?') == std::string::npos);

    if (auto recent = lobby::ParseRecentAddresses(text)) {
        FUZZ_REQUIRE(recent->size() <= lobby::maxRecentAddresses);
        for (const std::string& address : *recent) {
            const lobby::JoinAddressCheck entry = lobby::ParseJoinAddress(address);
            FUZZ_REQUIRE(entry.target && entry.target->Text() == address);
        }
        FUZZ_REQUIRE(lobby::ParseRecentAddresses(lobby::FormatRecentAddresses(*recent)) == recent);
    }
    return 0;
}
