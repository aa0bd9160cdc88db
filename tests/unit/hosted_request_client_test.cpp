// The hosted server request: addresses, the log lines and how each reply becomes a result.
#include <future>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_host.h"
#include "hosted/request_client.h"
#include "plugin/logging.h"

namespace {

using hosted::RequestResult;
using ::testing::ElementsAre;

struct RequestClient : ::testing::Test {
    kestrel::testing::FakeHost host;
    void SetUp() override { globalCvarManager = host.cvarManager; }

    // Runs call on a worker, answers its one request with (status, body), returns the result.
    RequestResult Answer(const std::function<RequestResult()>& call, int status, const std::string& body)
    {
        const size_t index = host.http->requests().size();
        auto result = std::async(std::launch::async, call);
        EXPECT_TRUE(host.http->waitForRequests(index + 1));
        host.http->respondFromThread(index, status, body);
        host.http->waitForAnswers();
        return result.get();
    }
    RequestResult Kestrel(int status, const std::string& body)
    {
        return Answer([] { return hosted::requestKestrelServer("H:1", "Labs_Basin_P", "TAGame.GameInfo_Soccar_TA", "BotsNone,PlayerCount8",
                                                               hosted::kHostedNetworkOptions); },
                      status, body);
    }
    RequestResult Bots(int status, const std::string& body)
    {
        return Answer([] { return hosted::requestServer("H:1", {"Alpha"}, {}, "Park_P"); }, status, body);
    }
};

TEST_F(RequestClient, EachReplyToBothCalls)
{
    const RequestResult error{"error", -1};
    struct Case {
        int status;
        std::string body;
        RequestResult kestrel;
        RequestResult bots;
    };
    const Case cases[] = {
        {200, "Map not on server", {"Invalid Server Map", -1}, error},
        {400, "no free servers", error, {"no free servers", -1}},
        {400, "", error, {"", -1}},
        {200, "mislaunch", error, error},
        {200, "no colon here", error, error},
        {200, "a:123:4", {"a", 123}, {"a", 123}},
        {200, "A:7779", {"A", 7779}, {"A", 7779}},
        {200, "A: -12x", {"A", -12}, {"A", -12}},
        {200, "", error, error},
        {500, "A:7779", error, error},
        {-1, "", error, error},
        // No number after the colon, or one outside int32: a result all the same.
        {200, "A:", error, error},
        {200, "A:port", error, error},
        {200, "A:2147483648", error, error},
        {200, "A:-2147483649", error, error},
        {200, "A:2147483647", {"A", 2147483647}, {"A", 2147483647}},
        // What is shown comes on one line; an address no host name can be is no server.
        {200, "a\nb\tc:7779", {"a\xC2\xB6" "b c", 7779}, {"a\xC2\xB6" "b c", 7779}},
        {200, std::string(253, 'a') + ":7779", {std::string(253, 'a'), 7779}, {std::string(253, 'a'), 7779}},
        {200, std::string(254, 'a') + ":7779", error, error},
        {400, "no\r\nfree\tservers", error, {"no\xC2\xB6" "free servers", -1}},
        {400, std::string(5000, 'x'), error, {std::string(4093, 'x') + "...", -1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Kestrel(c.status, c.body), c.kestrel) << c.status << " " << c.body;
        EXPECT_EQ(Bots(c.status, c.body), c.bots) << c.status << " " << c.body;
    }
    EXPECT_THAT(host.console.lines(), ::testing::Contains("Shortened 1 text(s) of the server request reply that were longer than allowed"));
}

TEST_F(RequestClient, KestrelAddressIsSentAndLoggedWithoutEncoding)
{
    Answer([] { return hosted::requestKestrelServer("H:P", "My Map?x", "TAGame.GameInfo_Soccar_TA", "BotsNone,PlayerCount8,Tag ?", hosted::kHostedNetworkOptions); },
           200, "A:1");
    const std::string address = "http://H:P/?mapName=My Map?x&gameMode=TAGame.GameInfo_Soccar_TA&mutators=BotsNone,PlayerCount8,Tag ?"
                                "&networkOptions=?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen";
    auto sent = host.http->requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].request.url, address);
    EXPECT_EQ(sent[0].request.verb, "GET");
    EXPECT_TRUE(sent[0].request.headers.empty());
    EXPECT_TRUE(sent[0].request.body.empty());
    EXPECT_FALSE(sent[0].json);
    EXPECT_THAT(host.console.lines(), ElementsAre("Requesting server with URL: " + address));
}

TEST_F(RequestClient, BotParametersTakeTheNameBeforeTheFirstSpace)
{
    Answer([] { return hosted::requestServer("H:P", {"Alpha Lite", "Beta"}, {}, "Park_P"); }, 200, "A:1");
    EXPECT_EQ(host.http->requests()[0].request.url,
              "http://H:P/?mapName=Park_P&gameMode=TAGame.GameInfo_Soccar_TA&mutators=BotsNone,PlayerCount8"
              "&networkOptions=?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen&rlbot=yes"
              "&blueBots=Alpha,Beta&orangeBots=");
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Requesting server with blue bots: blueBots=Alpha,Beta and orange bots: orangeBots= on map: Park_P"));
}

TEST(BotParameter, RemoteNamesCannotAddParametersOrChangeThePath)
{
    const struct {
        std::vector<std::string> bots;
        std::string expected;
    } cases[] = {
        {{}, "blueBots="},
        {{"Nexto", "Necto-2_v.1"}, "blueBots=Nexto,Necto-2_v.1"},
        {{"Evil&orangeBots=x"}, "blueBots=Evil%26orangeBots%3Dx"},
        {{"a/../b#c?d", "%41"}, "blueBots=a%2F..%2Fb%23c%3Fd,%2541"},
        {{"Bot,Two"}, "blueBots=Bot%2CTwo"},
        {{"Ünï"}, "blueBots=%C3%9Cn%C3%AF"},
    };
    for (const auto& c : cases) EXPECT_EQ(hosted::BotParameter("blueBots=", c.bots), c.expected);
}

// A host that loses every request without answering it.
struct DroppingHttp : bakkesmod::host::HttpService {
    void send(const CurlRequest&, bool, bakkesmod::host::HttpDoneFn) override {}
};

TEST_F(RequestClient, DroppedCompletionWakesTheWorkerWithAnError)
{
    bakkesmod::host::installHttpService(std::make_shared<DroppingHttp>());
    auto result = std::async(std::launch::async, [] { return hosted::requestServer("H:1", {"A"}, {}, "Park_P"); });
    const bool ready = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    bakkesmod::host::installHttpService(host.http);
    ASSERT_TRUE(ready);
    EXPECT_EQ(result.get(), (RequestResult{"error", -1}));
}

} // namespace
