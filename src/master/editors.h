#pragma once
#include <array>
#include <string_view>

#include "core/console.h"

namespace velmora {

enum class Editor { Car, Course, Drivers };

// The choices of the driver grid's target column, in drop-down order.
inline constexpr std::array<std::string_view, 6> kDriverTargets{"全車",   "１号車", "２号車",
                                                                "３号車", "４号車", "５号車"};

OverlayState& EditorOverlay(ConsoleState& st, Editor e);
// Object name of the editor's grid, for focus requests: "Spd_Car", "Spd_Course", "Spd_Drivers".
std::string_view EditorGridName(Editor e);

// Reloads the grid from the file and opens the editor over the disabled console. Returns
// false, after telling the user, when the file can neither be read nor created: the editor
// then stays closed so that an empty grid can never be saved over a file it failed to read.
bool OpenEditor(Console& c, Editor e);
// The delete button of data row `row` was pressed: the rows below move up and the grid
// keeps its 50 rows.
void DeleteEditorRow(Console& c, Editor e, int row);
// Returns false when the save failed (the user is told why): the editor stays open with the
// user's rows.
bool ConfirmEditor(Console& c, Editor e);
void CancelEditor(Console& c, Editor e);

}  // namespace velmora
