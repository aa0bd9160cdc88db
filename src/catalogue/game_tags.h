#pragma once

#include <string>

#include "catalogue/mutators.h"

namespace catalogue {

// GameTags text for a mutator choice: "BotsNone,PlayerCount8", then ",<tag>" for each category of
// MutatorTable, in table order, whose chosen option has a tag. Categories without an entry, and entries whose
// index is not a position in the category's options, add nothing. Reads only its argument and takes no lock:
// a caller off the drawing pass hands it a copy taken in that pass.
std::string BuildGameTags(const MutatorSelections& selections);

}  // namespace catalogue
