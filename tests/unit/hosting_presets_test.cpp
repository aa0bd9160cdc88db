// Saved presets on real files, and the console's preset and setup commands on the Host Lan tab.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "catalogue/game_modes.h"
#include "catalogue/game_tags.h"
#include "catalogue/maps.h"
#include "catalogue/setup_line.h"
#include "fake_host.h"
#include "hosting/custom_map_names.h"
#include "hosting/presets/preset_store.h"
#include "hosting/presets/setup_targets.h"
#include "hosting/tab_state.h"
#include "platform/narrow_name.h"
#include "plugin/logging.h"
#include "plugin_fixture.h"

namespace {

namespace fs = std::filesystem;
using catalogue::MapChoice;
using catalogue::MatchSetup;
using hosting::PresetStore;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Repeat(const std::string& text, int count)
{
    std::string repeated;
    for (int i = 0; i < count; ++i) repeated += text;
    return repeated;
}

MutatorSelections EveryCategoryChosen()
{
    MutatorSelections selections;
    for (const MutatorCategory& category : MutatorTable) selections[category.label] = static_cast<int>(category.options.size()) - 1;
    return selections;
}

// A temporary folder, the installed custom maps and the Host Lan tab, all put back afterwards.
struct PresetFiles : ::testing::Test {
    kestrel::testing::FakeHost host;
    fs::path root = fs::temp_directory_path() / ("kestrel-presets-" + std::to_string(std::random_device{}()));
    fs::path file = root / "Kestrel" / "presets.json";
    fs::path bad = root / "Kestrel" / "presets.json.bad";
    std::vector<std::string> savedCustomMaps = customMapNames;

