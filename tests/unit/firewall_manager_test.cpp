// The firewall manager's decisions against a scripted firewall system: every COM outcome,
// fallback, launch, wait and exit code, and the exact command lines it launches.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "fake_host.h"
#include "platform/firewall_system.h"
#include "plugin/logging.h"
#include "reverseproxy/firewall_manager.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using platform::FirewallAddStep;
using platform::LaunchResult;
using platform::ResultCode;
using platform::WaitResult;

const std::wstring kName = L"BakkesMod ReverseProxy - Rocket League Server Port";
const std::wstring kDescription = L"Allows inbound connections to Rocket League server via ReverseProxy";
constexpr ResultCode kOutOfMemory = static_cast<ResultCode>(0x8007000Eu);
constexpr ResultCode kUnavailable = static_cast<ResultCode>(0x800706D9u);

// What the scripted system answers, and what the manager asked of it.
struct Script {
    ResultCode initResult = platform::kResultOk;
    ResultCode policyResult = platform::kResultOk;
    platform::FirewallLookup lookup;
    platform::FirewallAddResult add;
    bool admin = true;
    std::deque<LaunchResult> launches; // each Launch takes the next; empty: launched with handle 41
    WaitResult wait = WaitResult::Finished;
    bool exitReadable = true;
    std::uint32_t exitCode = 0;

    int initCalls = 0, uninitCalls = 0, policyCreates = 0, policyReleases = 0;
    std::vector<std::wstring> lookups;
    std::vector<platform::FirewallRuleSettings> added;
    std::vector<platform::LaunchRequest> launched;
    std::vector<std::uint32_t> waits;
    std::vector<platform::ProcessHandle> closed;
};

class ScriptedFirewall : public platform::FirewallSystem {
public:
    explicit ScriptedFirewall(std::shared_ptr<Script> script) : s(std::move(script)) {}
    ResultCode InitializeCom() override { return ++s->initCalls, s->initResult; }
    void UninitializeCom() override { ++s->uninitCalls; }
    ResultCode CreatePolicy() override { return ++s->policyCreates, s->policyResult; }
    void ReleasePolicy() override { ++s->policyReleases; }
    platform::FirewallLookup FindRule(const std::wstring& name) override
    {
        s->lookups.push_back(name);
        return s->lookup;
    }
    platform::FirewallAddResult AddRule(const platform::FirewallRuleSettings& rule) override
    {
        s->added.push_back(rule);
        return s->add;
    }
    LaunchResult Launch(const platform::LaunchRequest& request) override
    {
        s->launched.push_back(request);
        if (s->launches.empty()) return {true, 0, 41};
        auto next = s->launches.front();
        s->launches.pop_front();
        return next;
    }
    WaitResult Wait(platform::ProcessHandle, std::uint32_t milliseconds) override
    {
        s->waits.push_back(milliseconds);
        return s->wait;
    }
    bool ExitCode(platform::ProcessHandle, std::uint32_t& code) override
    {
        if (!s->exitReadable) return false;
        code = s->exitCode;
        return true;
    }
    void CloseProcess(platform::ProcessHandle process) override { s->closed.push_back(process); }
    bool IsAdmin() override { return s->admin; }
    std::wstring ErrorText(ResultCode) override { return L"Scripted message"; }

private:
    std::shared_ptr<Script> s;
};

struct FirewallManagerTest : ::testing::Test {
    kestrel::testing::FakeHost host;
    std::shared_ptr<Script> script = std::make_shared<Script>();
    std::unique_ptr<FirewallManager> manager = std::make_unique<FirewallManager>(std::make_unique<ScriptedFirewall>(script));

    void SetUp() override { globalCvarManager = host.cvarManager; }
    void TearDown() override { globalCvarManager.reset(); }
    // Initialised, with the start-up line cleared.
    void Ready()
    {
        ASSERT_TRUE(manager->Initialize());
        host.console.clearLines();
    }
    std::vector<std::string> Lines() const { return host.console.lines(); }
};

