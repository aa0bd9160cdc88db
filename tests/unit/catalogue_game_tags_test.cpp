#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "catalogue/game_tags.h"
#include "catalogue/mutators.h"

using catalogue::BuildGameTags;

namespace {

// Chooses an option by its display name, as the settings panel would store it.
void Choose(MutatorSelections& selections, const std::string& label, const std::string& option) {
    for (const MutatorCategory& category : MutatorTable) {
        if (category.label != label) continue;
        for (std::size_t i = 0; i < category.options.size(); ++i) {
            if (category.options[i].displayName == option) {
                selections[label] = static_cast<int>(i);
                return;
            }
        }
    }
    throw std::invalid_argument(label + ": " + option);
}

MutatorSelections AllAtDefault() {
    MutatorSelections selections;
    for (const MutatorCategory& category : MutatorTable) selections[category.label] = 0;
    return selections;
}

}  // namespace

TEST(BuildGameTagsTest, NoChoiceGivesOnlyThePrefix) {
    EXPECT_EQ(BuildGameTags({}), "BotsNone,PlayerCount8");
    EXPECT_EQ(BuildGameTags(AllAtDefault()), "BotsNone,PlayerCount8");
}

TEST(BuildGameTagsTest, TagsFollowTableOrderNotChoiceOrder) {
    MutatorSelections selections = AllAtDefault();
    Choose(selections, "Gravity", "Low");
    Choose(selections, "Match Length", "10 Minutes");
    EXPECT_EQ(BuildGameTags(selections), "BotsNone,PlayerCount8,10Minutes,LowGravity");
}

TEST(BuildGameTagsTest, SplitShotAddsTwoTags) {
    MutatorSelections selections;
    Choose(selections, "Game Event", "Split Shot");
    EXPECT_EQ(BuildGameTags(selections), "BotsNone,PlayerCount8,territory,thirtyseconds");
}

TEST(BuildGameTagsTest, SameTagFromTwoCategoriesIsKeptTwice) {
    MutatorSelections selections;
    Choose(selections, "Max Goals", "1");
    Choose(selections, "Max Score", "1 Goal");
    EXPECT_EQ(BuildGameTags(selections), "BotsNone,PlayerCount8,Max1,Max1");
}

TEST(BuildGameTagsTest, IndicesOutsideTheOptionsAddNothing) {
    MutatorSelections selections = AllAtDefault();
    selections["Match Length"] = 4;  // one past "Unlimited"
    selections["Free Play"] = -1;
    selections["Gravity"] = 1'000'000;
    Choose(selections, "Game Mode", "Backwards Mode");
    selections["No Such Category"] = 1;
    EXPECT_EQ(BuildGameTags(selections), "BotsNone,PlayerCount8,BackwardsMode");
}

TEST(BuildGameTagsTest, LastOptionEverywhereGivesOneTagPerCategory) {
    MutatorSelections selections;
    for (const MutatorCategory& category : MutatorTable) {
        selections[category.label] = static_cast<int>(category.options.size()) - 1;
    }
    const std::string tags = BuildGameTags(selections);
    EXPECT_EQ(tags.rfind("BotsNone,PlayerCount8,OnlineFreeplay,UnlimitedTime,", 0), 0u) << tags;
    EXPECT_EQ(tags.find(",,"), std::string::npos) << tags;
    EXPECT_NE(tags.back(), ',');
    // One comma inside the prefix, one before each of the 44 tags, one inside the "Split Shot" pair.
    EXPECT_EQ(std::count(tags.begin(), tags.end(), ','), 46);
    EXPECT_TRUE(tags.ends_with(",BackwardsMode")) << tags;
}
