// The setup line: what one tab writes, another reads back to the same match, and what a stranger may not paste.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/game_modes.h"
#include "catalogue/game_tags.h"
#include "catalogue/maps.h"
#include "catalogue/match_setup.h"
#include "catalogue/setup_line.h"

namespace {

using catalogue::MapChoice;
using catalogue::MatchSetup;
using ::testing::StartsWith;

// Every category at a chosen option: the last one, or the one before it in every other category.
MutatorSelections EveryCategoryChosen()
{
    MutatorSelections selections;
    for (size_t i = 0; i < MutatorTable.size(); ++i) {
        const int options = static_cast<int>(MutatorTable[i].options.size());
        selections[MutatorTable[i].label] = i % 2 == 0 || options < 3 ? options - 1 : options - 2;
    }
    return selections;
}

MatchSetup MakeSetup(std::string mode, std::optional<MapChoice> map, const MutatorSelections& selections)
{
    return MatchSetup{std::move(mode), std::move(map), catalogue::NamedMutators(selections)};
}

std::string Tags(const MatchSetup& setup) { return catalogue::BuildGameTags(catalogue::SelectionsFromNames(setup.mutators)); }

TEST(SetupLine, EveryModeAndBothKindsOfMapSurviveWritingAndReading)
{
    const MutatorSelections every = EveryCategoryChosen();
    ASSERT_EQ(catalogue::NamedMutators(every).size(), MutatorTable.size());
    const std::vector<std::optional<MapChoice>> maps = {
        MapChoice{"Park_P", false}, MapChoice{"stadium_day_p", false}, MapChoice{"Pillars Remake; v2 100%", true},
        MapChoice{"Ünïcode map", true}, std::nullopt};
    for (const char* mode : GameModeMenu) {
        for (const auto& map : maps) {
            const MatchSetup setup = MakeSetup(mode, map, every);
            const std::string line = catalogue::WriteSetupLine(setup);
            SCOPED_TRACE(line);
            EXPECT_THAT(line, StartsWith("kestrel-setup:1 mode="));
            EXPECT_EQ(line.find_first_of("\";|\\"), std::string::npos);
            EXPECT_EQ(std::count(line.begin(), line.end(), ' '), map ? 3 : 2);

            const auto reading = catalogue::ReadSetupLine(line);
            ASSERT_TRUE(reading.setup) << reading.refusal;
            EXPECT_EQ(reading.setup->gameMode, mode);
            EXPECT_EQ(reading.setup->map.has_value(), map.has_value());
            if (map) {
                EXPECT_EQ(reading.setup->map->name, map->name);
                EXPECT_EQ(reading.setup->map->custom, map->custom);
            }
            EXPECT_EQ(Tags(*reading.setup), catalogue::BuildGameTags(every));
            EXPECT_EQ(reading.setup->mutators, setup.mutators);
        }
    }
}

TEST(SetupLine, ReadsAsPeopleWriteIt)
{
    const auto reading = catalogue::ReadSetupLine(
        "  kestrel-setup:1   mode=Snow%20Day map=Park_P tags=BotsNone,PlayerCount8,UnlimitedTime,LowGravity\r\n");
    ASSERT_TRUE(reading.setup) << reading.refusal;
    EXPECT_EQ(reading.setup->gameMode, "Snow Day");
    EXPECT_EQ(reading.setup->map->name, "Park_P");
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(reading.setup->mutators, (std::vector<Pair>{{"Match Length", "Unlimited"}, {"Gravity", "Low"}}));
    EXPECT_EQ(catalogue::WriteSetupLine(*reading.setup),
              "kestrel-setup:1 mode=Snow%20Day map=Park_P tags=BotsNone,PlayerCount8,UnlimitedTime,LowGravity");
}

// Some tags belong to two categories, and "Split Shot" writes two tags: the text read back is what was written,
// even where the choice behind it moves to the earlier category.
TEST(SetupLine, SharedAndDoubleTagsGiveTheSameGameTags)
{
    const std::vector<MutatorSelections> choices = {
        {{"Max Goals", 1}},                                      // "Max1", also "Max Score"'s "1 Goal"
        {{"Max Score", 1}, {"Max Goals", 1}},                    // "Max1" twice
        {{"Goal Delay", 1}},                                     // "DisableGoalDelay", also under "Respawn Time"
        {{"Demo Mode", 5}, {"Demolish", 1}},                     // "NoDemolish" in both
        {{"Game Event", 3}},                                     // "territory,thirtyseconds"
        {{"Boost Strength", 2}, {"Boosts Amount", 10}},          // "BoostMultiplier2x" twice
    };
    for (const MutatorSelections& choice : choices) {
        const std::string tags = catalogue::BuildGameTags(choice);
        SCOPED_TRACE(tags);
        const auto reading = catalogue::ReadSetupLine("kestrel-setup:1 mode=Soccar tags=" + tags);
        ASSERT_TRUE(reading.setup) << reading.refusal;
        EXPECT_EQ(Tags(*reading.setup), tags);
    }
    const auto moved = catalogue::SelectionsFromGameTags("BotsNone,PlayerCount8,Max1");
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->at("Max Score"), 1);
    EXPECT_EQ(moved->at("Max Goals"), 0);
}

