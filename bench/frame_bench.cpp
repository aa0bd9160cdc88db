// Cost of one headless DrawMenu frame on each tab, beside ImGui's ShowDemoWindow frame; prints their ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <imgui.h>
#include <imgui_internal.h>

#include "fake_host.h"
#include "headless_context.h"
#include "ratio_reporter.h"
#include "plugin/matchbay.h"
#include "ui_path.h"

namespace {

using kestrel::bench::HeadlessContext;

constexpr const char* mainWindow = "Kestrel - V1.2.0";
constexpr const char* demoName = "ShowDemoWindow";

// Presses an item the way a scripted session does: by id path, without the mouse.
template <typename Draw>
void Activate(HeadlessContext& context, Draw&& draw, const std::string& path)
{
    if (const auto resolved = kestrel::ui::ResolveIdPath(path)) ImGui::ActivateItem(resolved->id);
    for (int i = 0; i < 3; ++i) context.frame(draw);
}

void DrawMenuFrame(benchmark::State& state, const std::string& tab, bool expandMutators)
{
    HeadlessContext context;
    kestrel::testing::FakeHost host;
    auto plugin = std::make_shared<matchbay>();
    host.attach(*plugin);
    plugin->onLoad();
    plugin->MenuOpened();
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

    // A frame of the wrong tab would be timed without anyone noticing.
    if (!tabSelected || (expandMutators && !panelDrawn)) {
        state.SkipWithError(!tabSelected ? "the tab did not open" : "the mutator panel did not open");
        plugin->onUnload();
        return;
    }
    for (auto _ : state) context.frame(draw);
    state.counters["tab_selected"] = 1;
    state.counters["mutator_panel"] = panelDrawn ? 1 : 0;
    plugin->onUnload();
}

void DemoWindowFrame(benchmark::State& state)
{
    HeadlessContext context;
    const auto draw = [] { ImGui::ShowDemoWindow(); };
    for (int i = 0; i < 3; ++i) context.frame(draw);
    for (auto _ : state) context.frame(draw);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark(demoName, DemoWindowFrame);
    for (const char* tab : {"Kestrel", "RLBot Host", "Rocket League", "Tournament", "Workshop Downloader"}) {
        benchmark::RegisterBenchmark(("DrawMenu/" + std::string(tab)).c_str(), DrawMenuFrame, std::string(tab), false);
    }
    benchmark::RegisterBenchmark("DrawMenu/Host Lan (mutators open)", DrawMenuFrame, std::string("Host Lan"), true);
    return kestrel::bench::RunWithRatios(argc, argv, demoName);
}
