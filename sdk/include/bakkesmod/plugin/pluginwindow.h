#pragma once
// The interface a plugin implements to draw in the host's overlay. The host calls the
// operations in this slot order.
#include <string>

struct ImGuiContext;

namespace BakkesMod::Plugin {

class PluginWindow {
public:
    virtual void DrawMenu() = 0;
    virtual std::string MenuName() = 0;
    virtual std::string MenuTitle() = 0;
    virtual void UseUiContext(ImGuiContext* context) = 0;
    virtual bool CapturesInput() = 0;
    virtual bool IsOverlay() = 0;
    virtual void MenuOpened() = 0;
    virtual void MenuClosed() = 0;
    virtual ~PluginWindow();
};

} // namespace BakkesMod::Plugin
