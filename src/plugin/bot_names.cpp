#include "plugin/matchbay.h"

void matchbay::AppendBotName(std::string name)
{
    std::lock_guard<std::mutex> lock(botNamesMutex);
    botNames.push_back(std::move(name));
}

void matchbay::ReplaceBotNames(std::vector<std::string> names)
{
    std::lock_guard<std::mutex> lock(botNamesMutex);
    botNames = std::move(names);
}

void matchbay::ClearBotNames()
{
    std::lock_guard<std::mutex> lock(botNamesMutex);
    botNames.clear();
    botNames.shrink_to_fit();
}

std::vector<std::string> matchbay::BotNamesSnapshot() const
{
    std::lock_guard<std::mutex> lock(botNamesMutex);
    return botNames;
}

std::uint64_t matchbay::BotNameCount() const
{
    std::lock_guard<std::mutex> lock(botNamesMutex);
    return botNames.size();
}
