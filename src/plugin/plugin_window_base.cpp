#include "plugin/plugin_window_base.h"

#include <imgui.h>

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "plugin/first_use_layout.h"
#include "plugin/logging.h"

void PluginWindowBase::DrawMenu()
{
    // Only a close press during this frame toggles the host's menu off; a host that draws
    // a closed window must not get a toggle every frame.
    const bool wasOpen = isWindowOpen;
    // Tab bars add no width to a window's content, so without a first size the window opens as a sliver.
    const plugin_layout::WindowPlace place = plugin_layout::CurrentFirstUseLayout().menu;
    ImGui::SetNextWindowPos(place.pos, ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(place.size, ImGuiCond_FirstUseEver);
    // A collapsed window still has its close button, so the check below runs either way.
    if (ImGui::Begin(menuTitle.c_str(), &isWindowOpen, ImGuiWindowFlags_None)) RenderContent();
    ImGui::End();

    if (wasOpen && !isWindowOpen && globalCvarManager) globalCvarManager->executeCommand("togglemenu " + MenuName(), true);
}

std::string PluginWindowBase::MenuName() { return "matchbay"; }

std::string PluginWindowBase::MenuTitle() { return menuTitle; }

void PluginWindowBase::UseUiContext(ImGuiContext* context) { ImGui::SetCurrentContext(context); }

bool PluginWindowBase::CapturesInput()
{
    if (!ImGui::GetCurrentContext()) return false;
    const ImGuiIO& io = ImGui::GetIO();
    return io.WantCaptureMouse || io.WantCaptureKeyboard;
}

bool PluginWindowBase::IsOverlay() { return true; }

void PluginWindowBase::MenuOpened() { isWindowOpen = true; }

void PluginWindowBase::MenuClosed() { isWindowOpen = false; }
