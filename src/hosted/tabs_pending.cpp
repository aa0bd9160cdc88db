// The hosted-server tabs: their content arrives with the hosting service subsystem.
#include "plugin/matchbay.h"

void matchbay::RenderKestrelTab() {}
void matchbay::RenderRLBotHostTab() {}