    void SetUp() override
    {
        globalCvarManager = host.cvarManager;
        fs::create_directories(file.parent_path());
        customMapNames = {"Pillars Remake", "Obstacle Course"};
        hosting::LanHostTab() = {};
    }
    void TearDown() override
    {
        customMapNames = savedCustomMaps;
        hosting::LanHostTab() = {};
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string Shown(const fs::path& path) const { return platform::NarrowName(path); }
};

TEST_F(PresetFiles, EveryModeAndMapAndEveryMutatorCategorySurviveSaveAndLoad)
{
    const MutatorSelections every = EveryCategoryChosen();
    const std::vector<std::optional<MapChoice>> maps = {MapChoice{"Park_P", false}, MapChoice{"Obstacle Course", true}};
    struct Saved {
        std::string name;
        std::int32_t mode;
        std::optional<MapChoice> map;
    };
    std::vector<Saved> saved;
    {
        PresetStore store(file);
        hosting::LanHostSetupTarget target(hosting::LanHostTab());
        for (std::int32_t mode = 0; mode < static_cast<std::int32_t>(GameModeMenu.size()); ++mode) {
            for (const auto& map : maps) {
                hosting::LanHostTab().selectedGameMode = mode;
                ASSERT_FALSE(target.SelectMap(*map));
                const std::string name = std::string(GameModeMenu[static_cast<size_t>(mode)]) + (map->custom ? " custom" : "");
                const auto outcome = store.Save(name, catalogue::CaptureSetup(target, every), false);
                ASSERT_EQ(outcome.result, PresetStore::SaveResult::Saved) << outcome.message;
                EXPECT_EQ(outcome.message, "Saved preset \"" + name + "\".");
                saved.push_back({name, mode, map});
            }
        }
    }
    EXPECT_FALSE(fs::exists(fs::path(file).concat(".tmp")));

    PresetStore reread(file);
    reread.EnsureLoaded();
    ASSERT_EQ(reread.Presets().size(), saved.size());
    for (const Saved& each : saved) {
        hosting::LanHostTab() = {};
        MutatorSelections selections;
        hosting::LanHostSetupTarget target(hosting::LanHostTab());
        const hosting::Preset* preset = reread.Find(each.name);
        ASSERT_TRUE(preset) << each.name;
        EXPECT_THAT(catalogue::ApplySetup(preset->setup, target, selections), IsEmpty());
        EXPECT_EQ(hosting::LanHostTab().selectedGameMode, each.mode);
        EXPECT_EQ(hosting::LanHostTab().useCustomMaps, each.map->custom);
        EXPECT_EQ(hosting::LanHostTab().mapFileNames.at(static_cast<size_t>(hosting::LanHostTab().selectedMap)), each.map->name);
        EXPECT_EQ(selections, every);
        EXPECT_EQ(catalogue::BuildGameTags(selections), catalogue::BuildGameTags(every));
    }
}

TEST_F(PresetFiles, AFileThatIsNotAPresetsFileIsMovedAsideWithOneLine)
{
    PresetStore writer(file);
    ASSERT_EQ(writer.Save("Night", MatchSetup{"Soccar", MapChoice{"Park_P", false}, {}}, false).result,
              PresetStore::SaveResult::Saved);
    const std::string good = ReadFile(file);
    std::string many = "{\"presets\": [";
    for (int i = 0; i <= 100; ++i) many += (i ? "," : "") + std::string("{\"name\": \"p") + std::to_string(i) + "\", \"mode\": \"Soccar\"}";
    many += "]}";

    const struct {
        const char* what;
        std::string bytes;
        std::string problem;
    } cases[] = {
        {"empty", "", "it is empty"},
        {"truncated", good.substr(0, good.size() / 2), "it is not JSON (at byte " + std::to_string(good.size() / 2 + 1) + ")"},
        {"corrupt", "{\"presets\": [}\x01garbage", "it is not JSON (at byte 14)"},
        {"no list", "[1, 2]", "it has no \"presets\" list"},
        {"too many", many, "it holds more than 100 presets"},
        {"no name", "{\"presets\": [{\"mode\": \"Soccar\"}]}", "preset 1 has no name"},
        {"long name", "{\"presets\": [{\"name\": \"" + std::string(41, 'x') + "\", \"mode\": \"Soccar\"}]}",
         "preset 1: A preset name has at most 40 characters."},
        {"same names", "{\"presets\": [{\"name\": \"A\", \"mode\": \"Soccar\"}, {\"name\": \"a\", \"mode\": \"Hoops\"}]}",
         "two presets are named \"a\""},
        {"bad map", "{\"presets\": [{\"name\": \"A\", \"mode\": \"Soccar\", \"map\": 3}]}", "preset \"A\" has a map that is not a name"},
        {"bad mutators", "{\"presets\": [{\"name\": \"A\", \"mode\": \"Soccar\", \"mutators\": {\"Gravity\": 2}}]}",
         "preset \"A\" has mutators that are not a list of names"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        WriteFile(bad, "an older bad file");
        WriteFile(file, each.bytes);
        host.console.clearLines();

        PresetStore store(file);
        store.EnsureLoaded();
        EXPECT_THAT(store.Presets(), IsEmpty());
        EXPECT_THAT(host.console.lines(),
                    ElementsAre("Presets file " + Shown(file) + " is not a presets file (" + each.problem + "): moved it to " +
                                Shown(bad) + "; the preset list starts empty."));
        EXPECT_EQ(ReadFile(bad), each.bytes);
        EXPECT_FALSE(fs::exists(file));

        // The list starts over; the set-aside bytes stay.
        EXPECT_EQ(store.Save("Fresh", MatchSetup{"Hoops", std::nullopt, {}}, false).result, PresetStore::SaveResult::Saved);
        EXPECT_EQ(ReadFile(bad), each.bytes);
    }
}

TEST_F(PresetFiles, AFileThatCannotBeReadIsNeverOverwritten)
{
    fs::create_directories(file); // something is there, but not a file that can be read
    WriteFile(file / "inside", "kept");
    PresetStore store(file);
    store.EnsureLoaded();
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Presets: cannot read " + Shown(file) + "; presets are not saved until it can be read."));
    const auto outcome = store.Save("Night", MatchSetup{"Soccar", std::nullopt, {}}, false);
    EXPECT_EQ(outcome.result, PresetStore::SaveResult::Failed);
    EXPECT_EQ(outcome.message, "Preset \"Night\" not saved: the presets file " + Shown(file) + " cannot be read.");
    EXPECT_EQ(ReadFile(file / "inside"), "kept");
    EXPECT_FALSE(fs::exists(bad));
}

TEST_F(PresetFiles, AFailedWriteChangesNothing)
{
    const fs::path blocked = root / "not-a-folder";
    WriteFile(blocked, "x");
    PresetStore store(blocked / "presets.json");
    const auto outcome = store.Save("Night", MatchSetup{"Soccar", std::nullopt, {}}, false);
    EXPECT_EQ(outcome.result, PresetStore::SaveResult::Failed);
    EXPECT_THAT(outcome.message, ::testing::StartsWith("Preset \"Night\" not saved: cannot create " + Shown(blocked) + ": "));
    EXPECT_THAT(store.Presets(), IsEmpty());
}

TEST_F(PresetFiles, NamesAreTrimmedBoundedAndUniqueIgnoringCase)
{
    const struct {
        std::string typed;
        std::string name;
        std::string problem;
    } names[] = {
        {"  Rumble 3v3 \t", "Rumble 3v3", ""},
        {std::string(40, 'x'), std::string(40, 'x'), ""},
        {std::string(41, 'x'), std::string(41, 'x'), "A preset name has at most 40 characters."},
        {Repeat("\xc3\xa9", 40), Repeat("\xc3\xa9", 40), ""},
        {Repeat("\xc3\xa9", 41), Repeat("\xc3\xa9", 41), "A preset name has at most 40 characters."},
        {"", "", "A preset needs a name."},
        {"   ", "", "A preset needs a name."},
        {"a\nb", "a\nb", "A preset name cannot hold control characters or broken text."},
        {"a\xff", "a\xff", "A preset name cannot hold control characters or broken text."},
    };
    for (const auto& each : names) {
        const hosting::PresetName checked = hosting::CheckPresetName(each.typed);
        EXPECT_EQ(checked.problem, each.problem) << each.typed;
        if (!each.name.empty()) {
            EXPECT_EQ(checked.name, each.name);
        }
    }

    PresetStore store(file);
    const MatchSetup soccar{"Soccar", std::nullopt, {}};
    const MatchSetup hoops{"Hoops", std::nullopt, {}};
    ASSERT_EQ(store.Save("Night", soccar, false).result, PresetStore::SaveResult::Saved);
    ASSERT_EQ(store.Save("Day", soccar, false).result, PresetStore::SaveResult::Saved);
    const auto taken = store.Save(" NIGHT ", hoops, false);
    EXPECT_EQ(taken.result, PresetStore::SaveResult::NameTaken);
    EXPECT_EQ(taken.message, "A preset named \"Night\" already exists.");
    EXPECT_EQ(store.Find("night")->setup.gameMode, "Soccar");

    const auto replaced = store.Save(" NIGHT ", hoops, true);
    EXPECT_EQ(replaced.message, "Replaced preset \"NIGHT\".");
    ASSERT_EQ(store.Presets().size(), 2u);
    EXPECT_EQ(store.Presets()[0].name, "NIGHT");
    EXPECT_EQ(store.Presets()[0].setup.gameMode, "Hoops");

    for (int i = 2; i < 100; ++i) ASSERT_EQ(store.Save("p" + std::to_string(i), soccar, false).result, PresetStore::SaveResult::Saved);
    const auto full = store.Save("one more", soccar, false);
    EXPECT_EQ(full.result, PresetStore::SaveResult::Full);
    EXPECT_EQ(full.message, "There are already 100 presets; delete one first.");
    EXPECT_EQ(store.Save("day", hoops, true).result, PresetStore::SaveResult::Replaced);
    EXPECT_EQ(store.Remove("P50"), "Deleted preset \"p50\".");
    EXPECT_EQ(store.Remove("P50"), "No preset is named \"P50\".");

    PresetStore reread(file);
    reread.EnsureLoaded();
    EXPECT_EQ(reread.Presets().size(), 99u);
}

// A preset from an older plugin, a friend's machine or a hand edit: what this catalogue or these maps lack keeps
// its current value with one line each; the rest loads.
TEST_F(PresetFiles, WhatTheCatalogueLacksStaysAsItWasAndTheRestLoads)
{
    WriteFile(file, R"({"presets": [
        {"name": "Old", "mode": "Volleyball", "map": "Gone_P", "customMap": false,
         "mutators": {"Gravity": "Low", "Ball Type": "Cube v2", "Weather": "Rain"}},
        {"name": "Friend", "mode": "Hoops", "map": "Their Map", "customMap": true, "mutators": {"Match Length": "Unlimited"}},
        {"name": "Future", "mode": "Rumble", "map": "Park_P", "futureKey": [1, 2], "mutators": {}}
    ]})");
    PresetStore store(file);
    store.EnsureLoaded();
    ASSERT_EQ(store.Presets().size(), 3u);

