#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "bakkesmod/host/cvar_store.h"
#include "bakkesmod/host/services.h"
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "bakkesmod/wrappers/cvarwrapper.h"

using bakkesmod::host::CvarDefinition;

CVarWrapper::CVarWrapper(std::shared_ptr<bakkesmod::host::CvarEntry> entry) : entry(std::move(entry)) {}

bool CVarWrapper::IsNull() const { return entry == nullptr; }

std::string CVarWrapper::getCVarName() const { return entry ? entry->definition().name : std::string(); }

std::string CVarWrapper::getStringValue() const { return entry ? entry->value() : std::string(); }

namespace {

// The leading number of a value; text that starts with none, and "nan", read as 0. The caller
// narrows it, so it is kept inside the target type's range (a cast beyond it is undefined).
double LeadingNumber(const std::string& text, double lowest, double highest)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || std::isnan(value)) return 0.0;
    return std::clamp(value, lowest, highest);
}

} // namespace

float CVarWrapper::getFloatValue() const
{
    return static_cast<float>(LeadingNumber(getStringValue(), std::numeric_limits<float>::lowest(),
                                            std::numeric_limits<float>::max()));
}

int CVarWrapper::getIntValue() const
{
    return static_cast<int>(LeadingNumber(getStringValue(), std::numeric_limits<int>::min(),
                                          std::numeric_limits<int>::max()));
}

bool CVarWrapper::getBoolValue() const { return getFloatValue() != 0.0f; }

void CVarWrapper::setValue(std::string value)
{
    if (entry) entry->setValue(value);
}

void CVarWrapper::setValue(int value) { setValue(std::to_string(value)); }

void CVarWrapper::setValue(float value) { setValue(bakkesmod::host::FormatCvarNumber(value)); }

void CVarWrapper::addOnValueChanged(std::function<void(std::string, CVarWrapper)> callback)
{
    if (entry && callback) entry->addOnValueChanged(std::move(callback));
}

void CVarWrapper::bindTo(std::shared_ptr<std::string> target)
{
    if (entry) entry->bindTo(std::move(target));
}

CVarManagerWrapper::CVarManagerWrapper(bakkesmod::host::ConsoleService* console) : console(console) {}

void CVarManagerWrapper::log(std::string text)
{
    if (console) console->log(text);
}

CVarWrapper CVarManagerWrapper::registerCvar(std::string cvar, std::string defaultValue, std::string desc,
                                             bool searchAble, bool hasMin, float min, bool hasMax, float max,
                                             bool saveToCfg)
{
    if (!console) return CVarWrapper();
    CvarDefinition definition{std::move(cvar), std::move(defaultValue), std::move(desc), searchAble, hasMin, min, hasMax, max,
                  saveToCfg};
    return CVarWrapper(console->registerCvar(definition));
}

void CVarManagerWrapper::registerNotifier(std::string cvar, std::function<void(std::vector<std::string>)> notifier,
                                          std::string description, unsigned char permissions)
{
    if (console) console->registerNotifier(cvar, std::move(notifier), description, permissions);
}

void CVarManagerWrapper::setBind(std::string key, std::string command)
{
    if (console) console->setBind(key, command);
}

void CVarManagerWrapper::executeCommand(std::string command, bool log)
{
    if (console) console->executeCommand(command, log);
}

CVarWrapper CVarManagerWrapper::getCvar(std::string cvar)
{
    return console ? CVarWrapper(console->findCvar(cvar)) : CVarWrapper();
}
