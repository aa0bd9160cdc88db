#pragma once
// The host side of console variables: values, change callbacks and bound strings. Both
// hosts use it, so a variable behaves the same in the development host and in tests.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bakkesmod/host/services.h"

class CVarWrapper;

namespace bakkesmod::host {

// A number as a console variable stores it: "2.5", "7", never "7.000000".
std::string FormatCvarNumber(double value);

class CvarEntry : public std::enable_shared_from_this<CvarEntry> {
public:
    using ChangedFn = std::function<void(std::string oldValue, CVarWrapper cvar)>;

    explicit CvarEntry(CvarDefinition definition);

    const CvarDefinition& definition() const { return definition_; }
    std::string value() const;
    // Stores the value (clamped to min/max for numbers), updates bound strings, then runs
    // the change callbacks outside the lock so they may use the console freely.
    void setValue(const std::string& value);
    void addOnValueChanged(ChangedFn fn);
    void bindTo(std::shared_ptr<std::string> target);

private:
    std::string clamp(const std::string& value) const;

    const CvarDefinition definition_;
    mutable std::mutex mutex_;
    std::string value_;
    std::vector<ChangedFn> callbacks_;
    std::vector<std::weak_ptr<std::string>> bound_;
};

class CvarStore {
public:
    // A second registration of a name returns the existing variable. initialValue, when
    // given, replaces the default (a value the host saved in an earlier run).
    std::shared_ptr<CvarEntry> registerCvar(const CvarDefinition& definition, const std::string* initialValue = nullptr);
    std::shared_ptr<CvarEntry> find(const std::string& name) const;
    std::vector<std::shared_ptr<CvarEntry>> all() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<CvarEntry>> entries_;
};

} // namespace bakkesmod::host
