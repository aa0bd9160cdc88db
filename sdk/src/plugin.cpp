#include "bakkesmod/plugin/bakkesmodplugin.h"
#include "bakkesmod/plugin/pluginwindow.h"

namespace BakkesMod::Plugin {

void BakkesModPlugin::onLoad() {}
void BakkesModPlugin::onUnload() {}
PluginWindow::~PluginWindow() = default;

} // namespace BakkesMod::Plugin
