#include "sim/firewall_sim.h"

#include <chrono>

#include "output.h"
#include "sim/firewall_programs.h"

namespace devhost {

namespace {

using bakkesmod::host::FirewallAddOutcome;
using bakkesmod::host::FirewallLaunchOutcome;
using bakkesmod::host::FirewallWaitOutcome;

constexpr std::int32_t kClassNotRegistered = static_cast<std::int32_t>(0x80040154u);
// The firewall service is stopped: its RPC endpoint is gone.
constexpr std::int32_t kServiceUnavailable = static_cast<std::int32_t>(0x800706D9u);
constexpr std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80070005u);
constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kCancelled = 1223;
constexpr std::uint32_t kNoAssociation = 1155;
constexpr std::uint32_t kStillActive = 259;

const char* kUsage = "usage: sim firewall status | sim firewall rules | sim firewall admin on|off | "
                     "sim firewall prompt accept|decline|hang | sim firewall policy on|off";

void Say(const std::string& text) { PrintLine("[firewall] " + text); }

const char* PromptName(PromptAnswer answer)
{
    switch (answer) {
    case PromptAnswer::Accept: return "accept";
    case PromptAnswer::Decline: return "decline";
    case PromptAnswer::Hang: return "hang";
    }
    return "?";
}

std::string ShowName(int show) { return show == 0 ? "hidden" : "shown (" + std::to_string(show) + ")"; }

} // namespace

FirewallSim::FirewallSim(std::filesystem::path rulesFile) : store(std::move(rulesFile)) {}

FirewallSim::~FirewallSim() { stop(); }

void FirewallSim::load()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::string problem = store.load();
    if (!problem.empty()) HostMessage(problem);
}

void FirewallSim::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
}

std::int32_t FirewallSim::createPolicy()
{
    std::lock_guard<std::mutex> lock(mutex);
    return policyOn ? 0 : kClassNotRegistered;
}

bakkesmod::host::FirewallRuleQuery FirewallSim::findRule(const std::wstring& name)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!policyOn) return {kServiceUnavailable, false};
    return {0, store.contains(name)};
}

FirewallAddOutcome FirewallSim::addRule(const bakkesmod::host::FirewallRuleRecord& rule)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!policyOn) return {FirewallAddOutcome::Step::GetRules, kServiceUnavailable};
    if (!admin) return {FirewallAddOutcome::Step::AddRule, kAccessDenied};
    if (rule.name.empty()) return {FirewallAddOutcome::Step::AddRule, static_cast<std::int32_t>(0x80070057u)};
    std::string error = store.add(rule);
    if (!error.empty()) {
        Say("policy: " + error);
        return {FirewallAddOutcome::Step::AddRule, kFail};
    }
    Say("policy: added rule '" + ToUtf8(rule.name) + "'");
    return {};
}

FirewallLaunchOutcome FirewallSim::launch(const std::wstring& verb, const std::wstring& file,
                                          const std::wstring& parameters, int show)
{
    std::unique_lock<std::mutex> lock(mutex);
    const std::string program = ToUtf8(file);
    Say("launch " + program + " " + ToUtf8(parameters) + " (verb " + (verb.empty() ? "default" : ToUtf8(verb)) + ", " +
        ShowName(show) + ")");
    if (!IsKnownProgram(file)) {
        Say(program + ": the system cannot find the file specified (error 2)");
        return {false, kFileNotFound, 0};
    }
    bool elevated = admin;
    if (verb == L"runas" && !admin) {
        switch (prompt) {
        case PromptAnswer::Accept:
            Say("elevation prompt for " + program + ": accepted");
            elevated = true;
            break;
        case PromptAnswer::Decline:
            Say("elevation prompt for " + program + ": declined (error 1223)");
            return {false, kCancelled, 0};
        case PromptAnswer::Hang: {
            Say("elevation prompt for " + program + ": left unanswered");
            ++unansweredPrompts;
            const std::uint64_t id = nextProcess++;
            processes[id] = Process{true, kStillActive};
            return {true, 0, id};
        }
        }
    } else if (!verb.empty() && verb != L"open" && verb != L"runas") {
        Say(program + ": no program is associated with the verb " + ToUtf8(verb) + " (error 1155)");
        return {false, kNoAssociation, 0};
    }
    const ProgramRun run = RunFirewallProgram(file, parameters, elevated, store);
    for (const auto& line : run.output) Say(program + ": " + line);
    Say(program + " exited with code " + std::to_string(run.exitCode));
    const std::uint64_t id = nextProcess++;
    processes[id] = Process{false, run.exitCode};
    return {true, 0, id};
}