    hosting::LanHostTabState& tab = hosting::LanHostTab();
    hosting::LanHostSetupTarget target(tab);
    tab.selectedGameMode = 3;
    ASSERT_FALSE(target.SelectMap(MapChoice{"Stadium_P", false}));
    MutatorSelections selections{{"Ball Type", 2}, {"Match Length", 1}};

    EXPECT_THAT(catalogue::ApplySetup(store.Find("Old")->setup, target, selections),
                ElementsAre("Game mode \"Volleyball\" is unknown; the mode stays as it was.",
                            "Map \"Gone_P\" is not a built-in map; the map stays as it was.",
                            "Mutator option \"Cube v2\" of \"Ball Type\" is unknown; that mutator stays as it was.",
                            "Mutator category \"Weather\" is unknown; skipped."));
    EXPECT_EQ(tab.selectedGameMode, 3);
    EXPECT_EQ(MapTableFileName(tab.selectedMap), "Stadium_P");
    EXPECT_EQ(selections.at("Ball Type"), 2);
    EXPECT_EQ(selections.at("Gravity"), 1);
    EXPECT_EQ(selections.at("Match Length"), 0);

    EXPECT_THAT(catalogue::ApplySetup(store.Find("Friend")->setup, target, selections),
                ElementsAre("Custom map \"Their Map\" is not installed; the map stays as it was."));
    EXPECT_EQ(tab.selectedGameMode, 1);
    EXPECT_FALSE(tab.useCustomMaps);
    EXPECT_EQ(catalogue::BuildGameTags(selections), "BotsNone,PlayerCount8,UnlimitedTime");

