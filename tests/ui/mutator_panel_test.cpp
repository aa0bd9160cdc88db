// The mutator panel in the plugin's own window at the first-use layout of a 1280x720 screen, where most of its
// rows lie below the window's view: only the rows on screen are drawn, and each one is still reached by scrolling.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "catalogue/game_tags.h"
#include "catalogue/mutator_settings_panel.h"
#include "catalogue/mutators.h"
#include "fake_host.h"
#include "hosting/tab_state.h"
#include "plugin/matchbay.h"
#include "ui_driver.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

constexpr const char* mainWindow = "Kestrel - V1.2.0";

struct SmallScreenMutators : ::testing::Test {
    FakeHost host;
    std::shared_ptr<matchbay> plugin = std::make_shared<matchbay>();
    UiDriver ui{[this] { plugin->DrawMenu(); }, ImVec2(1280.0f, 720.0f)};

    static std::string combo(const std::string& category)
    {
        return ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "#MutatorsSettings", "##" + category});
    }
    std::string panelWindow() const
    {
        const auto resolved = ui::ResolveIdPath(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "#MutatorsSettings", "x"}));
        return resolved ? resolved->windowName : "";
    }
    int drawnRows() const
    {
        int rows = 0;
        for (const MutatorCategory& category : MutatorTable) rows += ui.find(combo(category.label)) ? 1 : 0;
        return rows;
    }

    void SetUp() override
    {
        hosting::LanHostTab() = {};
        matchbay::hostLanMutatorLabelColumnWidth = catalogue::initialMutatorLabelColumnWidth;
        host.attach(*plugin);
        plugin->onLoad();
        plugin->MenuOpened();
        ui.frames(2);
        ui.click(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan"}));
        ui.frames(2);
        ui.openHeader(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "Mutators Settings"}));
        ui.frames(2);
    }
    void TearDown() override { plugin->onUnload(); }
};

TEST_F(SmallScreenMutators, OnlyTheRowsOnScreenAreDrawnAndEveryRowIsReachedByScrolling)
{
    const int first = drawnRows();
    EXPECT_GT(first, 0);
    EXPECT_LT(first, static_cast<int>(MutatorTable.size()) / 2);
    // Top to bottom, then back to the first: the wheel reaches every row in either direction.
    std::vector<std::string> order;
    for (const MutatorCategory& category : MutatorTable) order.push_back(category.label);
    order.push_back(MutatorTable.front().label);
    for (const std::string& category : order) {
        SCOPED_TRACE(category);
        ui.scrollTo(combo(category));
        EXPECT_TRUE(ui.itemShown(combo(category)));
        EXPECT_TRUE(ui.textShown(category + ":", panelWindow()));
        EXPECT_LT(drawnRows(), static_cast<int>(MutatorTable.size()));
    }
    // Rows never drawn still have their choice, so the game tags read every category.
    EXPECT_EQ(plugin->mutatorSelections.size(), MutatorTable.size());
}

TEST_F(SmallScreenMutators, TheLastOptionOfTheLastCategoryIsPickedThroughTheDriver)
{
    const MutatorCategory& last = MutatorTable.back();
    ui.pickComboEntry(combo(last.label), last.options.back().displayName);
    ui.frame();
    EXPECT_EQ(plugin->mutatorSelections.at(last.label), static_cast<int>(last.options.size()) - 1);
    EXPECT_EQ(catalogue::BuildGameTags(plugin->mutatorSelections), "BotsNone,PlayerCount8," + last.options.back().tagValue);
    EXPECT_TRUE(ui.textShown(last.options.back().displayName, panelWindow()));
}

TEST_F(SmallScreenMutators, TheLabelColumnIsAsWideAsTheWidestOfAllLabels)
{
    float widest = 0.0f;
    for (const MutatorCategory& category : MutatorTable) {
        const float width = ImGui::CalcTextSize(catalogue::MutatorRowLabel(category).c_str()).x;
        widest = std::max(widest, std::floor(width + 0.95f));
    }
    // Most labels were never drawn, yet the column fits them all, and it does not move while scrolling.
    EXPECT_FLOAT_EQ(matchbay::hostLanMutatorLabelColumnWidth, widest);
    EXPECT_FLOAT_EQ(catalogue::MutatorLabelColumnWidth(), widest);
    const float spacing = ImGui::GetStyle().ItemSpacing.x;
    for (const MutatorCategory& category : {MutatorTable.front(), MutatorTable.back()}) {
        SCOPED_TRACE(category.label);
        ui.scrollTo(combo(category.label));
        const std::string label = catalogue::MutatorRowLabel(category);
        bool found = false;
        for (const UiText& text : ui.texts(panelWindow())) {
            if (text.text != label) continue;
            found = true;
            const ImRect region = *ui.windowRect(text.window);
            EXPECT_FLOAT_EQ(text.pos.x + ImGui::CalcTextSize(label.c_str()).x - region.Min.x, widest + spacing);
        }
        EXPECT_TRUE(found);
        EXPECT_FLOAT_EQ(matchbay::hostLanMutatorLabelColumnWidth, widest);
    }
}

}  // namespace
}  // namespace kestrel::testing