std::wstring Netsh(const std::wstring& rest) { return L"/C netsh advfirewall firewall " + rest; }

// -- COM start-up -----------------------------------------------------------------------------

TEST_F(FirewallManagerTest, InitializeBalancesOnlyTheApartmentItOpened)
{
    struct Row {
        const char* what;
        ResultCode init, policy;
        bool ok;
        const wchar_t* error;
        int policyCreates, uninitAtEnd, releasesAtEnd;
    };
    const Row rows[] = {
        {"fresh apartment", 0, 0, true, L"", 1, 1, 1},
        {"already initialised the same way", platform::kResultFalse, 0, true, L"", 1, 1, 1},
        {"initialised in another mode", platform::kResultChangedMode, 0, true, L"", 1, 0, 1},
        {"CoInitializeEx fails", kOutOfMemory, 0, false, L"CoInitializeEx failed: Scripted message (0x8007000e)", 0,
         0, 0},
        {"policy class missing", 0, platform::kResultClassNotRegistered, false,
         L"Failed to create INetFwPolicy2 instance: Scripted message (0x80040154)", 1, 1, 0},
        {"policy missing, other mode", platform::kResultChangedMode, platform::kResultClassNotRegistered, false,
         L"Failed to create INetFwPolicy2 instance: Scripted message (0x80040154)", 1, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto s = std::make_shared<Script>();
        s->initResult = row.init;
        s->policyResult = row.policy;
        host.console.clearLines();
        {
            FirewallManager m(std::make_unique<ScriptedFirewall>(s));
            EXPECT_EQ(m.Initialize(), row.ok);
            EXPECT_EQ(m.lastError, row.error);
            EXPECT_EQ(s->policyCreates, row.policyCreates);
            EXPECT_EQ(s->uninitCalls, 0);
            if (row.ok) {
                EXPECT_THAT(Lines(), ElementsAre("FirewallManager initialized successfully"));
            } else {
                EXPECT_THAT(Lines(), IsEmpty());
            }
        }
        EXPECT_EQ(s->uninitCalls, row.uninitAtEnd);
        EXPECT_EQ(s->policyReleases, row.releasesAtEnd);
    }
}

TEST_F(FirewallManagerTest, RetriedInitializeKeepsOneApartmentAndASecondCallDoesNothing)
{
    script->policyResult = platform::kResultClassNotRegistered;
    EXPECT_FALSE(manager->Initialize());
    script->policyResult = platform::kResultOk;
    EXPECT_TRUE(manager->Initialize());
    EXPECT_TRUE(manager->Initialize());
    EXPECT_EQ(script->initCalls, 1);
    EXPECT_EQ(script->policyCreates, 2);
    manager.reset();
    EXPECT_EQ(script->uninitCalls, 1);
    EXPECT_EQ(script->policyReleases, 1);
}

// -- RuleExists ---------------------------------------------------------------------------------

TEST_F(FirewallManagerTest, RuleExistsUsesThePolicyAndFallsBackToNetshOnce)
{
    struct Row {
        const char* what;
        bool initialize;
        platform::FirewallLookup lookup;
        std::uint32_t netshExit;
        bool expected;
        bool netsh;
        const wchar_t* error;
        std::vector<std::string> firstLines;
    };
    const Row rows[] = {
        {"found by the policy", true, {0, true}, 0, true, false, L"", {}},
        {"not found by the policy", true, {0, false}, 0, false, false, L"", {}},
        {"rule collection fails, netsh shows it", true, {kUnavailable, false}, 0, true, true,
         L"Failed to get firewall rules via WMI: Scripted message (0x800706d9)",
         {"Failed to get firewall rules, attempting netsh fallback..."}},
        {"rule collection fails, netsh does not show it", true, {kUnavailable, false}, 1, false, true,
         L"Failed to get firewall rules via WMI: Scripted message (0x800706d9)",
         {"Failed to get firewall rules, attempting netsh fallback..."}},
        {"not initialised", false, {0, true}, 0, true, true, L"FirewallManager not initialized",
         {"Cannot check firewall rule: FirewallManager not initialized, attempting netsh fallback..."}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        script = std::make_shared<Script>();
        script->lookup = row.lookup;
        script->exitCode = row.netshExit;
        manager = std::make_unique<FirewallManager>(std::make_unique<ScriptedFirewall>(script));
        if (row.initialize) Ready();
        host.console.clearLines();
        EXPECT_EQ(manager->RuleExists(kName), row.expected);
        EXPECT_EQ(manager->lastError, row.error);
        EXPECT_EQ(script->lookups.size(), row.initialize ? 1u : 0u);
        ASSERT_EQ(script->launched.size(), row.netsh ? 1u : 0u);
        auto lines = Lines();
        ASSERT_GE(lines.size(), row.firstLines.size());
        EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + row.firstLines.size()),
                    ElementsAreArray(row.firstLines));
        if (row.netsh) {
            EXPECT_EQ(script->launched[0].parameters, Netsh(L"show rule name=\"" + kName + L"\""));
        }
    }
}

