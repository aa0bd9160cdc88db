// The "kz" notifier as a player types it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hosting/match_password.h"
#include "plugin_fixture.h"
#include "plugin/matchbay.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Console : kestrel::testing::LoadedPlugin {
    matchbay& plugin = *LoadedPlugin::plugin;
};

TEST_F(Console, LaunchSendsTheTravelCommandAtOnce)
{
    host.type("kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone,PlayerCount8 ?Lan?Listen extra words");
    const std::string command = "open Park_P?Playtest?game=TAGame.GameInfo_Soccar_TA?GameTags=BotsNone,PlayerCount8?Lan?Listen";
    EXPECT_THAT(host.console.lines(), ElementsAre("Park_P", "TAGame.GameInfo_Soccar_TA", "BotsNone,PlayerCount8",
                                                  "?Lan?Listen", command));
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre(command));
    EXPECT_EQ(host.game.postedCount(), 0u);
}

TEST_F(Console, LaunchWithTooFewWordsOnlyPrintsUsage)
{
    for (const char* line : {"kz kzlaunch", "kz kzlaunch Park_P", "kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone"}) {
        host.console.clearLines();
        host.type(line);
        EXPECT_THAT(host.console.lines(), ElementsAre("usage: rp kzlaunch [arena] [gamemode] [gametags] [networkoptions]"))
            << line;
    }
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
}

TEST_F(Console, LaunchValuesReachTheGameUnchecked)
{
    host.type("kz kzlaunch \"\" bad tags \"\"");
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open ?Playtest?game=bad?GameTags=tags"));
}

TEST_F(Console, AddBotAppendsOneNameAndAcceptsDuplicates)
{
    host.type("kz addBot");
    EXPECT_THAT(host.console.lines(), ElementsAre("usage: addBot [botName]"));
    EXPECT_EQ(plugin.BotNameCount(), 0u);

    host.console.clearLines();
    host.type("kz addBot Nexto Necto");
    host.type("kz addBot Nexto");
    EXPECT_THAT(host.console.lines(), ElementsAre("Added bot: Nexto", "Added bot: Nexto"));
    EXPECT_THAT(plugin.BotNamesSnapshot(), ElementsAre("Nexto", "Nexto"));
    EXPECT_EQ(plugin.BotNameCount(), 2u);
}

TEST_F(Console, AddBotNameIsAnOwnedCopy)
{
    std::vector<std::string> words{"kz", "addBot", "Kamikaze"};
    plugin.HandleConsoleCommand(words);
    words[2] = "changed";
    words.clear();
    EXPECT_THAT(plugin.BotNamesSnapshot(), ElementsAre("Kamikaze"));
}

TEST_F(Console, SubCommandsAreCaseSensitive)
{
    host.type("kz Announcement");
    host.type("kz ADDBOT x");
    host.type("kz KzLaunch a b c d");
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Invalid command: Announcement", "Invalid command: ADDBOT", "Invalid command: KzLaunch"));
    EXPECT_THAT(host.game.controllerService.said(), IsEmpty());
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
}

TEST_F(Console, AnnouncementSpeaksAsTheServer)
{
    host.type("kz announcement ignored");
    auto said = host.game.controllerService.said();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].text, "Hello, this is a server message.");
    EXPECT_EQ(said[0].channel, 0);
    EXPECT_FALSE(said[0].preset);
    EXPECT_THAT(host.console.lines(), IsEmpty());
}

TEST_F(Console, AnnouncementWithoutControllerDoesNothing)
{
    host.game.setPlayerControllerAvailable(false);
    host.type("kz announcement");
    EXPECT_THAT(host.game.controllerService.said(), IsEmpty());
    EXPECT_THAT(host.console.lines(), IsEmpty());
}

TEST_F(Console, PasswordSetsOrClearsTheMatchPasswordWithoutPrintingIt)
{
    hosting::MatchPassword().Set("");
    host.type("kz password door");
    EXPECT_EQ(hosting::MatchPassword().Get(), "door");
    host.type("kz password \"two words\"");
    host.type("kz password \"door\\nquit\"");
    host.type("kz password one two");
    EXPECT_EQ(hosting::MatchPassword().Get(), "door");
    host.type("kz password");
    EXPECT_EQ(hosting::MatchPassword().Get(), "");
    EXPECT_THAT(host.console.lines(), ElementsAre("Match Password set: the next Host Lan match asks for it",
                                                  "The Match Password may not hold spaces, |, ?, # or control characters",
                                                  "The Match Password may not hold spaces, |, ?, # or control characters",
                                                  "usage: kz password [text]",
                                                  "Match Password cleared: the next Host Lan match is open to anyone"));
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
}

TEST_F(Console, NotifierAloneGetsAHint)
{
    host.type("kz");
    EXPECT_THAT(host.console.lines(), ElementsAre("usage: kz [kzlaunch|announcement|addBot|join|password|preset|setup|router] ..."));
}

} // namespace
