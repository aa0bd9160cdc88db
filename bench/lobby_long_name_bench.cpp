// One frame of the "Active Server List" window with 100 lobbies of ordinary names, and with the
// same list where one name is a megabyte. A remote text is cut where its reply is read, so the
// window draws what it always draws; the goal is at most 1.2 times the ordinary frame.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include <imgui.h>
#include <nlohmann/json.hpp>

#include "fake_host.h"
#include "headless_context.h"
#include "lobby_reply.h"
#include "plugin/matchbay.h"
#include "ratio_reporter.h"

namespace {

void LobbyWindowNames(benchmark::State& state, bool megabyteName)
{
    kestrel::bench::HeadlessContext context;
    kestrel::testing::FakeHost host;
    auto plugin = std::make_shared<matchbay>();
    host.attach(*plugin);
    plugin->onLoad();
    auto reply = nlohmann::json::parse(kestrel::bench::LobbyReply(100));
    // The first row, so it is on screen in every frame.
    if (megabyteName) reply["lobbies"][0]["name"] = std::string(1 << 20, 'N');
    const size_t index = host.http->requests().size(); // after onLoad's own requests
    plugin->ApiGetMatches();
    host.http->respond(index, 200, reply.dump());

    const auto draw = [&] {
        ImGui::SetNextWindowSize(ImVec2(800, 300), ImGuiCond_Always);
        ImGui::Begin("Active Server List");
        plugin->RenderLobbyBrowser();
        ImGui::End();
    };
    for (int i = 0; i < 3; ++i) context.frame(draw);
    if (plugin->LobbyListingsSnapshot()->size() != 100) {
        state.SkipWithError("the reply did not fill the list");
        return;
    }
    for (auto _ : state) context.frame(draw);
}

BENCHMARK_CAPTURE(LobbyWindowNames, ordinary, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LobbyWindowNames, megabyte, true)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return kestrel::bench::RunWithRatios(argc, argv, "LobbyWindowNames/ordinary"); }
