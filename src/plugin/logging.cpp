#include "plugin/logging.h"

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"

std::shared_ptr<CVarManagerWrapper> globalCvarManager;

void LogLine(std::string text)
{
    if (auto console = globalCvarManager) console->log(std::move(text));
}
