// Match presets and the setup line: the row each match tab draws, and the console commands on Host Lan's setup.
#include <memory>
#include <mutex>

#include "catalogue/setup_line.h"
#include "hosted/kestrel_setup_target.h"
#include "hosting/presets/setup_targets.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace {

constexpr const char* kPresetUsage = "usage: kz preset list | save <name> | load <name> | delete <name>";

std::unique_ptr<catalogue::SetupTarget> TargetFor(matchbay::SetupTab tab, hosted::KestrelTabState& kestrelTab)
{
    switch (tab) {
    case matchbay::SetupTab::RocketLeague:
        return std::make_unique<hosting::RocketLeagueSetupTarget>(hosting::RocketLeagueTab());
    case matchbay::SetupTab::Kestrel:
        return std::make_unique<hosted::KestrelSetupTarget>(kestrelTab);
    case matchbay::SetupTab::HostLan:
        break;
    }
    return std::make_unique<hosting::LanHostSetupTarget>(hosting::LanHostTab());
}

// Words from index first on, as typed: a name or a line may hold spaces.
std::string Rest(const std::vector<std::string>& words, size_t first)
{
    std::string rest;
    for (size_t i = first; i < words.size(); ++i) rest += (i > first ? " " : "") + words[i];
    return rest;
}

} // namespace

void matchbay::RenderPresetRow(SetupTab tab)
{
    // The caller, drawing the tab, holds matchSetupMutex.
    const auto target = TargetFor(tab, kestrelTab);
    hosting::RenderPresetRow(presetRows[static_cast<size_t>(tab)], presetStore, *target, mutatorSelections);
}

void matchbay::HandlePresetCommand(const std::vector<std::string>& words)
{
    const std::string action = words.size() > 2 ? words[2] : "";
    const std::string name = Rest(words, 3);
    std::lock_guard<std::mutex> lock(matchSetupMutex);
    hosting::LanHostSetupTarget target(hosting::LanHostTab());
    if (action == "list" && words.size() == 3) {
        presetStore.EnsureLoaded();
        const auto& presets = presetStore.Presets();
        if (presets.empty()) {
            LogLine("No presets saved.");
            return;
        }
        LogLine("Presets (" + std::to_string(presets.size()) + "):");
        for (const hosting::Preset& preset : presets) LogLine("  " + preset.name);
    } else if (action == "save" && !name.empty()) {
        // A console cannot ask before replacing, so a taken name is refused.
        const auto outcome = presetStore.Save(name, catalogue::CaptureSetup(target, mutatorSelections), false);
        if (outcome.result == hosting::PresetStore::SaveResult::NameTaken) {
            LogLine(outcome.message + " Delete it first (kz preset delete) to save under that name.");
        } else {
            LogLine(outcome.message);
        }
    } else if (action == "load" && !name.empty()) {
        hosting::LoadPreset(presetStore, name, target, mutatorSelections);
    } else if (action == "delete" && !name.empty()) {
        LogLine(presetStore.Remove(name));
    } else {
        LogLine(kPresetUsage);
    }
}

void matchbay::HandleSetupCommand(const std::vector<std::string>& words)
{
    std::lock_guard<std::mutex> lock(matchSetupMutex);
    hosting::LanHostSetupTarget target(hosting::LanHostTab());
    if (words.size() <= 2) {
        LogLine(catalogue::WriteSetupLine(catalogue::CaptureSetup(target, mutatorSelections)));
        return;
    }
    hosting::LoadSetupLine(Rest(words, 2), target, mutatorSelections);
}
