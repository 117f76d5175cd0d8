#pragma once
#include <array>
#include <string_view>

#include "core/console.h"

namespace velmora {

// The entries of the precision drop-down in row 1 of Spd_Mess, in display order.
inline constexpr std::array<std::string_view, 2> kPrecisionChoices{"1/100", "1/1000"};

// The refusal shown when row 2 (silence seconds) is outside 1..99.
inline constexpr std::string_view kSilenceSecondsRefused =
    "無通信ラップ加算秒数が不正です。１から99までで指定してください。";

void OpenEnvironmentSettings(Console& c);
// Returns false when the silence seconds were refused (the panel stays open).
bool ConfirmEnvironmentSettings(Console& c);
void CancelEnvironmentSettings(Console& c);
// Spd_Mess leave-cell: true when the move must be cancelled (new column is not 2).
bool MessGridLeaveCell(int newCol);

}  // namespace velmora