TEST(SetupLine, RefusesAnythingElseWithOneReason)
{
    const std::string valid = "kestrel-setup:1 mode=Soccar map=Park_P tags=BotsNone,PlayerCount8,UnlimitedTime";
    const std::string longLine = valid + std::string(2001 - valid.size(), ' ');
    const struct {
        std::string line;
        std::string refusal;
    } cases[] = {
        {longLine, "Setup refused: the line is longer than 2000 characters."},
        {"kestrel-setup:1 mode=Soccar\ttags=BotsNone,PlayerCount8", "Setup refused: the line holds a control character."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8\nopen evil", "Setup refused: the line holds a control character."},
        {"kestrel-setup:1 mode=Soccar custom-map=a%0Ab tags=BotsNone,PlayerCount8", "Setup refused: the line holds a control character."},
        {"", "Setup refused: not a setup line (one begins with \"kestrel-setup:\")."},
        {"Player: kestrel-setup:1 mode=Soccar", "Setup refused: not a setup line (one begins with \"kestrel-setup:\")."},
        {"kestrel-setup:2 mode=Soccar tags=BotsNone,PlayerCount8", "Setup refused: version \"2\" is not supported (this Kestrel reads version 1)."},
        {"kestrel-setup:1 mode=Volleyball tags=BotsNone,PlayerCount8", "Setup refused: unknown mode \"Volleyball\"."},
        {"kestrel-setup:1 mode=SplitShot tags=BotsNone,PlayerCount8", "Setup refused: unknown mode \"SplitShot\"."},
        {"kestrel-setup:1 mode=soccar tags=BotsNone,PlayerCount8", "Setup refused: unknown mode \"soccar\"."},
        {"kestrel-setup:1 mode=Soccar map=Park_Q tags=BotsNone,PlayerCount8", "Setup refused: unknown map \"Park_Q\"."},
        {"kestrel-setup:1 mode=Soccar map=..%2Fx tags=BotsNone,PlayerCount8", "Setup refused: unknown map \"../x\"."},
        {"kestrel-setup:1 mode=Soccar custom-map=..%2F..%2Fevil tags=BotsNone,PlayerCount8", "Setup refused: \"../../evil\" is not a custom map name."},
        {"kestrel-setup:1 mode=Soccar custom-map=a%7Cquit tags=BotsNone,PlayerCount8", "Setup refused: \"a|quit\" is not a custom map name."},
        {"kestrel-setup:1 mode=Soccar map=Park_P custom-map=X tags=BotsNone,PlayerCount8", "Setup refused: a setup has one map, but both map= and custom-map= are given."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8,Godmode", "Setup refused: unknown tag \"Godmode\"."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8,?Listen", "Setup refused: unknown tag \"?Listen\"."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8,,LowGravity", "Setup refused: the tags hold an empty entry."},
        {"kestrel-setup:1 mode=Soccar tags=UnlimitedTime", "Setup refused: the tags are not one mutator choice (they begin with \"BotsNone,PlayerCount8\", then at most one tag per category, in the settings' order)."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8,LowGravity,LowGravity", "Setup refused: the tags are not one mutator choice (they begin with \"BotsNone,PlayerCount8\", then at most one tag per category, in the settings' order)."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8,LowGravity,UnlimitedTime", "Setup refused: the tags are not one mutator choice (they begin with \"BotsNone,PlayerCount8\", then at most one tag per category, in the settings' order)."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8,thirtyseconds", "Setup refused: the tags are not one mutator choice (they begin with \"BotsNone,PlayerCount8\", then at most one tag per category, in the settings' order)."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8 password=x", "Setup refused: unknown field \"password\"."},
        {"kestrel-setup:1 mode=Soccar mode=Hoops tags=BotsNone,PlayerCount8", "Setup refused: the field \"mode\" appears twice."},
        {"kestrel-setup:1 mode=Soccar tags=BotsNone,PlayerCount8 Park_P", "Setup refused: \"Park_P\" is not a field (fields are written key=value)."},
        {"kestrel-setup:1 tags=BotsNone,PlayerCount8", "Setup refused: the field \"mode\" is missing."},
        {"kestrel-setup:1 mode=Soccar map=Park_P", "Setup refused: the field \"tags\" is missing."},
        {"kestrel-setup:1 mode=Snow%2 tags=BotsNone,PlayerCount8", "Setup refused: a broken %-escape in \"mode=Snow%2\"."},
        {"kestrel-setup:1 mode=Snow%zzDay tags=BotsNone,PlayerCount8", "Setup refused: a broken %-escape in \"mode=Snow%zzDay\"."},
    };
    for (const auto& each : cases) {
        const auto reading = catalogue::ReadSetupLine(each.line);
        EXPECT_FALSE(reading.setup) << each.line;
        EXPECT_EQ(reading.refusal, each.refusal) << each.line;
    }
    EXPECT_TRUE(catalogue::ReadSetupLine(valid + std::string(2000 - valid.size(), ' ')).setup);
}

TEST(SetupLine, QuotedStrangerTextIsShortAndPrintable)
{
    const auto reading = catalogue::ReadSetupLine("kestrel-setup:1 mode=" + std::string(500, 'x') + " tags=BotsNone,PlayerCount8");
    EXPECT_EQ(reading.refusal, "Setup refused: unknown mode \"" + std::string(60, 'x') + "...\".");
    EXPECT_EQ(catalogue::QuotedName("a\x1b[2Jb"), "\"a?[2Jb\"");
}

} // namespace