// -- CreateInboundRule --------------------------------------------------------------------------

TEST_F(FirewallManagerTest, CreateInboundRuleSetsTheRuleInOrderThroughThePolicy)
{
    Ready();
    EXPECT_TRUE(manager->CreateInboundRule(kName, kDescription));
    ASSERT_EQ(script->added.size(), 1u);
    const auto& rule = script->added[0];
    EXPECT_EQ(rule.name, kName);
    EXPECT_EQ(rule.description, kDescription);
    EXPECT_EQ(rule.protocol, 17);
    EXPECT_EQ(rule.localPorts, L"7777");
    EXPECT_EQ(rule.direction, 1);
    EXPECT_EQ(rule.action, 1);
    EXPECT_TRUE(rule.enabled);
    EXPECT_EQ(rule.grouping, L"BakkesMod ReverseProxy");
    EXPECT_THAT(Lines(), ElementsAre("Successfully created firewall rule for port 7777"));
    EXPECT_THAT(script->launched, IsEmpty());
}

TEST_F(FirewallManagerTest, CreateInboundRuleRefusesOrFallsBack)
{
    struct Row {
        const char* what;
        bool initialize;
        bool exists;
        bool admin;
        platform::FirewallAddResult add;
        bool expected;
        const wchar_t* error;
        std::vector<std::string> firstLines;
        bool netsh;
    };
    const Row rows[] = {
        {"not initialised", false, false, true, {}, false, L"FirewallManager not initialized", {}, false},
        {"already there, no admin rights needed", true, true, false, {}, true, L"",
         {"Firewall rule 'BakkesMod ReverseProxy - Rocket League Server Port' already exists"}, false},
        {"no admin rights, though netsh could be tried", true, false, false, {}, false,
         L"Administrator privileges required to create firewall rules",
         {"Cannot create firewall rule: Administrator privileges required"}, false},
        {"rule object cannot be made", true, false, true, {FirewallAddStep::CreateRule, kOutOfMemory}, true,
         L"Failed to create INetFwRule instance via WMI: Scripted message (0x8007000e)",
         {"Failed to create INetFwRule instance, attempting netsh fallback...",
          "Attempting to create firewall rule using netsh fallback"},
         true},
        {"rule collection fails", true, false, true, {FirewallAddStep::GetRules, kUnavailable}, true,
         L"Failed to get firewall rules collection via WMI: Scripted message (0x800706d9)",
         {"Failed to get firewall rules collection, attempting netsh fallback...",
          "Attempting to create firewall rule using netsh fallback"},
         true},
        {"Add fails", true, false, true, {FirewallAddStep::AddRule, platform::kResultAccessDenied}, true,
         L"Failed to add firewall rule via WMI: Scripted message (0x80070005)",
         {"WMI method failed, attempting netsh fallback...", "Attempting to create firewall rule using netsh fallback"},
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        script = std::make_shared<Script>();
        script->lookup = {0, row.exists};
        script->admin = row.admin;
        script->add = row.add;
        manager = std::make_unique<FirewallManager>(std::make_unique<ScriptedFirewall>(script));
        if (row.initialize) Ready();
        host.console.clearLines();
        EXPECT_EQ(manager->CreateInboundRule(kName, kDescription), row.expected);
        EXPECT_EQ(manager->lastError, row.error);
        auto lines = Lines();
        if (row.firstLines.empty()) {
            EXPECT_THAT(lines, IsEmpty());
        }
        ASSERT_GE(lines.size(), row.firstLines.size());
        EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + row.firstLines.size()),
                    ElementsAreArray(row.firstLines));
        ASSERT_EQ(script->launched.size(), row.netsh ? 1u : 0u);
        if (row.netsh) {
            EXPECT_EQ(script->launched[0].verb, L"runas");
            EXPECT_EQ(script->launched[0].parameters,
                      Netsh(L"add rule name=\"" + kName + L"\" dir=in action=allow protocol=UDP localport=7777 enable=yes"));
        }
    }
}

