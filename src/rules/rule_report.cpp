#include "rules/rule_report.h"

namespace velmora {

std::string_view BreachKindText(BreachKind kind) {
    switch (kind) {
        case BreachKind::StintTooLong:
            return "連続走行超過";
        case BreachKind::StintTooShort:
            return "連続走行不足";
        case BreachKind::StopTooShort:
            return "ピット停止時間不足";
        case BreachKind::DriverTotalTooLong:
            return "合計走行超過";
        case BreachKind::WindowTooLong:
            return "時間枠内走行超過";
        case BreachKind::MissedChange:
            return "ドライバー交代不足";
        case BreachKind::MissedStop:
            return "ピット停止回数不足";
    }
    return "";
}

std::string_view BreachKindKey(BreachKind kind) {
    switch (kind) {
        case BreachKind::StintTooLong:
            return "stintTooLong";
        case BreachKind::StintTooShort:
            return "stintTooShort";
        case BreachKind::StopTooShort:
            return "stopTooShort";
        case BreachKind::DriverTotalTooLong:
            return "driverTotalTooLong";
        case BreachKind::WindowTooLong:
            return "windowTooLong";
        case BreachKind::MissedChange:
            return "missedChange";
        case BreachKind::MissedStop:
            return "missedStop";
    }
    return "";
}

}  // namespace velmora
