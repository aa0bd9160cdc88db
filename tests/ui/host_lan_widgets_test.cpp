// The selection widgets where the plugin draws them: the Host Lan tab of the menu window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/game_tags.h"
#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using ::testing::_;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::StartsWith;

struct HostLan : OpenMenu {
    void SetUp() override
    {
        OpenMenu::SetUp();
        ui.click(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan"}));
        ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Reverse Proxy"); }));
        ui.placeWindow("Reverse Proxy", ImVec2(820, 10));
    }

    std::vector<std::string> shownEntries(const std::string& popup) const
    {
        std::vector<std::string> labels;
        for (const UiItem& item : ui.itemsIn(popup)) {
            if (item.shown && !item.label.empty()) labels.push_back(item.label);
        }
        return labels;
    }

    const std::string mapCombo = ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "##HostLanMapSelection"});
};

TEST_F(HostLan, TypingParkShowsTheFiveParkArenasAndNonsenseShowsNoMaps)
{
    const std::string popup = ui.openCombo(mapCombo);
    ui.typeText("p");
    ui.typeText("a");
    ui.typeText("r");
    ui.typeText("k");
    ui.frame();
    const std::vector<std::string> entries = shownEntries(popup);
    EXPECT_EQ(entries.size(), 5u);
    EXPECT_THAT(entries, Each(StartsWith("Beckwith Park")));

    ui.typeText("xq");
    ui.frame();
    EXPECT_THAT(shownEntries(popup), ElementsAre("No maps found"));

    ui.clickAt(ImVec2(1500, 980));  // empty space closes the drop-down
    EXPECT_FALSE(ui.comboPopup(mapCombo));
}

TEST_F(HostLan, OpeningTheMutatorPanelCreatesAnEntryPerCategory)
{
    EXPECT_TRUE(plugin->mutatorSelections.empty());
    ui.openHeader(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "Mutators Settings"}));
    EXPECT_EQ(plugin->mutatorSelections.size(), 44u);
    EXPECT_THAT(plugin->mutatorSelections, Each(Pair(_, 0)));
    EXPECT_EQ(catalogue::BuildGameTags(plugin->mutatorSelections), "BotsNone,PlayerCount8");
    EXPECT_GT(matchbay::hostLanMutatorLabelColumnWidth, 125.0f);
    EXPECT_FLOAT_EQ(matchbay::rocketLeagueMutatorLabelColumnWidth, 125.0f);
}

}  // namespace
}  // namespace kestrel::testing
