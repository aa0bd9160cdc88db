// Two development hosts on loopback: a home one hosting a LAN match and a player one joining it
// by address, through the console and through the "Join Address" line.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "devhost_process.h"

namespace devhost_test {
namespace {

// Until the output holds text count times; the lines of several attempts look alike.
bool WaitForCount(ChildProcess& process, const std::string& text, size_t count, std::chrono::milliseconds limit = 10s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (Count(process.output(), text) < count) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

struct Home {
    TempDir dir;
    int port = FreePort(true);
    ChildProcess host{DevhostArgs(dir, {"--listen-port", std::to_string(port)})};
    std::string address = "127.0.0.1:" + std::to_string(port);
};

TEST(DevhostLanJoin, PlayersJoinWithTheMatchPasswordAndAreRefusedWithoutIt)
{
    Home home;
    TempDir playerDir;
    ChildProcess player(DevhostArgs(playerDir, {"--player-name", "Friend"}));
    ASSERT_TRUE(home.host.waitFor("type 'help' for the commands")) << home.host.output();
    ASSERT_TRUE(player.waitFor("type 'help' for the commands")) << player.output();

    // Nobody listens yet.
    player.send("kz join " + home.address);
    ASSERT_TRUE(player.waitFor("[game] could not reach " + home.address + "\n", 10s)) << player.output();

    home.host.send("kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone ?Lan?Listen");
    ASSERT_TRUE(home.host.waitFor("[game] listening on UDP " + home.address + "\n")) << home.host.output();
    player.send("kz join " + home.address + " anything");
    ASSERT_TRUE(player.waitFor("[game] joined LAN match at " + home.address + "\n", 10s)) << player.output();
    EXPECT_TRUE(player.waitFor("[game] join round trip ", 5s)) << player.output();
    ASSERT_TRUE(home.host.waitFor("[game] player Friend joined from 127.0.0.1:", 5s)) << home.host.output();
    // Other datagrams still come back as they were, for probes and the reachability test.
    EXPECT_EQ(Exchange(home.port, "probe"), "probe");

    home.host.send("kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone ?Lan?Listen?Password=door");
    ASSERT_TRUE(home.host.waitFor("[game] listening on UDP " + home.address + " (password required)")) << home.host.output();
    player.send("kz join " + home.address);
    ASSERT_TRUE(player.waitFor("[game] wrong password for " + home.address + "\n", 10s)) << player.output();
    EXPECT_TRUE(player.waitFor("[game] left LAN match at " + home.address)) << player.output();
    ASSERT_TRUE(home.host.waitFor("[game] refused Friend from 127.0.0.1:", 5s)) << home.host.output();
    EXPECT_TRUE(home.host.waitFor(": wrong password\n", 5s)) << home.host.output();
    player.send("kz join " + home.address + " wrong");
    ASSERT_TRUE(WaitForCount(player, "[game] wrong password for " + home.address + "\n", 2)) << player.output();
    player.send("kz join " + home.address + " door");
    ASSERT_TRUE(WaitForCount(player, "[game] joined LAN match at " + home.address + "\n", 2)) << player.output();
    ASSERT_TRUE(WaitForCount(home.host, "[game] player Friend joined from 127.0.0.1:", 2, 5s)) << home.host.output();
    home.host.send("sim status");
    EXPECT_TRUE(home.host.waitFor("sim: listen server players 1, refused 2\ndevhost: sim:   Friend from 127.0.0.1:", 5s))
        << home.host.output();

    // The simulation sends to loopback only, unless the host was started with --allow-join.
    player.send("kz join 192.0.2.1:7777");
    EXPECT_TRUE(player.waitFor("[game] could not reach 192.0.2.1:7777 (the simulated game sends only to loopback", 10s))
        << player.output();
    EXPECT_TRUE(home.host.waitFor("[game] player Friend left", 5s)) << home.host.output();

    for (ChildProcess* host : {&home.host, &player}) {
        host->send("quit");
        EXPECT_EQ(host->wait(20s), 0) << host->output();
    }
}

TEST(DevhostLanJoin, AMatchPasswordFromHostLanLetsInOnlyPlayersWhoBringIt)
{
    Home home;
    ASSERT_TRUE(home.host.waitFor("type 'help' for the commands")) << home.host.output();
    home.host.send("kz password lab-door");
    home.host.send("togglemenu matchbay");
    home.host.send("ui press \"Kestrel - V1.2.0/Tabs/Host Lan\"");
    home.host.send("ui press \"Kestrel - V1.2.0/Tabs/Host Lan/Host Lan\"");
    ASSERT_TRUE(home.host.waitFor("[game] listening on UDP " + home.address + " (password required)")) << home.host.output();

    TempDir playerDir;
    auto player = RunScript(playerDir, "kz join " + home.address + " lab-door\nkz join " + home.address + "\n",
                            {"--player-name", "Friend"});
    EXPECT_NE(player.output.find("[game] joined LAN match at " + home.address), std::string::npos) << player.output;
    EXPECT_NE(player.output.find("[game] wrong password for " + home.address), std::string::npos) << player.output;
    EXPECT_TRUE(home.host.waitFor("[game] player Friend joined from 127.0.0.1:", 5s)) << home.host.output();
    EXPECT_TRUE(home.host.waitFor("[game] refused Friend from 127.0.0.1:", 5s)) << home.host.output();

    home.host.send("quit");
    ASSERT_EQ(home.host.wait(20s), 0) << home.host.output();
    // Only the game's own lines carry it (the travel command, as a join's does); never the
    // plugin's log lines or the saved configuration.
    std::istringstream lines(home.host.output());
    for (std::string line; std::getline(lines, line);) {
        if (line.find("lab-door") != std::string::npos) {
            EXPECT_EQ(line.rfind("[game] open ", 0), 0u) << line;
        }
    }
    std::ifstream config(home.dir.path() / "data/appdata/bakkesmod/bakkesmod/cfg/config.cfg");
    std::stringstream saved;
    saved << config.rdbuf();
    EXPECT_NE(saved.str().find("kzlobby_endpoint"), std::string::npos) << saved.str();
    EXPECT_EQ(saved.str().find("lab-door"), std::string::npos) << saved.str();
}

TEST(DevhostLanJoin, JoinAddressRemembersTheAddressAcrossARestart)
{
    Home home;
    ASSERT_TRUE(home.host.waitFor("type 'help' for the commands")) << home.host.output();
    home.host.send("kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone ?Lan?Listen");
    ASSERT_TRUE(home.host.waitFor("[game] listening on UDP " + home.address)) << home.host.output();

    TempDir playerDir;
    const std::string field = "\"Active Server List/##JoinAddress\"";
    const std::string press = "ui press \"Active Server List/Join Address\"\n";
    auto first = RunScript(playerDir, "togglemenu matchbay\nui type " + field + " \"" + home.address + "\"\n" + press +
                                          "ui wait \"Active Server List\" \"Joining " + home.address + "\"\n");
    ASSERT_EQ(first.status, 0) << first.output;
    EXPECT_NE(first.output.find("[game] open " + home.address + "?Lan?Password=\n"), std::string::npos) << first.output;
    EXPECT_NE(first.output.find("[game] joined LAN match at " + home.address), std::string::npos) << first.output;

    auto second = RunScript(playerDir, "kz_recent_addresses\ntogglemenu matchbay\n"
                                       "ui pick \"Active Server List/##RecentAddresses\" \"" + home.address + "\"\n" + press +
                                       "ui wait \"Active Server List\" \"Joining\"\n");
    ASSERT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("kz_recent_addresses = " + home.address + "\n"), std::string::npos) << second.output;
    EXPECT_NE(second.output.find("[game] open " + home.address + "?Lan?Password=\n"), std::string::npos) << second.output;

    home.host.send("quit");
    EXPECT_EQ(home.host.wait(20s), 0) << home.host.output();
}

} // namespace
} // namespace devhost_test
