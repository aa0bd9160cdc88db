// The firewall manager's real command lines carried out by the development host's simulated
// Windows Firewall, the simulated programs' reading of lines they must refuse, and the
// "sim firewall" console commands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "bakkesmod/host/firewall_service.h"
#include "devhost_process.h"
#include "fake_host.h"
#include "plugin/logging.h"
#include "reverseproxy/firewall_manager.h"
#include "sim/firewall_programs.h"
#include "sim/firewall_sim.h"

namespace devhost_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace devhost;

const std::wstring kName = L"BakkesMod ReverseProxy - Rocket League Server Port";
const std::wstring kDescription = L"Allows inbound connections to Rocket League server via ReverseProxy";

struct FirewallSimTest : ::testing::Test {
    TempDir dir;
    kestrel::testing::FakeHost host;
    std::shared_ptr<FirewallSim> sim = std::make_shared<FirewallSim>(dir.path() / "firewall" / "rules.json");

    void SetUp() override
    {
        globalCvarManager = host.cvarManager;
        sim->load();
        bakkesmod::host::installFirewallService(sim);
    }
    void TearDown() override
    {
        bakkesmod::host::installFirewallService(nullptr);
        globalCvarManager.reset();
    }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const auto& rule : sim->rules()) names.push_back(ToUtf8(rule.name));
        return names;
    }
    std::vector<std::string> Lines() { return host.console.lines(); }
};

TEST_F(FirewallSimTest, AdministratorCreatesThroughThePolicyAndRemovesWithNetsh)
{
    sim->setAdmin(true);
    FirewallManager manager;
    ASSERT_TRUE(manager.Initialize());
    EXPECT_TRUE(FirewallManager::IsRunningAsAdmin());
    EXPECT_FALSE(manager.RuleExists(kName));
    EXPECT_TRUE(manager.CreateInboundRule(kName, kDescription));
    ASSERT_EQ(sim->rules().size(), 1u);
    const auto rule = sim->rules()[0];
    EXPECT_EQ(rule.name, kName);
    EXPECT_EQ(rule.description, kDescription);
    EXPECT_EQ(rule.protocol, 17);
    EXPECT_EQ(rule.localPorts, L"7777");
    EXPECT_EQ(rule.direction, 1);
    EXPECT_EQ(rule.action, 1);
    EXPECT_TRUE(rule.enabled);
    EXPECT_EQ(rule.grouping, L"BakkesMod ReverseProxy");
    EXPECT_TRUE(manager.RuleExists(kName));
    // A second create finds it and adds nothing.
    EXPECT_TRUE(manager.CreateInboundRule(kName, kDescription));
    EXPECT_EQ(sim->rules().size(), 1u);

    EXPECT_TRUE(manager.RemoveRuleNetshDirect(kName));
    EXPECT_TRUE(sim->rules().empty());
    EXPECT_FALSE(manager.RuleExists(kName));
    EXPECT_THAT(Lines(), Contains("Successfully created firewall rule for port 7777"));
    EXPECT_THAT(Lines(), Contains("Firewall rule removed successfully via netsh"));
}

