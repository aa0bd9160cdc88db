#pragma once
// "ui ..." console commands: press, type into and pick from the plugin's widgets by id path
// (devhost/uiscript/ui_path.h), list the shown windows and read their text. They run on the
// console thread and do every ImGui call as steps of the drawing pass, with the host's copy of
// ImGui against the context the plugin draws into.
#include <string>
#include <vector>

#include "frontend/draw_state.h"

namespace devhost {

// words[0] is "ui". False when the command failed (bad input, nothing to press); the
// reason has been printed.
bool RunUiCommand(DrawState& draw, const std::vector<std::string>& words);

} // namespace devhost