TEST_F(FirewallManagerTest, AFailingFallbackReportsItsOwnText)
{
    Ready();
    script->add = {FirewallAddStep::AddRule, platform::kResultAccessDenied};
    script->launches.push_back({false, platform::kErrorCancelled, 0});
    EXPECT_FALSE(manager->CreateInboundRule(kName, kDescription));
    EXPECT_EQ(manager->lastError, L"User cancelled the elevation prompt");
    EXPECT_EQ(script->launched.size(), 1u);
}

// -- the three netsh operations -----------------------------------------------------------------

enum class Op { Create, Remove, Check };

struct LaunchRow {
    const char* what;
    LaunchResult launch;
    WaitResult wait;
    bool exitReadable;
    std::uint32_t exitCode;
    bool expected;
    const wchar_t* error; // lastError afterwards ("" when untouched)
    const char* lastLine; // nullptr: the operation adds nothing after launching
};

void RunNetshRows(FirewallManagerTest& t, Op op, const std::vector<LaunchRow>& rows)
{
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        t.script = std::make_shared<Script>();
        t.script->launches.push_back(row.launch);
        t.script->wait = row.wait;
        t.script->exitReadable = row.exitReadable;
        t.script->exitCode = row.exitCode;
        t.manager = std::make_unique<FirewallManager>(std::make_unique<ScriptedFirewall>(t.script));
        t.host.console.clearLines();
        bool result = op == Op::Create   ? t.manager->CreateInboundRuleNetshDirect(kName)
                      : op == Op::Remove ? t.manager->RemoveRuleNetshDirect(kName)
                                         : t.manager->RuleExistsNetsh(kName);
        EXPECT_EQ(result, row.expected);
        EXPECT_EQ(t.manager->lastError, row.error);
        auto lines = t.Lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.size(), row.lastLine ? 3u : 2u);
        if (row.lastLine) {
            EXPECT_EQ(lines.back(), row.lastLine);
        }
        ASSERT_EQ(t.script->launched.size(), 1u);
        EXPECT_EQ(t.script->launched[0].verb, op == Op::Check ? L"" : L"runas");
        EXPECT_EQ(t.script->launched[0].file, L"cmd.exe");
        EXPECT_EQ(t.script->launched[0].show, platform::kShowHidden);
        // A handle that was given is waited for with the one limit and closed, whatever happened.
        if (row.launch.launched && row.launch.process) {
            EXPECT_THAT(t.script->waits, ElementsAre(10000u));
            EXPECT_THAT(t.script->closed, ElementsAre(row.launch.process));
        } else {
            EXPECT_THAT(t.script->waits, IsEmpty());
            EXPECT_THAT(t.script->closed, IsEmpty());
        }
    }
}

