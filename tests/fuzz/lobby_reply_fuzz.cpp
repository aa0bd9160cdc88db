// Any body the lobby service may send: parsing must end in a value or an error text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lobby/http_utils.h"
#include "lobby/responses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    auto parsed = http_utils::ParseResponse<rllobby_api::responses::GetAllLobbiesResponse>(body);
    // A failure never leaves a partial list behind, and always says why.
    if (parsed.success == parsed.error.empty() && (parsed.success || parsed.value.lobbies.empty())) return 0;
    std::abort();
}
