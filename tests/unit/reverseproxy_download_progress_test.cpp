// The tunnel client download as the panel shows it: progress during a slow download from a
// loopback server, with and without a length, its wording, and Cancel keeping the old file.
#ifndef _WIN32
#include <httplib.h>
#endif
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "reverse_proxy_fixture.h"
#include "reverseproxy/download_progress.h"

namespace kestrel::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;

TEST(DownloadProgressText, WordsBytesTheWayThePanelShowsThem)
{
    struct Case {
        std::uint64_t received, total;
        std::string text;
    };
    const Case cases[] = {
        {0, 0, "0 B"},
        {1023, 0, "1023 B"},
        {1024, 0, "1.0 KiB"},
        {1258291, 12373196, "1.2 MiB / 11.8 MiB"},
        {1048575, 1048576, "1.0 MiB / 1.0 MiB"}, // rounds up into the next unit, not "1024.0 KiB"
        {512, 2048, "512 B / 2.0 KiB"},
        {3ull << 30, 0, "3.0 GiB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reverse_proxy::DownloadProgressText(c.received, c.total), c.text) << c.received;
    }
    EXPECT_EQ(reverse_proxy::DownloadFraction(5, 0), 0.0f);
    EXPECT_EQ(reverse_proxy::DownloadFraction(50, 100), 0.5f);
    EXPECT_EQ(reverse_proxy::DownloadFraction(150, 100), 1.0f);
}

#ifndef _WIN32

constexpr std::size_t chunkSize = 4096;
constexpr int chunkCount = 12;

struct SlowServer {
    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::atomic<bool> stopping{false};

    SlowServer()
    {
        // chunkCount pieces, a pause before each: long enough to be seen between them.
        server.Get("/with-length", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(chunkSize * chunkCount, "application/octet-stream",
                                          [this](size_t offset, size_t, httplib::DataSink& sink) {
                                              return Piece(offset / chunkSize, sink);
                                          });
        });
        server.Get("/without-length", [this](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream",
                                                  [this](size_t offset, httplib::DataSink& sink) {
                                                      if (offset >= chunkSize * chunkCount) {
                                                          sink.done();
                                                          return true;
                                                      }
                                                      return Piece(offset / chunkSize, sink);
                                                  });
        });
        // Slow enough that a cancel comes long before the end.
        server.Get("/endless", [this](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream",
                                                  [this](size_t offset, httplib::DataSink& sink) {
                                                      if (offset >= chunkSize * 500) return false;
                                                      return Piece(0, sink);
                                                  });
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(1ms);
    }
    ~SlowServer()
    {
        stopping = true;
        server.stop();
        thread.join();
    }
    bool Piece(std::size_t index, httplib::DataSink& sink)
    {
        if (stopping) return false;
        std::this_thread::sleep_for(25ms);
        const std::string bytes(chunkSize, static_cast<char>('a' + index % 26));
        return sink.write(bytes.data(), bytes.size());
    }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Download : ReverseProxyPlugin {
    struct Sample {
        std::uint64_t received, total;
    };
    // Samples the panel's progress values until the download ends.
    std::vector<Sample> Follow(std::chrono::milliseconds limit = 20s)
    {
        std::vector<Sample> samples;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (plugin->isDownloading && std::chrono::steady_clock::now() < end) {
            samples.push_back({plugin->downloadReceived.load(), plugin->downloadTotal.load()});
            std::this_thread::sleep_for(2ms);
        }
        EXPECT_FALSE(plugin->isDownloading);
        return samples;
    }
};

TEST_F(Download, ProgressGrowsTowardsTheLengthOrCountsBytesWithoutOne)
{
    SlowServer server;
    const std::uint64_t size = chunkSize * chunkCount;
    for (const auto& [path, total] : {std::pair<std::string, std::uint64_t>{"/with-length", size}, {"/without-length", 0}}) {
        std::filesystem::remove(folders.frpcPath());
        plugin->frpcDownloadUrl = server.Url(path);
        plugin->StartFrpcDownload();
        const std::vector<Sample> samples = Follow();
        std::uint64_t last = 0;
        bool between = false;
        for (const Sample& sample : samples) {
            EXPECT_GE(sample.received, last) << path;
            last = sample.received;
            if (sample.received > 0) {
                EXPECT_EQ(sample.total, total) << path;
            }
            between = between || (sample.received > 0 && sample.received < size);
        }
        EXPECT_TRUE(between) << path << ": no value between the start and the end was seen";
        EXPECT_EQ(plugin->downloadReceived.load(), size) << path;
        EXPECT_EQ(ReadFile(folders.frpcPath()).size(), size) << path;
        EXPECT_THAT(messages(), Contains("frpc.exe downloaded successfully!")) << path;
    }
}

TEST_F(Download, CancelStopsItAndKeepsThePreviousExecutable)
{
    SlowServer server;
    std::filesystem::create_directories(folders.frpcPath().parent_path());
    std::ofstream(folders.frpcPath(), std::ios::binary) << "old client";
    plugin->frpcDownloadUrl = server.Url("/endless");
    plugin->StartFrpcDownload();
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (plugin->downloadReceived.load() == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_GT(plugin->downloadReceived.load(), 0u);
    plugin->CancelFrpcDownload();
    Follow(5s);
    EXPECT_EQ(ReadFile(folders.frpcPath()), "old client");
    EXPECT_FALSE(std::filesystem::exists(folders.frpcPath().string() + ".download"));
    EXPECT_THAT(messages(), Contains("Download cancelled"));
    EXPECT_THAT(messages(), ::testing::Not(Contains(::testing::HasSubstr("Failed to download"))));

    // The next download is not cancelled by the last one's request.
    plugin->frpcDownloadUrl = server.Url("/with-length");
    plugin->StartFrpcDownload();
    Follow();
    EXPECT_EQ(ReadFile(folders.frpcPath()).size(), chunkSize * chunkCount);
}

#endif

} // namespace
} // namespace kestrel::testing
