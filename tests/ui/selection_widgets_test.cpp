// The map selector, game-mode selector and mutator panel, drawn in windows of the test's own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/game_mode_selector.h"
#include "catalogue/game_tags.h"
#include "catalogue/map_search_combo.h"
#include "catalogue/maps.h"
#include "catalogue/mutator_settings_panel.h"
#include "plugin/matchbay.h"
#include "ui_driver.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Each;
using ::testing::Pair;
using ::testing::_;

constexpr const char* widgetWindow = "Widgets";
constexpr const char* mapCombo = "##HostLanMapSelection";

std::vector<std::string> BuiltInMapNames()
{
    std::vector<std::string> names;
    for (const auto& [file, name] : MapTable) names.push_back(name);
    return names;
}

void BeginWidgetWindow(const char* title, ImVec2 pos)
{
    ImGui::SetNextWindowPos(pos, ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(700, 1200), ImGuiCond_Always);
    ImGui::Begin(title);
}

struct MapSelector : ::testing::Test {
    std::vector<std::string> names = BuiltInMapNames();
    int selectedMap = 0;
    int picks = 0;
    UiDriver ui{[this] {
        BeginWidgetWindow(widgetWindow, ImVec2(0, 0));
        if (catalogue::MapSearchCombo(mapCombo, selectedMap, names)) ++picks;
        ImGui::End();
    }};

    std::size_t entryCount(const std::string& popup) const
    {
        // Entries scrolled out of the drop-down report no label; their ids still name them.
        std::size_t count = 0;
        for (int i = 0; i < static_cast<int>(names.size()); ++i) count += ui.find(entryPath(popup, i)) ? 1 : 0;
        return count;
    }
    std::vector<UiItem> shownEntries(const std::string& popup) const
    {
        std::vector<UiItem> shown;
        for (const UiItem& item : ui.itemsIn(popup)) {
            if (item.shown && !item.label.empty()) shown.push_back(item);
        }
        return shown;
    }
    std::string entryPath(const std::string& popup, int index) const
    {
        return ui::JoinIdPath({popup}) + "/@" + std::to_string(index) + "/" +
               ui::EscapeIdPathSegment(names[static_cast<std::size_t>(index)]);
    }
};

TEST_F(MapSelector, TypingFiltersCaseInsensitivelyToTheFiveParkArenas)
{
    ui.frame();
    EXPECT_TRUE(ui.textShown(names[0], widgetWindow));
    const std::string popup = ui.openCombo(mapCombo);
    EXPECT_TRUE(ui.textShown("Search...", widgetWindow));
    EXPECT_EQ(entryCount(popup), names.size());  // all submitted, the drop-down scrolls after 8

    ui.typeText("park");
    ui.frame();
    std::vector<std::string> labels;
    for (const UiItem& item : shownEntries(popup)) labels.push_back(item.label);
    EXPECT_THAT(labels, Each(::testing::StartsWith("Beckwith Park")));
    EXPECT_EQ(labels.size(), 5u);
    for (int index : {30, 31, 32, 33, 59}) EXPECT_TRUE(ui.itemShown(entryPath(popup, index))) << index;
    EXPECT_TRUE(ui.textShown("park", widgetWindow));

    ui.typeText("zq");
    ui.frame();
    const std::vector<UiItem> entries = shownEntries(popup);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].label, "No maps found");
    EXPECT_THAT(ui.textLines(popup), ElementsAre("No maps found"));
}

TEST_F(MapSelector, ClickingAFilteredEntryChoosesIt)
{
    ui.frame();
    const std::string popup = ui.openCombo(mapCombo);
    ui.typeText("PARK");
    ui.frame();
    ui.click(ui.get(entryPath(popup, 59)));
    ui.frame();
    EXPECT_EQ(selectedMap, 59);
    EXPECT_EQ(picks, 1);
    EXPECT_FALSE(ui.comboPopup(mapCombo));
    EXPECT_TRUE(ui.textShown("Beckwith Park", widgetWindow));

    // The search ended with the field: the list is whole again.
    const std::string reopened = ui.openCombo(mapCombo);
    ui.frame();
    EXPECT_EQ(entryCount(reopened), names.size());
    EXPECT_EQ(picks, 1);
}

TEST_F(MapSelector, EscapeEndsTheSearchAndTheWholeListShows)
{
    ui.frame();
    const std::string popup = ui.openCombo(mapCombo);
    ui.typeText("park");
    ui.frame();
    ASSERT_EQ(shownEntries(popup).size(), 5u);
    ui.pressKey(ImGuiKey_Escape);
    ui.frames(3);
    ASSERT_TRUE(ui.comboPopup(mapCombo));
    EXPECT_EQ(entryCount(popup), names.size());
    EXPECT_FALSE(ui.textShown("park", widgetWindow));
    EXPECT_EQ(picks, 0);
}

TEST_F(MapSelector, IndexOutsideTheListFallsBackOrShowsThePrompt)
{
    selectedMap = static_cast<int>(names.size());
    ui.frame();
    EXPECT_EQ(selectedMap, 0);
    EXPECT_TRUE(ui.textShown(names[0], widgetWindow));

    selectedMap = -1;
    ui.frame();
    EXPECT_EQ(selectedMap, -1);
    EXPECT_TRUE(ui.textShown("Select a map", widgetWindow));

    names.clear();
    selectedMap = 3;
    ui.frame();
    EXPECT_EQ(selectedMap, 0);
    EXPECT_TRUE(ui.textShown("Select a map", widgetWindow));
    const std::string popup = ui.openCombo(mapCombo);
    ui.frame();
    EXPECT_THAT(ui.textLines(popup), ElementsAre("No maps found"));
    EXPECT_EQ(picks, 0);
}