const LaunchResult kHandle{true, 0, 41};
const LaunchResult kNoHandle{true, 0, 0};

TEST_F(FirewallManagerTest, ElevatedNetshCreateAndRemoveOutcomes)
{
    for (Op op : {Op::Create, Op::Remove}) {
        const bool create = op == Op::Create;
        SCOPED_TRACE(create ? "create" : "remove");
        RunNetshRows(*this, op,
                     {
                         {"prompt declined", {false, 1223, 0}, WaitResult::Finished, true, 0, false,
                          L"User cancelled the elevation prompt", "User cancelled UAC prompt for netsh"},
                         {"launch error", {false, 1400, 0}, WaitResult::Finished, true, 0, false,
                          L"Failed to launch netsh command: error code 1400",
                          "ShellExecuteEx failed for netsh with error: 1400"},
                         {"exit 0", kHandle, WaitResult::Finished, true, 0, true, L"",
                          create ? "Firewall rule created successfully via netsh"
                                 : "Firewall rule removed successfully via netsh"},
                         {"exit 1", kHandle, WaitResult::Finished, true, 1, false,
                          L"netsh command failed with exit code: 1", "netsh command failed with exit code: 1"},
                         {"exit code in decimal", kHandle, WaitResult::Finished, true, 0xFFFFFFFFu, false,
                          L"netsh command failed with exit code: 4294967295",
                          "netsh command failed with exit code: 4294967295"},
                         {"timed out", kHandle, WaitResult::TimedOut, true, 0, false, L"netsh command timed out",
                          "netsh command timed out"},
                         {"wait failed", kHandle, WaitResult::Failed, true, 0, true, L"", "netsh process launched"},
                         {"exit code unreadable", kHandle, WaitResult::Finished, false, 0, true, L"",
                          "netsh process launched"},
                         {"no process handle", kNoHandle, WaitResult::Finished, true, 1, true, L"",
                          "netsh process launched"},
                     });
    }
}

TEST_F(FirewallManagerTest, NetshCheckOutcomes)
{
    RunNetshRows(*this, Op::Check,
                 {
                     // Not elevated, so a refusal of the launch is an ordinary launch error here.
                     {"launch error 1223", {false, 1223, 0}, WaitResult::Finished, true, 0, false,
                      L"Failed to launch netsh command: error code 1223",
                      "ShellExecuteEx failed for netsh with error: 1223"},
                     {"launch error", {false, 2, 0}, WaitResult::Finished, true, 0, false,
                      L"Failed to launch netsh command: error code 2", "ShellExecuteEx failed for netsh with error: 2"},
                     {"shown", kHandle, WaitResult::Finished, true, 0, true, L"",
                      "Firewall rule exists (verified via netsh)"},
                     {"missing rule: netsh exits 1", kHandle, WaitResult::Finished, true, 1, false, L"",
                      "Firewall rule does not exist (verified via netsh)"},
                     {"timed out", kHandle, WaitResult::TimedOut, true, 0, false, L"netsh command timed out",
                      "netsh command timed out"},
                     {"wait failed", kHandle, WaitResult::Failed, true, 0, false, L"", nullptr},
                     {"exit code unreadable", kHandle, WaitResult::Finished, false, 0, false, L"", nullptr},
                     {"no process handle", kNoHandle, WaitResult::Finished, true, 0, false, L"", nullptr},
                 });
}

TEST_F(FirewallManagerTest, NetshLogsTheOpeningAndTheCommand)
{
    EXPECT_TRUE(manager->RemoveRuleNetshDirect(kName));
    EXPECT_THAT(Lines(), ElementsAre("Attempting to remove firewall rule using netsh fallback",
                                     "Executing netsh command: netsh advfirewall firewall delete rule name=\"BakkesMod "
                                     "ReverseProxy - Rocket League Server Port\"",
                                     "Firewall rule removed successfully via netsh"));
    host.console.clearLines();
    EXPECT_TRUE(manager->RuleExistsNetsh(kName));
    EXPECT_EQ(Lines().at(0), "Attempting to check firewall rule existence using netsh fallback");
    host.console.clearLines();
    EXPECT_TRUE(manager->CreateInboundRuleNetshDirect(kName));
    EXPECT_EQ(Lines().at(0), "Attempting to create firewall rule using netsh fallback");
}

