// The simulated listen server: opened by a "?Listen" travel, answering datagrams, closed
// by the next travel.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "devhost_process.h"

namespace devhost_test {
namespace {

TEST(DevhostGame, ListenTravelOpensAnEchoingSocketUntilTheNextTravel)
{
    TempDir dir;
    const int port = FreePort(true);
    ChildProcess host(DevhostArgs(dir, {"--listen-port", std::to_string(port)}));
    ASSERT_TRUE(host.waitFor("type 'help' for the commands")) << host.output();
    EXPECT_FALSE(Exchange(port, "before"));

    host.send("kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone,PlayerCount8 ?Lan?Listen");
    ASSERT_TRUE(host.waitFor("[game] listening on UDP 127.0.0.1:" + std::to_string(port))) << host.output();
    EXPECT_EQ(Exchange(port, "ping one"), "ping one");
    EXPECT_EQ(Exchange(port, std::string("\0\x01\xff", 3)), std::string("\0\x01\xff", 3));

    host.send("kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone,PlayerCount8 ?Lan");
    ASSERT_TRUE(host.waitFor("closed after 2 datagrams")) << host.output();
    EXPECT_FALSE(Exchange(port, "after"));

    host.send("quit");
    EXPECT_EQ(host.wait(20s), 0) << host.output();
}

TEST(DevhostGame, ListenPortInUseIsReported)
{
    TempDir dir;
    const int port = FreePort(true);
    int taken = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    auto run = RunScript(dir, "sim listen-port " + std::to_string(port) +
                                  "\nkz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone ?Lan?Listen\n");
    close(taken);
    EXPECT_NE(run.output.find("[game] cannot listen on UDP 127.0.0.1:" + std::to_string(port) +
                              ": Address already in use"),
              std::string::npos)
        << run.output;
}

} // namespace
} // namespace devhost_test
