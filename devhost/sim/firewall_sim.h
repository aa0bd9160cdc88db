#pragma once
// The simulated Windows Firewall the development host installs: the policy and its rules,
// a shell whose elevation prompt is accepted, declined or never answered, and a process
// that is or is not an administrator, all set by the "sim firewall" commands.
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "bakkesmod/host/firewall_service.h"
#include "sim/firewall_rules.h"

namespace devhost {

enum class PromptAnswer { Accept, Decline, Hang };

class FirewallSim : public bakkesmod::host::FirewallService {
public:
    explicit FirewallSim(std::filesystem::path rulesFile);
    ~FirewallSim() override;

    // Reads the rules file, printing a line when it could not be read.
    void load();

    std::int32_t createPolicy() override;
    bakkesmod::host::FirewallRuleQuery findRule(const std::wstring& name) override;
    bakkesmod::host::FirewallAddOutcome addRule(const bakkesmod::host::FirewallRuleRecord& rule) override;
    bakkesmod::host::FirewallLaunchOutcome launch(const std::wstring& verb, const std::wstring& file,
                                                  const std::wstring& parameters, int show) override;
    bakkesmod::host::FirewallWaitOutcome wait(std::uint64_t process, std::uint32_t milliseconds) override;
    bool exitCode(std::uint64_t process, std::uint32_t& code) override;
    void closeProcess(std::uint64_t process) override;
    bool isAdmin() override;

    // The console's "sim firewall ..." command; words[0] is "sim". False on bad input.
    bool command(const std::vector<std::string>& words);
    // Ends every wait at once (a prompt left unanswered no longer holds its caller).
    void stop();

    // For tests: the scene without the console.
    void setAdmin(bool on);
    void setPrompt(PromptAnswer answer);
    void setPolicy(bool on);
    std::vector<FirewallRuleRecord> rules();

private:
    struct Process {
        bool atPrompt = false; // waiting for an answer that never comes
        std::uint32_t exitCode = 0;
    };

    void printStatus();
    void printRules();

    std::mutex mutex;
    std::condition_variable changed;
    FirewallRuleStore store;
    bool admin = false;
    PromptAnswer prompt = PromptAnswer::Accept;
    bool policyOn = true;
    bool stopping = false;
    std::uint64_t nextProcess = 0x100;
    std::map<std::uint64_t, Process> processes; // open handles
    int unansweredPrompts = 0;
};

} // namespace devhost