TEST_F(FirewallSimTest, EveryCommandLineDoesWhatItSaysThroughAnAcceptedPrompt)
{
    FirewallManager manager;
    ASSERT_TRUE(manager.Initialize());
    EXPECT_FALSE(manager.CreateInboundRule(kName, kDescription)); // no admin rights: the panel's flows are for this
    EXPECT_EQ(manager.lastError, L"Administrator privileges required to create firewall rules");

    EXPECT_FALSE(manager.RuleExistsNetsh(kName));
    EXPECT_EQ(Lines().back(), "Firewall rule does not exist (verified via netsh)");
    EXPECT_TRUE(manager.CreateInboundRuleNetshDirect(kName));
    EXPECT_THAT(Names(), ElementsAre(ToUtf8(kName)));
    EXPECT_EQ(sim->rules()[0].protocol, 17);
    EXPECT_EQ(sim->rules()[0].localPorts, L"7777");
    EXPECT_TRUE(manager.RuleExistsNetsh(kName));
    EXPECT_EQ(Lines().back(), "Firewall rule exists (verified via netsh)");
    EXPECT_TRUE(manager.RuleExists(kName));
    EXPECT_TRUE(manager.RemoveRuleElevatedPowerShell(kName));
    EXPECT_TRUE(sim->rules().empty());

    EXPECT_TRUE(manager.CreateRuleElevatedPowerShell(kName, kDescription));
    ASSERT_EQ(sim->rules().size(), 1u);
    EXPECT_EQ(sim->rules()[0].description, kDescription);
    EXPECT_EQ(sim->rules()[0].grouping, L"BakkesMod ReverseProxy");
    EXPECT_EQ(sim->rules()[0].direction, 1);
    EXPECT_EQ(sim->rules()[0].action, 1);
    EXPECT_THAT(Lines(), Contains("Firewall rule created successfully via elevated PowerShell"));
    EXPECT_TRUE(manager.RemoveRuleNetshDirect(kName));
    EXPECT_TRUE(sim->rules().empty());

    // Removing what is not there: netsh says so with its exit code; PowerShell's failure
    // still counts as launched, and the rule check tells the truth.
    EXPECT_FALSE(manager.RemoveRuleNetshDirect(kName));
    EXPECT_EQ(manager.lastError, L"netsh command failed with exit code: 1");
    EXPECT_TRUE(manager.RemoveRuleElevatedPowerShell(kName));
    EXPECT_EQ(Lines()[Lines().size() - 2], "PowerShell command failed with exit code: 1");
    EXPECT_FALSE(manager.RuleExists(kName));
}

TEST_F(FirewallSimTest, DeclinedPromptChangesNothingOnEitherPath)
{
    sim->setPrompt(PromptAnswer::Decline);
    FirewallManager manager;
    ASSERT_TRUE(manager.Initialize());
    EXPECT_FALSE(manager.CreateInboundRuleNetshDirect(kName));
    EXPECT_EQ(manager.lastError, L"User cancelled the elevation prompt");
    manager.lastError.clear();
    EXPECT_FALSE(manager.CreateRuleElevatedPowerShell(kName, kDescription));
    EXPECT_EQ(manager.lastError, L"User cancelled the elevation prompt");
    EXPECT_TRUE(sim->rules().empty());
    // The check is not elevated: no prompt, so it still works.
    EXPECT_FALSE(manager.RuleExistsNetsh(kName));
    EXPECT_EQ(Lines().back(), "Firewall rule does not exist (verified via netsh)");
}

TEST_F(FirewallSimTest, UnansweredPromptTimesOutAndTheHostsEndReleasesTheWait)
{
    sim->setPrompt(PromptAnswer::Hang);
    FirewallManager manager;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sim->stop();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(manager.CreateInboundRuleNetshDirect(kName));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(manager.lastError, L"netsh command timed out");
    EXPECT_TRUE(sim->rules().empty());
}

TEST_F(FirewallSimTest, WithoutThePolicyTheManagerGoesThroughNetsh)
{
    sim->setPolicy(false);
    FirewallManager manager;
    EXPECT_FALSE(manager.Initialize());
    EXPECT_EQ(manager.lastError, L"Failed to create INetFwPolicy2 instance: Class not registered (0x80040154)");
    EXPECT_TRUE(manager.CreateInboundRuleNetshDirect(kName));
    EXPECT_TRUE(manager.RuleExists(kName));
    EXPECT_THAT(Lines(), Contains("Cannot check firewall rule: FirewallManager not initialized, attempting netsh fallback..."));

    // The firewall service going away after start-up: the rule collection fails, netsh answers.
    sim->setPolicy(true);
    FirewallManager started;
    ASSERT_TRUE(started.Initialize());
    sim->setPolicy(false);
    EXPECT_TRUE(started.RuleExists(kName));
    EXPECT_EQ(started.lastError, L"Failed to get firewall rules via WMI: There are no more endpoints available from the "
                                 L"endpoint mapper. (0x800706d9)");
}

