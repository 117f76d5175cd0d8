#pragma once
#include "core/console.h"

namespace velmora {

void OpenEnvironmentSettings(Console& c);
// Returns false when the silence seconds were refused (the panel stays open).
bool ConfirmEnvironmentSettings(Console& c);
void CancelEnvironmentSettings(Console& c);
// Spd_Mess leave-cell: true when the move must be cancelled (new column is not 2).
bool MessGridLeaveCell(int newCol);

}  // namespace velmora
