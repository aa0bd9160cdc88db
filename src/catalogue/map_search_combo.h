#pragma once
// The searchable map selector: a combo whose closed frame turns into a search field while it is in use.
#include <cstdint>
#include <string>
#include <vector>

namespace catalogue {

// The standard combo frame, except that while the drop-down is open (and in the frame that opens it) the frame
// is a text field over searchBuffer with the hint "Search...". Returns true while the drop-down is open; the
// caller then draws the entries and calls ImGui::EndCombo(). searchBuffer is the caller's, cleared each frame.
bool BeginSearchCombo(const char* id, const char* preview, char* searchBuffer, int searchBufferSize);

// A combo over names filtered by the search text (read, not copied: the tabs draw it every frame). id is the hidden id ("##..."); selectedIndex is the caller's
// and is reset to 0 when at or beyond the end of names. Returns true in the frame the user picks an entry.
bool MapSearchCombo(const std::string& id, std::int32_t& selectedIndex, const std::vector<std::string>& names);

}  // namespace catalogue
