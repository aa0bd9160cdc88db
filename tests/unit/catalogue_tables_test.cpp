#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <iterator>
#include <numeric>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/game_modes.h"
#include "catalogue/maps.h"
#include "catalogue/mutators.h"

namespace {

std::string MapKeyAt(std::size_t index) { return std::next(MapTable.begin(), static_cast<std::ptrdiff_t>(index))->first; }
std::string MapNameAt(std::size_t index) { return std::next(MapTable.begin(), static_cast<std::ptrdiff_t>(index))->second; }

}  // namespace

TEST(GameModeTableTest, IteratesInByteOrderOfDisplayNames) {
    std::vector<std::string> names;
    for (const auto& [name, gameInfo] : GameModeTable) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Dropshot", "Gridiron", "Heatseeker", "Hoops", "Rumble", "Snow Day",
                                               "Soccar", "SplitShot"}));
}

TEST(GameModeTableTest, MenuEntriesResolveAndSplitShotIsNotOffered) {
    EXPECT_STREQ(GameModeMenu[0], "Soccar");
    EXPECT_STREQ(GameModeMenu[4], "Snow Day");
    EXPECT_STREQ(GameModeMenu[6], "Gridiron");
    for (const char* name : GameModeMenu) {
        EXPECT_NO_THROW(GameModeTable.at(name)) << name;
        EXPECT_STRNE(name, "SplitShot");
    }
    EXPECT_EQ(GameModeTable.at(GameModeMenu[0]), "TAGame.GameInfo_Soccar_TA");
    // The lower-case "i" is the game's own spelling and must not be "corrected".
    EXPECT_EQ(GameModeTable.at(GameModeMenu[4]), "TAGame.Gameinfo_Hockey_TA");
    EXPECT_THROW(GameModeTable.at("Soccer"), std::out_of_range);
}

TEST(MapTableTest, HasAllMapsWithFirstAndLastInKeyOrder) {
    ASSERT_EQ(MapTable.size(), 65u);
    EXPECT_EQ(MapTable.begin()->second, "Starbase ARC (Aftermath)");
    EXPECT_EQ(MapTable.rbegin()->second, "Wasteland");
    EXPECT_EQ(MapKeyAt(64), "wasteland_s_p");
}

TEST(MapTableTest, UpperCaseKeysSortBeforeLowerCaseKeys) {
    EXPECT_EQ(MapKeyAt(47), "Wasteland_P");
    EXPECT_EQ(MapNameAt(47), "Badlands");
    EXPECT_EQ(MapKeyAt(48), "arc_standard_p");
    EXPECT_EQ(MapNameAt(48), "Starbase ARC");
    std::size_t index = 0;
    for (const auto& [key, name] : MapTable) {
        const bool lower = std::islower(static_cast<unsigned char>(key.front())) != 0;
        EXPECT_EQ(lower, index >= 48) << key;
        EXPECT_FALSE(name.empty()) << key;
        ++index;
    }
}

TEST(MapTableTest, DuplicateDisplayNamesStayDistinctChoices) {
    EXPECT_EQ(MapKeyAt(31), "Park_P");
    EXPECT_EQ(MapKeyAt(59), "park_bman_p");
    EXPECT_EQ(MapNameAt(31), "Beckwith Park");
    EXPECT_EQ(MapNameAt(59), "Beckwith Park");
}

TEST(MutatorTableTest, CategoryAndOptionCounts) {
    ASSERT_EQ(MutatorTable.size(), 44u);
    std::vector<std::size_t> counts;
    for (const MutatorCategory& category : MutatorTable) counts.push_back(category.options.size());
    const std::vector<std::size_t> expected{3, 4, 6,  3, 2, 4, 3, 4, 10, 4, 10, 5, 4, 4, 16, 10, 4, 5, 5, 4, 2, 2,
                                            4, 4, 3,  4, 4, 7, 3, 7, 9,  15, 3, 6, 6, 4, 6, 6, 4, 6, 4, 6, 2, 2};
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), std::size_t{0}), 229u);
}

TEST(MutatorTableTest, OnlyOptionZeroIsEmptyAndLabelsAreUnique) {
    std::set<std::string> labels;
    for (const MutatorCategory& category : MutatorTable) {
        EXPECT_TRUE(labels.insert(category.label).second) << category.label;
        ASSERT_FALSE(category.options.empty()) << category.label;
        EXPECT_TRUE(category.options[0].tagValue.empty()) << category.label;
        for (std::size_t i = 1; i < category.options.size(); ++i) {
            EXPECT_FALSE(category.options[i].tagValue.empty()) << category.label << " #" << i;
        }
    }
}
