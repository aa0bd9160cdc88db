// The preset row clicked through as a player would: save, change, load, overwrite, delete, and a setup copied in
// one tab and pasted into another.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <thread>

#include "catalogue/game_tags.h"
#include "catalogue/maps.h"
#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct PresetRow : OpenMenu {
    fs::path root = fs::temp_directory_path() / ("kestrel-ui-presets-" + std::to_string(std::random_device{}()));

    void SetUp() override
    {
        plugin->presetStore = hosting::PresetStore(root / "presets.json");
        OpenMenu::SetUp();
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::string in(const std::string& tabName, const std::string& item) { return ui::JoinIdPath({mainWindow, "Tabs", tabName, item}); }
    std::string mutator(const std::string& tabName, const std::string& label)
    {
        return ui::JoinIdPath({mainWindow, "Tabs", tabName, "#MutatorsSettings", "##" + label});
    }
    void selectTab(const std::string& name)
    {
        ui.click(ui::JoinIdPath({mainWindow, "Tabs", name}));
        ui.frames(2);
        if (name == "Host Lan") {
            ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Reverse Proxy"); }));
            ui.placeWindow("Reverse Proxy", ImVec2(820, 10));
        }
    }
    void press(const std::string& query)
    {
        ui.click(query);
        ui.frames(2);
    }
    // Into an empty name field: nothing is selected in the drop-down.
    void saveAs(const std::string& name)
    {
        press(in("Host Lan", "Save As..."));
        ASSERT_TRUE(ui.frameUntil([&] { return ui.itemShown("Save Preset/##PresetName"); }));
        ui.click("Save Preset/##PresetName");
        ui.typeText(name);
        press("Save Preset/Save");
    }
    bool shown(const std::string& text) { return ui.textShown(text, mainWindow); }
};

TEST_F(PresetRow, ASavedHostLanSetupComesBackAfterEverythingChanged)
{
    selectTab("Host Lan");
    EXPECT_TRUE(shown("No presets saved"));
    ui.pickComboEntry(in("Host Lan", "##GameModeSelection"), "Snow Day");
    ui.pickComboEntry(in("Host Lan", "##HostLanMapSelection"), "Mannfield (Night)");
    ui.openHeader(in("Host Lan", "Mutators Settings"));
    ui.pickComboEntry(mutator("Host Lan", "Match Length"), "Unlimited");
    ui.pickComboEntry(mutator("Host Lan", "Ball Type"), "Cube");

    saveAs("Night cube");
    EXPECT_FALSE(ui.windowShown("Save Preset"));
    EXPECT_TRUE(shown("Saved preset \"Night cube\"."));
    EXPECT_TRUE(fs::exists(root / "presets.json"));

    ui.pickComboEntry(in("Host Lan", "##GameModeSelection"), "Hoops");
    ui.pickComboEntry(in("Host Lan", "##HostLanMapSelection"), "Utopia Coliseum");
    ui.pickComboEntry(mutator("Host Lan", "Match Length"), "10 Minutes");
    ui.pickComboEntry(mutator("Host Lan", "Ball Type"), "Puck");
    EXPECT_FALSE(shown("Snow Day"));

    ui.pickComboEntry(in("Host Lan", "##Presets"), "Night cube");
    press(in("Host Lan", "Load"));
    EXPECT_TRUE(shown("Loaded preset \"Night cube\"."));
    EXPECT_TRUE(shown("Snow Day"));
    EXPECT_TRUE(shown("Mannfield (Night)"));
    EXPECT_TRUE(shown("Unlimited"));
    EXPECT_TRUE(shown("Cube"));
    EXPECT_FALSE(shown("Puck"));
    EXPECT_EQ(catalogue::BuildGameTags(plugin->mutatorSelections), "BotsNone,PlayerCount8,UnlimitedTime,Ball_CubeBall");

    // The same name asks first; the answer replaces it in place.
    ui.pickComboEntry(in("Host Lan", "##GameModeSelection"), "Rumble");
    press(in("Host Lan", "Save As..."));
    press("Save Preset/Save");
    EXPECT_TRUE(ui.textShown("A preset named \"Night cube\" already exists. Overwrite it?", "Save Preset"));
    press("Save Preset/Overwrite");
    EXPECT_TRUE(shown("Replaced preset \"Night cube\"."));
    ASSERT_EQ(plugin->presetStore.Presets().size(), 1u);
    EXPECT_EQ(plugin->presetStore.Presets()[0].setup.gameMode, "Rumble");

    press(in("Host Lan", "Delete"));
    EXPECT_TRUE(ui.textShown("Delete preset \"Night cube\"?", "Delete Preset"));
    press("Delete Preset/Delete");
    EXPECT_TRUE(shown("Deleted preset \"Night cube\"."));
    EXPECT_TRUE(shown("No presets saved"));
    EXPECT_THAT(plugin->presetStore.Presets(), IsEmpty());
}

