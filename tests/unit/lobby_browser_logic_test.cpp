// The lobby browser's logic without ImGui: wildcard filters and joining.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "plugin_fixture.h"
#include "lobby/lobby_address.h"
#include "lobby/lobby_filter.h"
#include "lobby/lobby_row_texts.h"
#include "lobby/wildcard.h"
#include "plugin/matchbay.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(Wildcard, FilterExamples)
{
    // A plain word is an exact, case-sensitive match.
    EXPECT_TRUE(WildcardMatch("Scrims", "Scrims"));
    EXPECT_FALSE(WildcardMatch("Scrims", "scrims"));
    EXPECT_FALSE(WildcardMatch("Scrims", "Scrims 2"));
    // Trailing star: names that begin with the word.
    EXPECT_TRUE(WildcardMatch("Scrims*", "Scrims"));
    EXPECT_TRUE(WildcardMatch("Scrims*", "Scrims 2"));
    EXPECT_FALSE(WildcardMatch("Scrims*", "My Scrims"));
    // Leading star: names that end with it, not names that only begin with it.
    EXPECT_TRUE(WildcardMatch("*Scrims", "My Scrims"));
    EXPECT_FALSE(WildcardMatch("*Scrims", "Scrims 2"));
    EXPECT_TRUE(WildcardMatch("*rim*", "My Scrims 2"));
    // "?" is exactly one byte.
    EXPECT_TRUE(WildcardMatch("?crims", "Scrims"));
    EXPECT_FALSE(WildcardMatch("?crims", "crims"));
    EXPECT_FALSE(WildcardMatch("?", ""));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(WildcardMatch("", ""));
    EXPECT_FALSE(WildcardMatch("", "a"));
    EXPECT_TRUE(WildcardMatch("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(WildcardMatch("a*b*c", "aXbYbZ"));
}

// Independent reference: the classic dynamic programme over prefixes.
bool ReferenceMatch(const std::string& pattern, const std::string& text)
{
    std::vector<std::vector<bool>> match(pattern.size() + 1, std::vector<bool>(text.size() + 1, false));
    match[0][0] = true;
    for (size_t p = 1; p <= pattern.size(); ++p) {
        for (size_t t = 0; t <= text.size(); ++t) {
            if (pattern[p - 1] == '*')
                match[p][t] = match[p - 1][t] || (t > 0 && match[p][t - 1]);
            else if (t > 0)
                match[p][t] = match[p - 1][t - 1] && (pattern[p - 1] == '?' || pattern[p - 1] == text[t - 1]);
        }
    }
    return match[pattern.size()][text.size()];
}

TEST(Wildcard, AgreesWithAReferenceMatcherOnRandomPatterns)
{
    std::mt19937 random(20261208);
    const std::string patternBytes = "*?ab";
    const std::string textBytes = "abc";
    auto draw = [&](const std::string& alphabet, size_t maxLength) {
        std::string s(std::uniform_int_distribution<size_t>(0, maxLength)(random), ' ');
        for (char& c : s) c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
        return s;
    };
    for (int i = 0; i < 50000; ++i) {
        const std::string pattern = draw(patternBytes, 7);
        const std::string text = draw(textBytes, 9);
        ASSERT_EQ(WildcardMatch(pattern.c_str(), text.c_str()), ReferenceMatch(pattern, text))
            << "pattern \"" << pattern << "\" text \"" << text << "\"";
    }
}

MatchListing Listing(std::string id, std::string name, std::string map, std::string address = "127.0.0.1", int port = 7777)
{
    return MatchListing{std::move(id), std::move(name), std::move(address), port, std::move(map), 2, 5, ""};
}

TEST(LobbyFilters, BothFiltersMustMatchAndEmptyMatchesAll)
{
    auto listings = std::make_shared<const std::vector<MatchListing>>(std::vector<MatchListing>{
        Listing("1", "Scrims", "Park_P"), Listing("2", "Scrims EU", "Stadium_P"), Listing("3", "Chill", "Park_Night_P")});
    lobby::LobbyFilterCache cache;
    EXPECT_THAT(cache.Visible(listings, "", ""), ElementsAre(0u, 1u, 2u));
    EXPECT_THAT(cache.Visible(listings, "Scrims*", ""), ElementsAre(0u, 1u));
    EXPECT_THAT(cache.Visible(listings, "Scrims*", "Park*"), ElementsAre(0u));
    EXPECT_THAT(cache.Visible(listings, "", "Park*"), ElementsAre(0u, 2u));
    EXPECT_THAT(cache.Visible(listings, "Nobody", ""), IsEmpty());
    // A new list with the same filters is filtered afresh.
    auto next = std::make_shared<const std::vector<MatchListing>>(std::vector<MatchListing>{Listing("9", "Scrims", "Park_P")});
    EXPECT_THAT(cache.Visible(next, "Scrims*", "Park*"), ElementsAre(0u));
    EXPECT_THAT(cache.Visible(nullptr, "", ""), IsEmpty());
}

TEST(LobbyRows, LabelsMarkTheOwnLobby)
{
    struct Case {
        const char* id;
        const char* own;
        const char* label;
    };
    // The row's id is its position (the window pushes it), never the remote id.
    const Case cases[] = {
        {"7", "7", "Scrims (you)"},
        {"7", "8", "Scrims"},
        {"7", "", "Scrims"},
        {"", "", "Scrims (you)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.id) + " own " + c.own);
        EXPECT_EQ(lobby::LobbyRowLabel(Listing(c.id, "Scrims", "Park_P"), c.own), c.label);
    }
}

TEST(LobbyRows, TextsFollowTheListAndTheOwnLobby)
{
    MatchListing first = Listing("1", "Scrims", "Park_P");
    first.playerCount = 4;
    first.secondsSinceUpdate = 37;
    auto listings = std::make_shared<const std::vector<MatchListing>>(std::vector<MatchListing>{first, Listing("2", "Chill", "Park_P")});
    lobby::LobbyRowTextCache cache;
    const auto& rows = cache.Rows(listings, "");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].label, "Scrims");
    EXPECT_EQ(rows[0].players, "4");
    EXPECT_EQ(rows[0].seconds, "37");
    EXPECT_EQ(cache.Rows(listings, "2")[1].label, "Chill (you)");
    EXPECT_EQ(cache.Rows(listings, "2")[0].label, "Scrims");
    // A new list with the same content is a new answer from the service: its numbers are read afresh.
    MatchListing updated = first;
    updated.secondsSinceUpdate = 1;
    auto next = std::make_shared<const std::vector<MatchListing>>(std::vector<MatchListing>{updated});
    ASSERT_EQ(cache.Rows(next, "2").size(), 1u);
    EXPECT_EQ(cache.Rows(next, "2")[0].seconds, "1");
    EXPECT_THAT(cache.Rows(nullptr, ""), IsEmpty());
}

TEST(LobbyAddress, OnlyPlainHostNamesAndIPv4Pass)
{
    for (const char* good : {"127.0.0.1", "lobby-3.example.org", "LOCALHOST", "10.0.0.254"})
        EXPECT_TRUE(lobby::IsPlainHostAddress(good)) << good;
    for (const char* bad : {"", "1.2.3.4?Listen", "1.2.3.4;quit", "host name", "1.2.3.4\nexit", "a:1", "[::1]",
                            "x/y", "a?game=TAGame.GameInfo_Soccar_TA", "\"quoted\""})
        EXPECT_FALSE(lobby::IsPlainHostAddress(bad)) << bad;
}

using Joining = kestrel::testing::LoadedPlugin;

TEST_F(Joining, PostsTheTravelCommandToTheGameThread)
{
    plugin->JoinLobby(Listing("1", "Scrims", "Park_P", "127.0.0.1", 7777));
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
    plugin->lobbyPassword = "changed after the press";
    EXPECT_EQ(host.game.runPosted(), 1);
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open 127.0.0.1:7777?Lan?Password="));

    plugin->lobbyPassword = "s3cret?x";
    plugin->JoinLobby(Listing("2", "EU", "Park_P", "lobby.example.org", 7800));
    host.game.runPosted();
    EXPECT_EQ(host.game.unrealCommands().back(), "open lobby.example.org:7800?Lan?Password=s3cret?x");
    EXPECT_THAT(host.console.lines(), IsEmpty());
}

} // namespace
