#include <cstdlib>

#include "bakkesmod/host/cvar_store.h"
#include "bakkesmod/host/services.h"
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "bakkesmod/wrappers/cvarwrapper.h"

using bakkesmod::host::CvarDefinition;

CVarWrapper::CVarWrapper(std::shared_ptr<bakkesmod::host::CvarEntry> entry) : entry(std::move(entry)) {}

bool CVarWrapper::IsNull() const { return entry == nullptr; }

std::string CVarWrapper::getCVarName() const { return entry ? entry->definition().name : std::string(); }

std::string CVarWrapper::getStringValue() const { return entry ? entry->value() : std::string(); }

float CVarWrapper::getFloatValue() const
{
    std::string text = getStringValue();
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? 0.0f : static_cast<float>(value);
}

int CVarWrapper::getIntValue() const { return static_cast<int>(getFloatValue()); }

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