FirewallWaitOutcome FirewallSim::wait(std::uint64_t process, std::uint32_t milliseconds)
{
    std::unique_lock<std::mutex> lock(mutex);
    auto found = processes.find(process);
    if (found == processes.end()) return FirewallWaitOutcome::Failed;
    if (!found->second.atPrompt) return FirewallWaitOutcome::Finished;
    // Nobody answers this prompt: the whole limit passes, unless the host is going down.
    changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return stopping; });
    return FirewallWaitOutcome::TimedOut;
}

bool FirewallSim::exitCode(std::uint64_t process, std::uint32_t& code)
{
    std::lock_guard<std::mutex> lock(mutex);
    auto found = processes.find(process);
    if (found == processes.end()) return false;
    code = found->second.exitCode;
    return true;
}

void FirewallSim::closeProcess(std::uint64_t process)
{
    std::lock_guard<std::mutex> lock(mutex);
    processes.erase(process);
}

bool FirewallSim::isAdmin()
{
    std::lock_guard<std::mutex> lock(mutex);
    return admin;
}

void FirewallSim::setAdmin(bool on)
{
    std::lock_guard<std::mutex> lock(mutex);
    admin = on;
}

void FirewallSim::setPrompt(PromptAnswer answer)
{
    std::lock_guard<std::mutex> lock(mutex);
    prompt = answer;
}

void FirewallSim::setPolicy(bool on)
{
    std::lock_guard<std::mutex> lock(mutex);
    policyOn = on;
}

std::vector<FirewallRuleRecord> FirewallSim::rules()
{
    std::lock_guard<std::mutex> lock(mutex);
    return store.rules();
}

bool FirewallSim::command(const std::vector<std::string>& words)
{
    auto usage = [] {
        HostMessage(kUsage);
        return false;
    };
    if (words.size() == 3 && words[2] == "status") {
        printStatus();
        return true;
    }
    if (words.size() == 3 && words[2] == "rules") {
        printRules();
        return true;
    }
    if (words.size() != 4) return usage();
    const std::string& what = words[2];
    const std::string& value = words[3];
    if (what == "admin" && (value == "on" || value == "off")) {
        setAdmin(value == "on");
    } else if (what == "policy" && (value == "on" || value == "off")) {
        setPolicy(value == "on");
    } else if (what == "prompt" && value == "accept") {
        setPrompt(PromptAnswer::Accept);
    } else if (what == "prompt" && value == "decline") {
        setPrompt(PromptAnswer::Decline);
    } else if (what == "prompt" && value == "hang") {
        setPrompt(PromptAnswer::Hang);
    } else {
        return usage();
    }
    printStatus();
    return true;
}

void FirewallSim::printStatus()
{
    std::lock_guard<std::mutex> lock(mutex);
    HostMessage(std::string("sim firewall: admin ") + (admin ? "on" : "off") + ", prompt " + PromptName(prompt) +
                ", policy " + (policyOn ? "on" : "off") + ", " + std::to_string(store.rules().size()) +
                " rules in " + store.file().string() +
                (unansweredPrompts ? ", " + std::to_string(unansweredPrompts) + " prompts left unanswered" : ""));
}

void FirewallSim::printRules()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (store.rules().empty()) HostMessage("sim firewall: no rules");
    for (const auto& rule : store.rules()) {
        std::string protocol = rule.protocol == 17 ? "UDP" : rule.protocol == 6 ? "TCP" : rule.protocol == 256 ? "any" : std::to_string(rule.protocol);
        HostMessage("sim firewall: '" + ToUtf8(rule.name) + "' " + (rule.direction == 2 ? "out" : "in") + " " +
                    (rule.action == 0 ? "block" : "allow") + " " + protocol + " port " +
                    (rule.localPorts.empty() ? "any" : ToUtf8(rule.localPorts)) + (rule.enabled ? "" : " (disabled)") +
                    (rule.grouping.empty() ? "" : " group '" + ToUtf8(rule.grouping) + "'") +
                    (rule.description.empty() ? "" : " - " + ToUtf8(rule.description)));
    }
}

} // namespace devhost
