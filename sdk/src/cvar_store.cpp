#include "bakkesmod/host/cvar_store.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "bakkesmod/wrappers/cvarwrapper.h"

namespace bakkesmod::host {

namespace {

bool parseNumber(const std::string& text, double& out)
{
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

} // namespace

std::string FormatCvarNumber(double value)
{
    std::string text = std::to_string(value);
    // Trailing zeros carry no meaning and make saved files noisy.
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

CvarEntry::CvarEntry(CvarDefinition definition) : definition_(std::move(definition)), value_(clamp(definition_.defaultValue)) {}

std::string CvarEntry::value() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
}

std::string CvarEntry::clamp(const std::string& value) const
{
    double number = 0;
    if (!(definition_.hasMin || definition_.hasMax) || !parseNumber(value, number)) return value;
    // "nan" compares false with both limits and would slip past them.
    double clamped = std::isnan(number) ? 0.0 : number;
    if (definition_.hasMin) clamped = std::max(clamped, static_cast<double>(definition_.min));
    if (definition_.hasMax) clamped = std::min(clamped, static_cast<double>(definition_.max));
    return clamped == number ? value : FormatCvarNumber(clamped);
}

void CvarEntry::setValue(const std::string& value)
{
    std::string oldValue;
    std::vector<ChangedFn> callbacks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        oldValue = value_;
        value_ = clamp(value);
        for (auto it = bound_.begin(); it != bound_.end();) {
            if (auto target = it->lock()) {
                *target = value_;
                ++it;
            } else {
                it = bound_.erase(it);
            }
        }
        callbacks = callbacks_;
    }
    for (auto& callback : callbacks) callback(oldValue, CVarWrapper(shared_from_this()));
}

void CvarEntry::addOnValueChanged(ChangedFn fn)
{
    std::lock_guard<std::mutex> lock(mutex_);
    callbacks_.push_back(std::move(fn));
}

void CvarEntry::bindTo(std::shared_ptr<std::string> target)
{
    if (!target) return;
    std::lock_guard<std::mutex> lock(mutex_);
    *target = value_;
    bound_.push_back(target);
}

std::shared_ptr<CvarEntry> CvarStore::registerCvar(const CvarDefinition& definition, const std::string* initialValue)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = entries_[definition.name];
    if (!slot) {
        slot = std::make_shared<CvarEntry>(definition);
        if (initialValue) slot->setValue(*initialValue);
    }
    return slot;
}

std::shared_ptr<CvarEntry> CvarStore::find(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<CvarEntry>> CvarStore::all() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::shared_ptr<CvarEntry>> result;
    for (auto& [name, entry] : entries_) result.push_back(entry);
    return result;
}

void CvarStore::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

} // namespace bakkesmod::host
