#pragma once
#include "core/console.h"

namespace velmora {

enum class Editor { Car, Course, Drivers };

OverlayState& EditorOverlay(ConsoleState& st, Editor e);
void OpenEditor(Console& c, Editor e);
// The delete button of data row `row` was pressed.
void DeleteEditorRow(Console& c, Editor e, int row);
// Returns false when the save failed: the editor stays open with the user's rows.
bool ConfirmEditor(Console& c, Editor e);
void CancelEditor(Console& c, Editor e);

}  // namespace velmora