TEST(GameModeSelectorUi, PickingAnEntryStoresItsPosition)
{
    int gameMode = 0;
    UiDriver ui([&] {
        BeginWidgetWindow(widgetWindow, ImVec2(0, 0));
        catalogue::GameModeSelector(gameMode);
        ImGui::End();
    });
    ui.frame();
    EXPECT_TRUE(ui.textShown("Soccar", widgetWindow));
    const std::string popup = ui.openCombo("##GameModeSelection");
    std::vector<std::string> entries;
    for (const UiItem& item : ui.itemsIn(popup)) entries.push_back(item.label);
    EXPECT_THAT(entries, ElementsAre("Soccar", "Hoops", "Rumble", "Dropshot", "Snow Day", "Heatseeker", "Gridiron"));
    ui.pickComboEntry("##GameModeSelection", "Snow Day");
    ui.frame();
    EXPECT_EQ(gameMode, 4);
    EXPECT_TRUE(ui.textShown("Snow Day", widgetWindow));
}

// Two tabs' panels over the plugin's shared choices, each with its own label column.
struct MutatorPanels : ::testing::Test {
    std::shared_ptr<matchbay> plugin = std::make_shared<matchbay>();
    float widthA = catalogue::initialMutatorLabelColumnWidth;
    float widthB = catalogue::initialMutatorLabelColumnWidth;
    UiDriver ui{[this] {
        BeginWidgetWindow("Tab A", ImVec2(0, 0));
        plugin->RenderMutatorSettings(widthA);
        ImGui::End();
        BeginWidgetWindow("Tab B", ImVec2(800, 0));
        plugin->RenderMutatorSettings(widthB);
        ImGui::End();
    }};

    // Right end of a label as placed, relative to its child region. In the frame the column moves, the labels
    // are still clipped at the old boundary, so a drawn prefix of the label counts.
    float labelRightEdge(const char* window, const std::string& label) const
    {
        for (const UiText& text : ui.texts(window)) {
            if (!text.text.empty() && label.rfind(text.text, 0) == 0) {
                const ImRect child = *ui.windowRect(text.window);
                return text.pos.x + ImGui::CalcTextSize(label.c_str()).x - child.Min.x;
            }
        }
        ADD_FAILURE() << label << " not drawn in " << window;
        return 0.0f;
    }
};

TEST_F(MutatorPanels, FirstOpeningCreatesAnEntryPerCategoryAtOptionZero)
{
    ui.frame();
    EXPECT_TRUE(plugin->mutatorSelections.empty());
    ui.openHeader(ui::JoinIdPath({"Tab A", "Mutators Settings"}));
    EXPECT_EQ(plugin->mutatorSelections.size(), 44u);
    EXPECT_THAT(plugin->mutatorSelections, Each(Pair(_, 0)));
    EXPECT_EQ(catalogue::BuildGameTags(plugin->mutatorSelections), "BotsNone,PlayerCount8");
}

TEST_F(MutatorPanels, WideLabelWidensOnlyItsOwnTabsColumnFromTheNextFrame)
{
    const float spacing = 8.0f;  // default horizontal item spacing
    ui.frame();
    ui.openHeader(ui::JoinIdPath({"Tab A", "Mutators Settings"}));
    // Labels of the first frame are aligned on the initial column; the widest one overflows it.
    EXPECT_FLOAT_EQ(labelRightEdge("Tab A", "Free Play:"), 125.0f + spacing);
    EXPECT_GT(widthA, 125.0f);
    EXPECT_FLOAT_EQ(widthB, 125.0f);

    ui.frame();
    EXPECT_FLOAT_EQ(labelRightEdge("Tab A", "Free Play:"), widthA + spacing);
    EXPECT_FLOAT_EQ(labelRightEdge("Tab A", "Backwards Goal Score:"), widthA + spacing);
    ui.frame();
    EXPECT_TRUE(ui.textShown("Backwards Goal Score:", "Tab A"));

    ui.openHeader(ui::JoinIdPath({"Tab B", "Mutators Settings"}));
    EXPECT_FLOAT_EQ(labelRightEdge("Tab B", "Free Play:"), 125.0f + spacing);
    EXPECT_FLOAT_EQ(labelRightEdge("Tab A", "Free Play:"), widthA + spacing);
}

TEST_F(MutatorPanels, ChoosingAnOptionReachesTheGameTags)
{
    ui.frame();
    ui.openHeader(ui::JoinIdPath({"Tab A", "Mutators Settings"}));
    ui.frame();
    ui.pickComboEntry(ui::JoinIdPath({"Tab A", "#MutatorsSettings", "##Ball Type"}), "Cube");
    ui.frame();
    EXPECT_EQ(plugin->mutatorSelections.at("Ball Type"), 1);
    EXPECT_EQ(catalogue::BuildGameTags(plugin->mutatorSelections), "BotsNone,PlayerCount8,Ball_CubeBall");
    EXPECT_TRUE(ui.textShown("Cube", "Tab A"));
}

}  // namespace
}  // namespace kestrel::testing
