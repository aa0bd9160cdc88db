// Tabs and panels whose content arrives with their subsystems. They draw nothing yet.
#include "plugin/matchbay.h"

void matchbay::RenderKestrelTab() {}
void matchbay::RenderRLBotHostTab() {}
void matchbay::RenderReverseProxyPanel() {}
void matchbay::RenderReverseProxySetupGuide() {}
void matchbay::RenderReverseProxyConnectionHelp() {}
