// The map selector's filter and index rules, without drawing.
#include <gtest/gtest.h>

#include <cstring>

#include "catalogue/map_search.h"

namespace {

using catalogue::MapNameMatches;

TEST(MapNameMatches, IgnoresAsciiCaseAndNeedsAContiguousRun)
{
    EXPECT_TRUE(MapNameMatches("park", "Beckwith Park (Midnight)"));
    EXPECT_TRUE(MapNameMatches("PARK (mid", "Beckwith Park (Midnight)"));
    EXPECT_TRUE(MapNameMatches("", "Mannfield"));
    EXPECT_FALSE(MapNameMatches("beckpark", "Beckwith Park"));
    // A name that is a prefix of the search is still too short for it.
    EXPECT_FALSE(MapNameMatches("Mannfield (Night)x", "Mannfield (Night)"));
    EXPECT_FALSE(MapNameMatches("a", ""));
    // Only ASCII letters fold: other bytes must match as they are.
    EXPECT_TRUE(MapNameMatches("\xC3\xA9t\xC3\xA9", "L'\xC3\xA9T\xC3\xA9"));
    EXPECT_FALSE(MapNameMatches("\xC3\xA9", "\xC3\x89"));
}

TEST(MapIndex, ResetsPastTheEndAndKeepsNegative)
{
    std::int32_t index = 65;
    catalogue::ClampMapIndex(index, 65);
    EXPECT_EQ(index, 0);
    index = 64;
    catalogue::ClampMapIndex(index, 65);
    EXPECT_EQ(index, 64);
    index = -1;
    catalogue::ClampMapIndex(index, 65);
    EXPECT_EQ(index, -1);
    index = 0;
    catalogue::ClampMapIndex(index, 0);
    EXPECT_EQ(index, 0);

    const std::vector<std::string> names{"Mannfield", "Urban Central"};
    EXPECT_EQ(catalogue::MapPreview(1, names), "Urban Central");
    EXPECT_EQ(catalogue::MapPreview(-1, names), "Select a map");
    EXPECT_EQ(catalogue::MapPreview(0, {}), "Select a map");
}

TEST(SearchText, StopsAtTheZeroOrAtSixtyThreeBytes)
{
    char buffer[catalogue::mapSearchBufferSize];
    std::memset(buffer, 'x', sizeof buffer);  // no zero byte at all
    EXPECT_EQ(catalogue::SearchText(buffer, sizeof buffer).size(), 63u);
    std::strcpy(buffer, "park");
    EXPECT_EQ(catalogue::SearchText(buffer, sizeof buffer), "park");
}

}  // namespace
