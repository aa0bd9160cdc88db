#pragma once
// The mutator settings panel: one combo per MutatorTable category, labels right-aligned in a column whose width
// each tab keeps for itself.
#include <string>

#include "catalogue/mutators.h"

namespace catalogue {

inline constexpr float initialMutatorLabelColumnWidth = 125.0f;
inline constexpr float mutatorRowHeight = 23.0f;  // pixels per category in the panel's region

// Label text of a category row.
std::string MutatorRowLabel(const MutatorCategory& category);

// The width of the widest category label in the current font, in whole pixels.
float MutatorLabelColumnWidth();

// Draws the panel under the collapsing header "Mutators Settings", only the rows that are on screen. Each
// category without an entry in selections gets one with option 0. labelColumnWidth only grows: it becomes the
// widest label of all categories when that is wider, which moves the column boundary from the next frame on.
void RenderMutatorSettings(MutatorSelections& selections, float& labelColumnWidth);

}  // namespace catalogue
