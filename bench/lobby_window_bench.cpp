// One frame of the "Active Server List" window with 100 and with 10,000 lobbies, both filters
// set; the ratio shows whether the cost follows the rows on screen or the list length.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include <imgui.h>

#include "fake_host.h"
#include "headless_context.h"
#include "lobby_reply.h"
#include "plugin/matchbay.h"
#include "ratio_reporter.h"

namespace {

void LobbyWindowFrame(benchmark::State& state)
{
    kestrel::bench::HeadlessContext context;
    kestrel::testing::FakeHost host;
    auto plugin = std::make_shared<matchbay>();
    host.attach(*plugin);
    plugin->onLoad();
    const size_t index = host.http->requests().size(); // after onLoad's own requests
    plugin->ApiGetMatches();
    host.http->respond(index, 200, kestrel::bench::LobbyReply(static_cast<int>(state.range(0))));
    // Most lobbies pass both filters, so the list stays as long as the reply.
    plugin->lobbyNameFilter = "Lobby *";
    plugin->lobbyMapFilter = "*_P";

    const auto draw = [&] {
        ImGui::SetNextWindowSize(ImVec2(800, 300), ImGuiCond_Always);
        ImGui::Begin("Active Server List");
        plugin->RenderLobbyBrowser();
        ImGui::End();
    };
    for (int i = 0; i < 3; ++i) context.frame(draw);
    const auto listed = plugin->LobbyListingsSnapshot()->size();
    if (listed != static_cast<std::size_t>(state.range(0))) {
        state.SkipWithError("the reply did not fill the list");
        return;
    }
    for (auto _ : state) context.frame(draw);
    state.counters["lobbies"] = static_cast<double>(listed);
}

BENCHMARK(LobbyWindowFrame)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return kestrel::bench::RunWithRatios(argc, argv, "LobbyWindowFrame/100"); }
