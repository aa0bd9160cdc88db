#pragma once
// A handle to one console variable; null when the variable does not exist.
#include <functional>
#include <memory>
#include <string>

namespace bakkesmod::host {
class CvarEntry;
}

class CVarWrapper {
public:
    CVarWrapper() = default;
    explicit CVarWrapper(std::shared_ptr<bakkesmod::host::CvarEntry> entry);

    bool IsNull() const;
    std::string getCVarName() const;
    std::string getStringValue() const;
    int getIntValue() const;     // 0 when the value is not a number
    float getFloatValue() const; // 0 when the value is not a number
    bool getBoolValue() const;   // true when the value is a non-zero number
    void setValue(std::string value);
    void setValue(int value);
    void setValue(float value);
    void addOnValueChanged(std::function<void(std::string oldValue, CVarWrapper cvar)> callback);
    // The host keeps *target equal to the value from now on.
    void bindTo(std::shared_ptr<std::string> target);

private:
    std::shared_ptr<bakkesmod::host::CvarEntry> entry;
};