// -- the two PowerShell operations --------------------------------------------------------------

TEST_F(FirewallManagerTest, ElevatedPowerShellOutcomes)
{
    for (bool create : {true, false}) {
        SCOPED_TRACE(create ? "create" : "remove");
        const std::vector<LaunchRow> rows = {
            {"prompt declined", {false, 1223, 0}, WaitResult::Finished, true, 0, false,
             L"User cancelled the elevation prompt", "User cancelled UAC prompt"},
            {"launch error", {false, 2, 0}, WaitResult::Finished, true, 0, false,
             L"Failed to launch elevated PowerShell: error code 2", "ShellExecuteEx failed with error: 2"},
            {"exit 0", kHandle, WaitResult::Finished, true, 0, true, L"",
             create ? "Firewall rule created successfully via elevated PowerShell"
                    : "Firewall rule removed successfully via elevated PowerShell"},
            {"exit 1 still counts as launched", kHandle, WaitResult::Finished, true, 1, true, L"",
             "PowerShell command failed with exit code: 1"},
            {"timed out", kHandle, WaitResult::TimedOut, true, 0, true, L"", "PowerShell command timed out"},
            {"wait failed", kHandle, WaitResult::Failed, true, 0, true, L"", nullptr},
            {"exit code unreadable", kHandle, WaitResult::Finished, false, 0, true, L"", nullptr},
            {"no process handle", kNoHandle, WaitResult::Finished, true, 0, true, L"", nullptr},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(row.what);
            script = std::make_shared<Script>();
            script->launches.push_back(row.launch);
            script->wait = row.wait;
            script->exitReadable = row.exitReadable;
            script->exitCode = row.exitCode;
            manager = std::make_unique<FirewallManager>(std::make_unique<ScriptedFirewall>(script));
            manager->lastError = L"earlier failure";
            host.console.clearLines();
            bool result = create ? manager->CreateRuleElevatedPowerShell(kName, kDescription)
                                 : manager->RemoveRuleElevatedPowerShell(kName);
            EXPECT_EQ(result, row.expected);
            // A run that started leaves the earlier text alone.
            EXPECT_EQ(manager->lastError, row.launch.launched ? std::wstring(L"earlier failure") : row.error);
            auto lines = Lines();
            ASSERT_GE(lines.size(), 2u);
            EXPECT_EQ(lines[0], create ? "Launching elevated PowerShell to create firewall rule"
                                       : "Launching elevated PowerShell to remove firewall rule");
            std::vector<std::string> after(lines.begin() + 2, lines.end());
            std::vector<std::string> expected;
            if (row.lastLine) expected.push_back(row.lastLine);
            if (row.launch.launched) expected.push_back("Elevated PowerShell process launched");
            EXPECT_THAT(after, ElementsAreArray(expected));
            ASSERT_EQ(script->launched.size(), 1u);
            EXPECT_EQ(script->launched[0].verb, L"runas");
            EXPECT_EQ(script->launched[0].file, L"powershell.exe");
            EXPECT_EQ(script->closed.size(), row.launch.launched && row.launch.process ? 1u : 0u);
        }
    }
}

// -- command lines, byte for byte ---------------------------------------------------------------

