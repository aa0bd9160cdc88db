// Cost of one headless DrawMenu frame on each tab, beside ImGui's ShowDemoWindow frame; prints their ratios.
// "Fullest" is the most a user can have on screen at once: Host Lan with the mutator panel open, the reverse
// proxy window beside it and 200 lobbies in the list.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <imgui.h>
#include <imgui_internal.h>

#include "fake_host.h"
#include "headless_context.h"
#include "lobby_reply.h"
#include "ratio_reporter.h"
#include "plugin/matchbay.h"
#include "ui_path.h"

namespace {

using kestrel::bench::HeadlessContext;

constexpr const char* mainWindow = "Kestrel - V1.2.0";
constexpr const char* demoName = "ShowDemoWindow";

// One timed frame, kept out of line so a profiler can count the timed frames alone
// (valgrind --tool=callgrind --toggle-collect='*TimedFrame*').
template <typename Draw>
[[gnu::noinline]] void TimedFrame(HeadlessContext& context, const Draw& draw)
{
    context.frame(draw);
}

// Presses an item the way a scripted session does: by id path, without the mouse.
template <typename Draw>
void Activate(HeadlessContext& context, Draw&& draw, const std::string& path)
{
    if (const auto resolved = kestrel::ui::ResolveIdPath(path)) ImGui::ActivateItem(resolved->id);
    for (int i = 0; i < 3; ++i) context.frame(draw);
}

struct MenuScene {
    std::string tab;
    bool expandMutators = false;
    int lobbies = 0;
};

void DrawMenuFrame(benchmark::State& state, const MenuScene& scene)
{
    const std::string& tab = scene.tab;
    const bool expandMutators = scene.expandMutators;
    HeadlessContext context;
    kestrel::testing::FakeHost host;
    auto plugin = std::make_shared<matchbay>();
    host.attach(*plugin);
    plugin->onLoad();
    plugin->MenuOpened();
    if (scene.lobbies > 0) {
        const size_t index = host.http->requests().size(); // after onLoad's own requests
        plugin->ApiGetMatches();
        host.http->respond(index, 200, kestrel::bench::LobbyReply(scene.lobbies));
    }
    const auto draw = [&] { plugin->DrawMenu(); };
    for (int i = 0; i < 3; ++i) context.frame(draw);
    const std::string tabPath = kestrel::ui::JoinIdPath({mainWindow, "Tabs", tab});
    Activate(context, draw, tabPath);
    if (expandMutators) Activate(context, draw, tabPath + "/Mutators Settings");

    // Whether the tab really drew the panel: its region exists and was drawn in the last frame.
    const auto region = kestrel::ui::ResolveIdPath(tabPath + "/#MutatorsSettings/x");
    const bool panelDrawn = region && region->window && region->window->Active && region->windowName != mainWindow;

    const auto tabBar = kestrel::ui::ResolveIdPath(kestrel::ui::JoinIdPath({mainWindow, "Tabs"}));
    const auto tabItem = kestrel::ui::ResolveIdPath(tabPath);
    const ImGuiTabBar* bar = tabBar ? GImGui->TabBars.GetByKey(tabBar->id) : nullptr;
    const bool tabSelected = bar && tabItem && bar->SelectedTabId == tabItem->id;

    const auto listed = plugin->LobbyListingsSnapshot()->size();
    const ImGuiWindow* proxyWindow = ImGui::FindWindowByName("Reverse Proxy");
    const bool proxyDrawn = proxyWindow && proxyWindow->Active;

    // A frame of the wrong tab, or of an empty list, would be timed without anyone noticing.
    const char* wrong = !tabSelected                                         ? "the tab did not open"
                        : expandMutators && !panelDrawn                      ? "the mutator panel did not open"
                        : listed != static_cast<std::size_t>(scene.lobbies) ? "the reply did not fill the lobby list"
                        : tab == "Host Lan" && !proxyDrawn                   ? "the reverse proxy window is not drawn"
                                                                              : nullptr;
    if (wrong) {
        state.SkipWithError(wrong);
        plugin->onUnload();
        return;
    }
    for (auto _ : state) TimedFrame(context, draw);
    state.counters["tab_selected"] = 1;
    state.counters["mutator_panel"] = panelDrawn ? 1 : 0;
    state.counters["lobbies"] = static_cast<double>(listed);
    plugin->onUnload();
}

void DemoWindowFrame(benchmark::State& state)
{
    HeadlessContext context;
    const auto draw = [] { ImGui::ShowDemoWindow(); };
    for (int i = 0; i < 3; ++i) context.frame(draw);
    for (auto _ : state) TimedFrame(context, draw);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark(demoName, DemoWindowFrame);
    for (const char* tab : {"Kestrel", "RLBot Host", "Rocket League", "Tournament", "Workshop Downloader"}) {
        benchmark::RegisterBenchmark(("DrawMenu/" + std::string(tab)).c_str(), DrawMenuFrame, MenuScene{tab});
    }
    benchmark::RegisterBenchmark("DrawMenu/Host Lan (mutators folded)", DrawMenuFrame, MenuScene{"Host Lan"});
    benchmark::RegisterBenchmark("DrawMenu/Host Lan (mutators open)", DrawMenuFrame, MenuScene{"Host Lan", true});
    benchmark::RegisterBenchmark("Fullest", DrawMenuFrame, MenuScene{"Host Lan", true, 200});
    return kestrel::bench::RunWithRatios(argc, argv, demoName);
}
