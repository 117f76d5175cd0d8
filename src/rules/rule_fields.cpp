#include "rules/rule_fields.h"

#include "core/text_rules.h"

namespace velmora {

namespace {

using R = DrivingRules;

const std::array<RuleFieldInfo, kRuleFieldCount> kFields = {{
    {RuleField::MinStint, "最短連続走行", RuleUnit::Minutes, "分", "最短連続走行（分）",
     &R::minStintMs},
    {RuleField::MaxStint, "最長連続走行", RuleUnit::Minutes, "分", "最長連続走行（分）",
     &R::maxStintMs},
    {RuleField::FinalPeriod, "最短を適用しない最後の時間", RuleUnit::Minutes, "分",
     "最短を適用しない最後の時間（分）", &R::finalPeriodMs},
    {RuleField::MinStop, "最短ピット停止", RuleUnit::Seconds, "秒", "最短ピット停止（秒）",
     &R::minStopMs},
    {RuleField::StopThreshold, "ピット停止とみなす通過", RuleUnit::Seconds, "秒",
     "ピット停止とみなす通過（秒）", &R::stopThresholdMs},
    {RuleField::MinChanges, "最少ドライバー交代", RuleUnit::Times, "回", "最少ドライバー交代（回）",
     &R::minChanges},
    {RuleField::MinStops, "最少ピット停止", RuleUnit::Times, "回", "最少ピット停止（回）",
     &R::minStops},
    {RuleField::MaxDriverTotal, "ドライバー合計の上限", RuleUnit::Minutes, "分",
     "ドライバー合計の上限（分）", &R::maxDriverTotalMs},
    {RuleField::WindowCap, "時間枠内の上限", RuleUnit::Minutes, "分", "時間枠内の上限（分）",
     &R::windowCapMs},
    {RuleField::Window, "時間枠の長さ", RuleUnit::Minutes, "分", "時間枠の長さ（分）",
     &R::windowMs},
    {RuleField::PenaltyLaps, "違反1件のペナルティ", RuleUnit::Laps, "周",
     "違反1件のペナルティ（周）", &R::penaltyLaps},
}};

bool IsTime(RuleUnit u) { return u == RuleUnit::Minutes || u == RuleUnit::Seconds; }

// Milliseconds per thousandth of the unit (a minute's thousandth is 60 ms).
std::int64_t MsPerThousandth(RuleUnit u) { return u == RuleUnit::Minutes ? 60 : 1; }

// Largest value taken, in the unit: 100,000 minutes (some 69 days), a day of seconds, and
// 10,000 changes, stops or laps. Far beyond any event, and far from overflowing.
std::int64_t MaxValue(RuleUnit u) {
    switch (u) {
        case RuleUnit::Minutes:
            return 100'000;
        case RuleUnit::Seconds:
            return 86'400;
        default:
            return 10'000;
    }
}

// Full-width digits, point and minus typed with the input method on, as ASCII.
std::string HalfWidth(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
        if (i + 2 < text.size() && b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0x8D && b(2) <= 0x99) {
            out += static_cast<char>('-' + (b(2) - 0x8D));  // U+FF0D..U+FF19: "－．／０".."９"
            i += 3;
        } else if (i + 2 < text.size() && b(0) == 0xE3 && b(1) == 0x80 && b(2) == 0x80) {
            out += ' ';  // U+3000 ideographic space
            i += 3;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string Quoted(const RuleFieldInfo& f) { return "「" + std::string(f.label) + "」"; }

}  // namespace

const std::array<RuleFieldInfo, kRuleFieldCount>& RuleFieldTable() { return kFields; }

const RuleFieldInfo& FieldInfo(RuleField field) { return kFields[static_cast<int>(field)]; }

RuleFieldValue ParseRuleField(RuleField field, std::string_view text) {
    const RuleFieldInfo& f = FieldInfo(field);
    const std::string half = HalfWidth(text);
    const std::string_view t = Trim(half);
    if (t.empty()) return {};

    const std::string notNumber = Quoted(f) + "は数で入れてください（空欄は規則なし）。";
    const std::string notWhole = Quoted(f) + "は 0 以上の整数で入れてください（空欄は規則なし）。";
    const std::string notPositive =
        Quoted(f) + "は 0 より大きい数で入れてください（空欄は規則なし）。";
    const std::size_t point = t.find('.');
    const std::string_view whole = t.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : t.substr(point + 1);
    auto digitsOnly = [](std::string_view s) {
        return s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digitsOnly(whole) || !digitsOnly(fraction) || whole.size() + fraction.size() == 0) {
        if (t.front() == '-') return {{}, IsTime(f.unit) ? notPositive : notWhole};
        return {{}, IsTime(f.unit) ? notNumber : notWhole};
    }
    if (!IsTime(f.unit) && point != std::string_view::npos) return {{}, notWhole};
    if (fraction.size() > 3) return {{}, Quoted(f) + "の小数は3桁までにしてください。"};

    const std::string tooLarge = Quoted(f) + "は " + std::to_string(MaxValue(f.unit)) +
                                 std::string(f.unitText) + "以下にしてください。";
    std::size_t lead = whole.find_first_not_of('0');
    if (lead != std::string_view::npos && whole.size() - lead > 9) return {{}, tooLarge};
    std::int64_t thousandths = 0;
    for (char c : whole) thousandths = thousandths * 10 + (c - '0');
    std::int64_t frac = 0;
    for (std::size_t k = 0; k < 3; ++k)
        frac = frac * 10 + (k < fraction.size() ? fraction[k] - '0' : 0);
    thousandths = thousandths * 1000 + frac;
    if (thousandths > MaxValue(f.unit) * 1000) return {{}, tooLarge};
    if (!IsTime(f.unit)) return {thousandths / 1000, {}};
    if (thousandths == 0) return {{}, notPositive};
    return {thousandths * MsPerThousandth(f.unit), {}};
}

std::string FormatRuleField(RuleField field, std::optional<std::int64_t> value) {
    if (!value) return {};
    const RuleUnit unit = FieldInfo(field).unit;
    if (!IsTime(unit)) return std::to_string(*value);
    const std::int64_t per = MsPerThousandth(unit);
    // Values made here are whole thousandths; others are rounded to the nearest shown.
    const std::int64_t thousandths = (*value + per / 2) / per;
    std::string text = std::to_string(thousandths / 1000);
    std::string frac = std::to_string(1000 + thousandths % 1000).substr(1);
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    return frac.empty() ? text : text + "." + frac;
}

RuleFieldsResult ParseRuleFields(const RuleTexts& texts) {
    DrivingRules rules;
    for (const RuleFieldInfo& f : kFields) {
        RuleFieldValue v = ParseRuleField(f.field, texts[static_cast<int>(f.field)]);
        if (!v.error.empty()) return {{}, std::move(v.error), f.field};
        rules.*f.value = v.value;
    }
    const std::string cap = Quoted(FieldInfo(RuleField::WindowCap));
    const std::string window = Quoted(FieldInfo(RuleField::Window));
    if (rules.minStintMs && rules.maxStintMs && *rules.minStintMs > *rules.maxStintMs)
        return {{},
                Quoted(FieldInfo(RuleField::MinStint)) + "は" +
                    Quoted(FieldInfo(RuleField::MaxStint)) + "以下にしてください。",
                RuleField::MinStint};
    if (rules.windowCapMs.has_value() != rules.windowMs.has_value())
        return {{},
                cap + "と" + window + "は両方入れるか、両方空欄にしてください。",
                rules.windowCapMs ? RuleField::Window : RuleField::WindowCap};
    if (rules.windowCapMs && *rules.windowCapMs > *rules.windowMs)
        return {{}, cap + "は" + window + "以下にしてください。", RuleField::WindowCap};
    return {rules, {}, RuleField::MinStint};
}

RuleTexts FormatRuleFields(const DrivingRules& rules) {
    RuleTexts texts;
    for (const RuleFieldInfo& f : kFields)
        texts[static_cast<int>(f.field)] = FormatRuleField(f.field, rules.*f.value);
    return texts;
}

}  // namespace velmora