TEST_F(PresetRow, ANameThatCannotBeOneKeepsThePopupOpenWithTheReason)
{
    selectTab("Host Lan");
    saveAs(std::string(41, 'x'));
    EXPECT_TRUE(ui.textShown("A preset name has at most 40 characters.", "Save Preset"));
    press("Save Preset/Cancel");
    EXPECT_FALSE(ui.windowShown("Save Preset"));
    EXPECT_THAT(plugin->presetStore.Presets(), IsEmpty());
}

TEST_F(PresetRow, ASetupCopiedInHostLanPastesIntoThePrivateMatchTab)
{
    selectTab("Host Lan");
    ui.pickComboEntry(in("Host Lan", "##GameModeSelection"), "Heatseeker");
    ui.pickComboEntry(in("Host Lan", "##HostLanMapSelection"), "Beckwith Park (Stormy)");
    ui.openHeader(in("Host Lan", "Mutators Settings"));
    ui.frames(2); // the window learns the panel's height before it can scroll to a row
    ui.pickComboEntry(mutator("Host Lan", "Game Event"), "Split Shot");
    press(in("Host Lan", "Copy Setup"));
    const std::string line =
        "kestrel-setup:1 mode=Heatseeker map=Park_Rainy_P tags=BotsNone,PlayerCount8,territory,thirtyseconds";
    EXPECT_EQ(ui.clipboard(), line);
    EXPECT_TRUE(shown("Setup copied to the clipboard."));

    plugin->mutatorSelections.clear();
    selectTab("Rocket League");
    press(in("Rocket League", "Paste Setup"));
    EXPECT_TRUE(shown("Setup loaded."));
    EXPECT_TRUE(shown("Heatseeker"));
    EXPECT_TRUE(shown("Beckwith Park (Stormy)"));
    host.console.clearLines();
    press(in("Rocket League", "Request Server"));
    EXPECT_THAT(host.console.lines(), ::testing::Contains("gameTags: BotsNone,PlayerCount8,territory,thirtyseconds"));
    EXPECT_THAT(host.console.lines(), ::testing::Contains("arena: Park_Rainy_P"));

    // The hosted-server tab offers custom maps only: the map stays, the rest loads.
    selectTab("Kestrel");
    press(in("Kestrel", "Paste Setup"));
    EXPECT_TRUE(shown("Setup loaded (1 item left as it was, see the console)."));
    EXPECT_EQ(plugin->kestrelTab.selectedGameMode, 5);
}

TEST_F(PresetRow, PasteRefusesWhatIsNotASetupLineAndChangesNothing)
{
    selectTab("Rocket League");
    ImGui::SetCurrentContext(ui.context());
    for (const std::string& text : {std::string("open evil_map?Listen"), std::string(3000, 'k'),
                                    std::string("kestrel-setup:1 mode=Soccar map=Park_P tags=BotsNone,PlayerCount8,Hack")}) {
        ImGui::SetClipboardText(text.c_str());
        press(in("Rocket League", "Paste Setup"));
    }
    EXPECT_TRUE(shown("Setup refused: unknown tag \"Hack\"."));
    EXPECT_EQ(hosting::RocketLeagueTab().selectedPrivateMap, 0);
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
    EXPECT_THAT(host.console.lines(), ::testing::IsSupersetOf({"Setup refused: not a setup line (one begins with \"kestrel-setup:\").",
                                                               "Setup refused: the line is longer than 2000 characters."}));
}

// The console runs on the game thread while the window draws: a setup loaded there lands whole (the thread
// sanitizer build checks that nothing is shared without the lock).
TEST_F(PresetRow, SetupsLoadedFromTheConsoleWhileTheTabDraws)
{
    selectTab("Host Lan");
    ui.openHeader(in("Host Lan", "Mutators Settings"));
    std::atomic<bool> done{false};
    std::thread console([&] {
        for (int i = 0; i < 100; ++i) {
            host.type(i % 2 == 0 ? "kz setup kestrel-setup:1 mode=Rumble map=Stadium_P tags=BotsNone,PlayerCount8,UnlimitedTime"
                                 : "kz setup kestrel-setup:1 mode=Hoops map=Park_P tags=BotsNone,PlayerCount8,LowGravity");
        }
        done = true;
    });
    while (!done) ui.frame();
    console.join();
    ui.frames(2);
    EXPECT_TRUE(shown("Hoops"));
    EXPECT_TRUE(shown("Beckwith Park"));
    EXPECT_EQ(catalogue::BuildGameTags(plugin->mutatorSelections), "BotsNone,PlayerCount8,LowGravity");
}

}  // namespace
}  // namespace kestrel::testing