TEST_F(FirewallSimTest, RulesOutliveTheFirewallAndAnUnreadableFileIsKeptAside)
{
    sim->setAdmin(true);
    {
        FirewallManager manager;
        ASSERT_TRUE(manager.Initialize());
        ASSERT_TRUE(manager.CreateInboundRule(kName, kDescription));
    }
    FirewallSim again(dir.path() / "firewall" / "rules.json");
    again.load();
    ASSERT_EQ(again.rules().size(), 1u);
    EXPECT_EQ(again.rules()[0].description, kDescription);

    const auto file = dir.path() / "firewall" / "rules.json";
    std::ofstream(file) << "{ not json";
    FirewallSim broken(file);
    broken.load();
    EXPECT_TRUE(broken.rules().empty());
    auto aside = file;
    aside += ".unreadable";
    EXPECT_TRUE(std::filesystem::exists(aside));
}

// -- the simulated programs on lines the manager never builds ------------------------------------

TEST(FirewallPrograms, LinesThatAreNotWhatTheySeemAreRefused)
{
    TempDir dir;
    FirewallRuleStore store(dir.path() / "rules.json");
    struct Row {
        const char* what;
        const wchar_t* file;
        const wchar_t* parameters;
        bool elevated;
        std::uint32_t exitCode;
        const char* output; // part of the output
        size_t rulesAfter;
    };
    const Row rows[] = {
        {"netsh add", L"cmd.exe",
         L"/C netsh advfirewall firewall add rule name=\"A\" dir=in action=allow protocol=UDP localport=7777 enable=yes",
         true, 0, "Ok.", 1},
        {"same name again: netsh allows it", L"C:\\Windows\\System32\\CMD.EXE",
         L"/C netsh advfirewall firewall add rule name=\"A\" dir=in action=allow protocol=UDP localport=7777", true, 0,
         "Ok.", 2},
        {"not elevated", L"cmd.exe", L"/C netsh advfirewall firewall add rule name=\"B\" dir=in action=allow", false, 1,
         "requires elevation", 2},
        {"name breaking out of its quotes", L"cmd.exe",
         L"/C netsh advfirewall firewall add rule name=\"x\" & calc & \"\" dir=in action=allow", true, 1,
         "cannot read this line", 2},
        {"unknown key", L"cmd.exe", L"/C netsh advfirewall firewall add rule name=\"B\" dir=in action=allow colour=red",
         true, 1, "syntax supplied", 2},
        {"port without protocol", L"cmd.exe", L"/C netsh advfirewall firewall add rule name=\"B\" dir=in action=allow localport=7777",
         true, 1, "port value", 2},
        {"bad port", L"cmd.exe",
         L"/C netsh advfirewall firewall add rule name=\"B\" dir=in action=allow protocol=UDP localport=77777", true, 1,
         "port value", 2},
        {"not netsh", L"cmd.exe", L"/C calc", true, 9009, "is not recognized", 2},
        {"not /C", L"cmd.exe", L"/K netsh", true, 1, "runs only", 2},
        {"show a missing rule", L"cmd.exe", L"/C netsh advfirewall firewall show rule name=\"missing\"", false, 1,
         "No rules match", 2},
        {"show case-insensitively", L"cmd.exe", L"/C netsh advfirewall firewall show rule name=\"a\"", false, 0,
         "Rule Name:", 2},
        {"PowerShell name breaking out", L"powershell.exe",
         L"-NoProfile -NonInteractive -Command \"New-NetFirewallRule -DisplayName 'x'; calc; 'y' -Direction Inbound\"",
         true, 1, "Unexpected token", 2},
        {"PowerShell apostrophe in a name", L"powershell.exe",
         L"-NoProfile -NonInteractive -Command \"New-NetFirewallRule -DisplayName 'it's' -Direction Inbound\"", true, 1,
         "Unexpected token", 2},
        {"PowerShell typographic quote closes the string", L"powershell.exe",
         L"-NoProfile -NonInteractive -Command \"New-NetFirewallRule -DisplayName 'it\u2019s' -Direction Inbound\"", true,
         1, "Unexpected token", 2},
        {"PowerShell variable", L"powershell.exe", L"-Command \"New-NetFirewallRule -DisplayName $env:USERNAME\"", true, 1,
         "cannot read", 2},
        {"PowerShell unknown parameter", L"powershell.exe", L"-Command \"New-NetFirewallRule -DisplayName 'B' -Colour 'red'\"",
         true, 1, "cannot be found that matches parameter name 'colour'", 2},
        {"PowerShell not elevated", L"powershell.exe", L"-Command \"New-NetFirewallRule -DisplayName 'B'\"", false, 1,
         "Access is denied", 2},
        {"PowerShell unknown cmdlet", L"powershell.exe", L"-Command \"Get-Process\"", true, 1, "is not recognized", 2},
        {"PowerShell quoted '' is one apostrophe", L"powershell.exe",
         L"-Command \"New-NetFirewallRule -DisplayName 'it''s' -Protocol UDP -LocalPort 7777\"", true, 0, "it's", 3},
        {"PowerShell remove missing", L"powershell.exe", L"-Command \"Remove-NetFirewallRule -DisplayName 'missing'\"",
         true, 1, "No MSFT_NetFirewallRule objects found", 3},
        {"netsh delete removes every rule of the name", L"cmd.exe", L"/C netsh advfirewall firewall delete rule name=\"A\"",
         true, 0, "Deleted 2 rule(s).", 1},
        {"netsh delete missing", L"cmd.exe", L"/C netsh advfirewall firewall delete rule name=\"A\"", true, 1,
         "No rules match", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto run = RunFirewallProgram(row.file, row.parameters, row.elevated, store);
        EXPECT_TRUE(run.found);
        EXPECT_EQ(run.exitCode, row.exitCode);
        std::string output;
        for (const auto& line : run.output) output += line + "\n";
        EXPECT_THAT(output, HasSubstr(row.output));
        EXPECT_EQ(store.rules().size(), row.rulesAfter);
    }
    EXPECT_FALSE(RunFirewallProgram(L"regedit.exe", L"", true, store).found);
}

TEST(FirewallPrograms, CommandLinesSplitAsTheCRuntimeSplitsThem)
{
    EXPECT_THAT(SplitCommandLine(L"a \"b c\" d"), ElementsAre(L"a", L"b c", L"d"));
    EXPECT_THAT(SplitCommandLine(L"name=\"x y\" z"), ElementsAre(L"name=x y", L"z"));
    EXPECT_THAT(SplitCommandLine(L"a\\\"b \\\\\"c d\""), ElementsAre(L"a\"b", L"\\c d"));
    EXPECT_THAT(SplitCommandLine(L"\"a\"\"b\" c\\d"), ElementsAre(L"a\"b", L"c\\d"));
    EXPECT_THAT(SplitCommandLine(L"  \"\"  "), ElementsAre(L""));
}

// -- the console commands --------------------------------------------------------------------------

TEST(FirewallConsole, SimFirewallCommandsSetTheSceneAndListTheRules)
{
    TempDir dir;
    // The host's data folder is <dir>/data.
    std::filesystem::create_directories(dir.path() / "data" / "firewall");
    std::ofstream(dir.path() / "data" / "firewall" / "rules.json")
        << R"({"rules":[{"name":"Kept","protocol":17,"localPorts":"7777","direction":1,"action":1,"enabled":true,"grouping":"G"}]})";
    // Without the plugin: as an administrator it would create its own rule whenever its worker
    // gets there, and the rule counts below would race it.
    auto run = RunScript(dir,
                         "sim firewall admin on\nsim firewall prompt hang\nsim firewall policy off\n"
                         "sim firewall rules\nsim firewall prompt sometimes\n",
                         {"--no-plugin"});
    EXPECT_EQ(run.status, 1) << run.output; // the one bad line
    EXPECT_THAT(run.output, HasSubstr("sim firewall: admin on, prompt accept, policy on, 1 rules in")) << run.output;
    EXPECT_THAT(run.output, HasSubstr("sim firewall: admin on, prompt hang, policy off, 1 rules in")) << run.output;
    EXPECT_THAT(run.output, HasSubstr("sim firewall: 'Kept' in allow UDP port 7777 group 'G'")) << run.output;
    EXPECT_THAT(run.output, HasSubstr("usage: sim firewall status")) << run.output;
}

} // namespace
} // namespace devhost_test
