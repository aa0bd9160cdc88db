// The library's entry points: exports, getPlugin and deleteMe.
#include "plugin/matchbay.h"

BAKKESMOD_PLUGIN(matchbay, "Kestrel", "1.0.0.245", BakkesMod::Plugin::PLUGINTYPE_FREEPLAY)
