// The reverse proxy windows: their content arrives with the reverse proxy controller.
#include "plugin/matchbay.h"

void matchbay::RenderReverseProxyPanel() {}
void matchbay::RenderReverseProxySetupGuide() {}
void matchbay::RenderReverseProxyConnectionHelp() {}
