#pragma once
#include <string>

class UnrealStringWrapper {
public:
    explicit UnrealStringWrapper(std::string text = {}) : text(std::move(text)) {}
    bool IsNull() const { return false; }
    std::string ToString() const { return text; }

private:
    std::string text;
};