TEST_F(FirewallManagerTest, CommandLinesAreBuiltExactly)
{
    manager->CreateInboundRuleNetshDirect(kName);
    manager->RemoveRuleNetshDirect(kName);
    manager->RuleExistsNetsh(kName);
    manager->CreateRuleElevatedPowerShell(kName, kDescription);
    manager->CreateRuleElevatedPowerShell(kName, L"");
    manager->RemoveRuleElevatedPowerShell(kName);
    std::vector<std::wstring> parameters;
    for (const auto& request : script->launched) parameters.push_back(request.parameters);
    EXPECT_THAT(parameters,
                ElementsAre(L"/C netsh advfirewall firewall add rule name=\"BakkesMod ReverseProxy - Rocket League "
                            L"Server Port\" dir=in action=allow protocol=UDP localport=7777 enable=yes",
                            L"/C netsh advfirewall firewall delete rule name=\"BakkesMod ReverseProxy - Rocket League "
                            L"Server Port\"",
                            L"/C netsh advfirewall firewall show rule name=\"BakkesMod ReverseProxy - Rocket League "
                            L"Server Port\"",
                            L"-NoProfile -NonInteractive -Command \"New-NetFirewallRule -DisplayName 'BakkesMod "
                            L"ReverseProxy - Rocket League Server Port' -Direction Inbound -Protocol UDP -LocalPort "
                            L"7777 -Action Allow -Description 'Allows inbound connections to Rocket League server via "
                            L"ReverseProxy' -Group 'BakkesMod ReverseProxy'\"",
                            L"-NoProfile -NonInteractive -Command \"New-NetFirewallRule -DisplayName 'BakkesMod "
                            L"ReverseProxy - Rocket League Server Port' -Direction Inbound -Protocol UDP -LocalPort "
                            L"7777 -Action Allow -Group 'BakkesMod ReverseProxy'\"",
                            L"-NoProfile -NonInteractive -Command \"Remove-NetFirewallRule -DisplayName 'BakkesMod "
                            L"ReverseProxy - Rocket League Server Port'\""));
    // The PowerShell line names the program before its parameters.
    EXPECT_THAT(Lines(), ::testing::Contains("Command: powershell.exe -NoProfile -NonInteractive -Command "
                                             "\"Remove-NetFirewallRule -DisplayName 'BakkesMod ReverseProxy - Rocket "
                                             "League Server Port'\""));
}

TEST_F(FirewallManagerTest, TextsThatWouldBreakOutOfTheCommandLineAreRefused)
{
    const std::wstring names[] = {L"a\"b", L"a'b", L"a\u2019b", L"a\u201Cb", L"a\u201Eb", L"a\nb", L"a\rb", L"a\tb"};
    const std::wstring nameError = L"Refusing firewall command: the rule name contains a quote or line break";
    for (const auto& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        manager->lastError.clear();
        EXPECT_FALSE(manager->CreateInboundRuleNetshDirect(name));
        EXPECT_FALSE(manager->RemoveRuleNetshDirect(name));
        EXPECT_FALSE(manager->RuleExistsNetsh(name));
        EXPECT_FALSE(manager->CreateRuleElevatedPowerShell(name, kDescription));
        EXPECT_FALSE(manager->RemoveRuleElevatedPowerShell(name));
        EXPECT_EQ(manager->lastError, nameError);
    }
    EXPECT_FALSE(manager->CreateRuleElevatedPowerShell(kName, L"it's open"));
    EXPECT_EQ(manager->lastError, L"Refusing firewall command: the rule description contains a quote or line break");
    EXPECT_THAT(script->launched, IsEmpty());
    EXPECT_EQ(Lines().back(), "Refusing firewall command: the rule description contains a quote or line break");
    // The policy takes any name: nothing is parsed there.
    Ready();
    script->lookup = {0, true};
    EXPECT_TRUE(manager->RuleExists(L"a\"b"));
}

TEST_F(FirewallManagerTest, LogLinesNarrowEachUnitToOneByte)
{
    Ready();
    script->lookup = {0, true};
    EXPECT_TRUE(manager->CreateInboundRule(L"R\u00e9gle", L""));
    EXPECT_THAT(Lines(), ElementsAre(std::string("Firewall rule 'R\xe9gle' already exists")));
}

} // namespace
