// Any reply a hosting location may give to a server request, through both request calls as the
// plugin makes them: the answer is a server only with a usable port and an address without the
// port's colon, a failure always has a text, and the remote bot names reach the request address
// only percent-encoded.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "bakkesmod/host/services.h"
#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "fuzz_require.h"
#include "hosted/hosting_lists.h"
#include "hosted/request_client.h"
#include "hosted/request_state.h"
#include "lobby/lobby_address.h"

namespace {

// Answers every request at once with the fuzzer's reply.
class ReplyingHttp : public bakkesmod::host::HttpService {
public:
    int status = 200;
    std::string body;
    std::string lastUrl;
    int requests = 0;
    void send(const CurlRequest& request, bool, bakkesmod::host::HttpDoneFn done) override
    {
        lastUrl = request.url;
        ++requests;
        done(status, body);
    }
};

void CheckResult(const hosted::RequestResult& result)
{
    if (hosted::IsServerResult(result)) {
        FUZZ_REQUIRE(result.second >= 1 && result.second <= 65535);
        FUZZ_REQUIRE(result.first.find(':') == std::string::npos);
        // The join check lets through only what a host name needs.
        if (lobby::IsPlainHostAddress(result.first))
            FUZZ_REQUIRE(result.first.find_first_not_of(
                             "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") == std::string::npos);
    } else {
        FUZZ_REQUIRE(!hosted::FailureText(result).empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto http = [] {
        auto service = std::make_shared<ReplyingHttp>();
        bakkesmod::host::installHttpService(service);
        return service;
    }();
    if (size == 0) return 0;
    static const int statuses[] = {200, 400, 500, -1};
    http->status = statuses[data[0] % 4];
    http->body.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string& body = http->body;
    http->requests = 0;

    const auto kestrel = hosted::requestKestrelServer("127.0.0.1:47802", "Park_P", "TAGame.GameInfo_Soccar_TA",
                                                      "BotsNone,PlayerCount8", hosted::kHostedNetworkOptions);
    FUZZ_REQUIRE(kestrel == hosted::InterpretKestrelReply(http->status, body));
    CheckResult(kestrel);

    const auto bots = hosted::requestServer("127.0.0.1:47802", {body}, {"Nexto (beta)"}, "Park_P");
    FUZZ_REQUIRE(bots == hosted::InterpretBotReply(http->status, body));
    CheckResult(bots);
    FUZZ_REQUIRE(http->requests == 2);
    const std::string tail = "&rlbot=yes&blueBots=" + hosted::PercentEncode(body.substr(0, body.find(' '))) +
                             "&orangeBots=Nexto";
    FUZZ_REQUIRE(http->lastUrl.size() >= tail.size() &&
                 http->lastUrl.compare(http->lastUrl.size() - tail.size(), tail.size(), tail) == 0);
    return 0;
}
