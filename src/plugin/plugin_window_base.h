#pragma once
// The frame of the plugin's menu window; the content comes from RenderContent.
#include <string>

#include "bakkesmod/plugin/pluginwindow.h"

class PluginWindowBase : public BakkesMod::Plugin::PluginWindow {
public:
    void DrawMenu() override;
    std::string MenuName() override;
    std::string MenuTitle() override;
    void UseUiContext(ImGuiContext* context) override;
    bool CapturesInput() override;
    bool IsOverlay() override;
    void MenuOpened() override;
    void MenuClosed() override;
    ~PluginWindowBase() override = default;
    virtual void RenderContent() = 0;

protected:
    bool isWindowOpen = false;              // the menu is open; the window's close button clears it
    std::string menuTitle = "Kestrel - V1.2.0";
};
