#pragma once

#include <string>
#include <unordered_map>
#include <vector>

struct MutatorOption {
    std::string displayName;  // combo text
    std::string tagValue;     // GameTags text, case-sensitive; empty when the option adds no tag
};

struct MutatorCategory {
    std::string label;                   // unique in MutatorTable; key of MutatorSelections
    std::vector<MutatorOption> options;  // option 0 has an empty tag and is in force until the user picks another
};

// Category label -> index of the chosen option. A category that has no entry adds no tag.
using MutatorSelections = std::unordered_map<std::string, int>;

// 44 categories. Their order is the order of the settings rows and of the tags in the GameTags text.
// Filled during static initialisation: read it from functions, not from other namespace-scope initialisers.
extern const std::vector<MutatorCategory> MutatorTable;