    EXPECT_THAT(catalogue::ApplySetup(store.Find("Future")->setup, target, selections), IsEmpty());
    EXPECT_EQ(MapTableFileName(tab.selectedMap), "Park_P");
}

struct PresetConsole : kestrel::testing::LoadedPlugin {
    fs::path root = fs::temp_directory_path() / ("kestrel-preset-console-" + std::to_string(std::random_device{}()));

    void SetUp() override
    {
        hosting::LanHostTab() = {};
        LoadedPlugin::SetUp();
        plugin->presetStore = PresetStore(root / "presets.json");
    }
    void TearDown() override
    {
        hosting::LanHostTab() = {};
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::vector<std::string> Typed(const std::string& line)
    {
        host.console.clearLines();
        host.type(line);
        return host.console.lines();
    }
};

TEST_F(PresetConsole, PresetsSaveLoadListAndDeleteTheHostLanSetup)
{
    hosting::LanHostTabState& tab = hosting::LanHostTab();
    tab.selectedGameMode = 4;
    tab.selectedMap = 31;
    plugin->mutatorSelections = {{"Match Length", 3}, {"Gravity", 1}};

    EXPECT_THAT(Typed("kz preset list"), ElementsAre("No presets saved."));
    EXPECT_THAT(Typed("kz preset save Snowy  park"), ElementsAre("Saved preset \"Snowy park\"."));
    EXPECT_THAT(Typed("kz preset save SNOWY PARK"),
                ElementsAre("A preset named \"Snowy park\" already exists. Delete it first (kz preset delete) to save "
                            "under that name."));
    EXPECT_THAT(Typed("kz preset list"), ElementsAre("Presets (1):", "  Snowy park"));

    tab.selectedGameMode = 0;
    tab.selectedMap = 2;
    plugin->mutatorSelections = {{"Ball Type", 1}};
    EXPECT_THAT(Typed("kz preset load snowy park"), ElementsAre("Loaded preset \"Snowy park\"."));
    EXPECT_EQ(tab.selectedGameMode, 4);
    EXPECT_EQ(MapTableFileName(tab.selectedMap), "Park_P");
    EXPECT_EQ(catalogue::BuildGameTags(plugin->mutatorSelections), "BotsNone,PlayerCount8,UnlimitedTime,LowGravity");

    EXPECT_THAT(Typed("kz preset load Nothing"), ElementsAre("No preset is named \"Nothing\"."));
    EXPECT_THAT(Typed("kz preset delete Snowy park"), ElementsAre("Deleted preset \"Snowy park\"."));
    EXPECT_THAT(Typed("kz preset delete Snowy park"), ElementsAre("No preset is named \"Snowy park\"."));
    for (const char* usage : {"kz preset", "kz preset save", "kz preset load", "kz preset rename a b", "kz preset list x"})
        EXPECT_THAT(Typed(usage), ElementsAre("usage: kz preset list | save <name> | load <name> | delete <name>")) << usage;
}

TEST_F(PresetConsole, SetupPrintsTheLineAndLoadsOne)
{
    hosting::LanHostTabState& tab = hosting::LanHostTab();
    tab.selectedGameMode = 4;
    tab.selectedMap = 31;
    plugin->mutatorSelections = {{"Match Length", 3}, {"Game Event", 3}};
    const std::string line = "kestrel-setup:1 mode=Snow%20Day map=Park_P tags=BotsNone,PlayerCount8,UnlimitedTime,territory,thirtyseconds";
    EXPECT_THAT(Typed("kz setup"), ElementsAre(line));

    tab = {};
    plugin->mutatorSelections.clear();
    EXPECT_THAT(Typed("kz setup " + line), ElementsAre("Setup loaded."));
    EXPECT_THAT(Typed("kz setup"), ElementsAre(line));

    EXPECT_THAT(Typed("kz setup kestrel-setup:1 mode=Soccar map=Park_P tags=BotsNone,PlayerCount8,NoSuchTag"),
                ElementsAre("Setup refused: unknown tag \"NoSuchTag\"."));
    EXPECT_THAT(Typed("kz setup kestrel-setup:1 mode=Hoops custom-map=Elsewhere tags=BotsNone,PlayerCount8"),
                ElementsAre("Custom map \"Elsewhere\" is not installed; the map stays as it was.",
                            "Setup loaded (1 item left as it was, see the console)."));
    EXPECT_EQ(tab.selectedGameMode, 1);
    EXPECT_EQ(MapTableFileName(tab.selectedMap), "Park_P");
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
}

} // namespace
