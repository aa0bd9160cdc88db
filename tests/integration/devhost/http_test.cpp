// The host's HTTP: time-outs, refused connections, JSON headers, and the demo services.
#include <gtest/gtest.h>
#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>

#include "devhost_process.h"

namespace devhost_test {
namespace {

// The completion line "[http] GET <url> -> <code> after <ms> ms".
struct Completion {
    int code = 0;
    long ms = -1;
};

std::optional<Completion> FindCompletion(const std::string& output)
{
    std::smatch match;
    static const std::regex line(R"(\[http\] \w+ \S+ -> (-?\d+) after (\d+) ms)");
    if (!std::regex_search(output, match, line)) return std::nullopt;
    return Completion{std::stoi(match[1]), std::stol(match[2])};
}

TEST(DevhostHttp, SilentServerCompletesWithFailureWithinTheTimeout)
{
    // Accepts connections (the kernel completes the handshake) and never answers.
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/lobby";

    TempDir dir;
    auto run = RunScript(dir, "http get " + url + "\n", {"--http-connect-timeout", "500", "--http-timeout", "1200"});
    close(listener);
    ASSERT_EQ(run.status, 0) << run.output;
    auto completion = FindCompletion(run.output);
    ASSERT_TRUE(completion) << run.output;
    EXPECT_EQ(completion->code, -1);
    EXPECT_GE(completion->ms, 1100);
    EXPECT_LT(completion->ms, 4000);
    EXPECT_NE(run.output.find("[http] body: Operation timed out"), std::string::npos) << run.output;
}

TEST(DevhostHttp, RefusedConnectionCompletesAtOnce)
{
    TempDir dir;
    const std::string url = "http://127.0.0.1:" + std::to_string(FreePort(false)) + "/";
    auto run = RunScript(dir, "http get " + url + "\nhttp get notaurl\nhttp get file:///etc/passwd\n",
                         {"--http-timeout", "20000"});
    ASSERT_EQ(run.status, 0) << run.output;
    auto completion = FindCompletion(run.output);
    ASSERT_TRUE(completion) << run.output;
    EXPECT_EQ(completion->code, -1);
    // Well inside the 20 s time-out: a refused connection is not waited out (a sanitizer build on a
    // busy machine has taken over a second to start the request).
    EXPECT_LT(completion->ms, 10000);
    // Every request gets its one answer: three completions for three requests.
    EXPECT_EQ(LinesStartingWith(run.output, "[http] GET ").size(), 3u) << run.output;
    EXPECT_EQ(run.output.find("root:"), std::string::npos) << "file:// must not be fetched";
}

TEST(DevhostHttp, JsonRequestsCarryJsonHeadersAndPostBodies)
{
    httplib::Server server;
    server.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
        response.status = 201;
        response.set_content(request.get_header_value("Content-Type") + "|" + request.get_header_value("Accept") +
                                 "|" + request.body,
                             "text/plain");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread serving([&] { server.listen_after_bind(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/echo";

    TempDir dir;
    auto run = RunScript(dir, "http post --json " + url + " \"{\\\"a\\\": 1}\"\n");
    server.stop();
    serving.join();
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("-> 201 after"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[http] body: application/json|application/json|{\"a\": 1}"), std::string::npos)
        << run.output;
}

TEST(DevhostHttp, RepliesOverTheCapFailOnceWhetherAnnouncedOrStreamed)
{
    httplib::Server server;
    server.Get("/fits", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(1500, 'f'), "text/plain");
    });
    server.Get("/announced", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(1501, 'a'), "text/plain");
    });
    // Chunked, so no length is known before the body runs past the cap.
    server.Get("/streamed", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
            if (offset >= 4000) {
                sink.done();
                return true;
            }
            const std::string piece(500, 's');
            return sink.write(piece.data(), piece.size());
        });
    });
    int port = server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread serving([&] { server.listen_after_bind(); });
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    TempDir dir;
    auto run = RunScript(dir, "http get " + base + "/fits\nhttp get " + base + "/announced\nhttp get " + base + "/streamed\n",
                         {"--http-max-reply", "1500"});
    server.stop();
    serving.join();
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "[http] GET ").size(), 3u) << run.output;
    EXPECT_NE(run.output.find("/fits -> 200 after"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("/announced -> -1 after"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("/streamed -> -1 after"), std::string::npos) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "[http] body: reply larger than 1500 bytes").size(), 2u) << run.output;
}

TEST(DevhostHttp, ReplyCapOptionNeedsAByteCount)
{
    TempDir dir;
    for (const char* value : {"0", "-5", "lots"}) {
        auto run = RunScript(dir, "", {"--http-max-reply", value});
        EXPECT_NE(run.output.find("--http-max-reply needs a byte count from 1 to 4294967296"), std::string::npos)
            << value << ": " << run.output;
    }
}

TEST(DemoServices, AnswersHealthOnTheChosenPort)
{
    TempDir dir;
    const int port = FreePort(false);
    ChildProcess services({KESTREL_DEMO_SERVICES_PATH, "--port", std::to_string(port), "--data-dir",
                           (dir.path() / "services").string()});
    ASSERT_TRUE(services.waitFor("demo-services: listening on http://127.0.0.1:" + std::to_string(port)))
        << services.output();

    auto run = RunScript(dir, "http get http://127.0.0.1:" + std::to_string(port) + "/health\n");
    EXPECT_NE(run.output.find("-> 200 after"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[http] body: ok\n"), std::string::npos) << run.output;

    ChildProcess busy({KESTREL_DEMO_SERVICES_PATH, "--port", std::to_string(port), "--data-dir",
                       (dir.path() / "services").string()});
    EXPECT_EQ(busy.wait(10s), 1);
    EXPECT_NE(busy.output().find("cannot listen on 127.0.0.1:" + std::to_string(port)), std::string::npos);
    services.terminate();
    EXPECT_EQ(services.wait(10s), 0) << services.output();
}

} // namespace
} // namespace devhost_test
