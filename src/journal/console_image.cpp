#include "journal/console_image.h"

#include <bit>
#include <charconv>
#include <set>
#include <type_traits>

namespace velmora {

namespace {

// Values that change on their own between events; the heartbeat keeps them. The panel's state
// line ("無通信 12秒" counts every second a car is away), its stint and its rule lines count
// time too: derived from what is journaled, they are rebuilt by the next tick after a restore,
// and as durable values they would cost a synced commit a second for every car out of range.
const std::set<std::string, std::less<>> kRunning = {
    "Lbl_Time.caption",      "Cmb_Driver.back",     "Cmb_Car.back",         "Meter_Gas.fore",
    "Lbl_InMess.back",       "Cmb_Course.back",     "Lbl_OtherLap.caption", "Lbl_ZanTime.caption",
    "Lbl_ZanTime.fore",      "Lbl_SysTime.caption", "LastHeardTick",        "RemainingTicks",
    "Lbl_CarStatus.caption", "Lbl_CarStatus.back",  "Lbl_CarStatus.fore",   "Lbl_Stint.caption",
    "Lbl_ChangeDue.caption", "Lbl_ChangeDue.back",  "Lbl_ChangeDue.fore",   "Lbl_RuleNote.caption",
    "Lbl_RuleNote.back",     "Lbl_RuleNote.fore",
};
// The host's address is read again at every start.
const std::set<std::string, std::less<>> kLeftOut = {"Lbl_LocalIP.caption"};

class Builder {
  public:
    Builder(std::vector<ImageField>& fields, std::vector<ImageGrid>& grids)
        : fields_(fields), grids_(grids) {}

    void Add(const std::string& prefix, std::string_view prop, ValueRef ref) {
        const std::string tail = LastPart(prefix) + "." + std::string(prop);
        if (kLeftOut.count(tail)) return;
        const Pace pace =
            kRunning.count(tail) || kRunning.count(prop) ? Pace::Running : Pace::Durable;
        fields_.push_back({prefix + "." + std::string(prop), ref, pace});
    }

    void Base(const std::string& n, Control& c) {
        Add(n, "enabled", &c.enabled);
        Add(n, "visible", &c.visible);
    }
    void Of(const std::string& n, Label& l) {
        Base(n, l);
        Add(n, "caption", &l.caption);
        Add(n, "back", &l.back);
        Add(n, "fore", &l.fore);
    }
    void Of(const std::string& n, TextBox& t) {
        Base(n, t);
        Add(n, "text", &t.text);
        Add(n, "back", &t.back);
    }
    void Of(const std::string& n, Button& b) {
        Base(n, b);
        Add(n, "caption", &b.caption);
    }
    void Of(const std::string& n, ToggleButton& b) {
        Of(n, static_cast<Button&>(b));
        Add(n, "pressed", &b.pressed);
    }
    void Of(const std::string& n, CheckBox& b) {
        Base(n, b);
        Add(n, "checked", &b.checked);
    }
    void Of(const std::string& n, Frame& f) {
        Base(n, f);
        Add(n, "caption", &f.caption);
        Add(n, "back", &f.back);
    }
    void Of(const std::string& n, Meter& m) {
        Base(n, m);
        Add(n, "value", &m.value);
        Add(n, "fore", &m.fore);
    }
    void Of(const std::string& n, ComboBox& b) {
        Base(n, b);
        Add(n, "items", &b.items);
        Add(n, "listIndex", &b.listIndex);
        Add(n, "text", &b.text);
        Add(n, "back", &b.back);
    }
    // A grid's rows, cells and active cell are kept by the journal's grid part.
    void Of(const std::string& n, Grid& g) {
        Base(n, g);
        grids_.push_back({n, &g});
    }

  private:
    static std::string LastPart(const std::string& prefix) {
        const auto dot = prefix.rfind('.');
        return dot == std::string::npos ? prefix : prefix.substr(dot + 1);
    }

    std::vector<ImageField>& fields_;
    std::vector<ImageGrid>& grids_;
};

#define VELMORA_CONTROL(builder, prefix, owner, name) builder.Of(prefix + "." #name, owner.name)
#define VELMORA_VALUE(builder, prefix, owner, name) builder.Add(prefix, #name, &owner.name)

void AddPanel(Builder& b, const std::string& n, PanelState& p) {
#define C(name) VELMORA_CONTROL(b, n, p, name)
    C(Frm_Runner);
    C(Btn_ClientNoSet);
    C(Frm_LapInfo);
    C(Lbl_Gousya);
    C(Lbl_Time);
    C(Lbl_LapCnt);
    C(Lbl_BestLapTime);
    C(Lbl_AveLapTime);
    C(Lbl_YosoSyu);
    C(Lbl_IP);
    C(Lbl_CarStatus);
    C(Btn_ClientNoSet2);
    C(Btn_ClsCar);
    C(Btn_RunStop);
    C(Btn_LapChg);
    C(Frm_DriverInfo);
    C(Cmb_Driver);
    C(Cmb_Car);
    C(Txt_Nenpi);
    C(Meter_Gas);
    C(Txt_InGasl);
    C(Btn_Kyuyu);
    C(Lbl_ZanGas);
    C(Lbl_AllGas);
    C(Lbl_Tank);
    C(Txt_ZanRunCnt);
    C(Lbl_AutoMess1);
    C(Chk_ChgCnter);
    C(Lbl_AutoMess2);
    C(Txt_OutMess);
    C(Lbl_InMess);
    C(Lbl_DrvrBestLapTime);
    C(Lbl_DrvrAveLapTime);
    C(Lbl_Stint);
    C(Lbl_ChangeDue);
    C(Lbl_RuleNote);
    C(Btn_DriverInfo);
    C(Frm_DriverLap);
    C(Spd_DriverInfo);
    C(Spd_Stints);
    C(Spd_LapTime);
#undef C
}

void AddMain(Builder& b, const std::string& n, MainFrameState& m) {
#define C(name) VELMORA_CONTROL(b, n, m, name)
    C(Frm_Main);
    C(Cmb_Course);
    C(Txt_Event);
    C(Txt_Date);
    C(Cmb_Tenki);
    C(Txt_Kion);
    for (std::size_t row = 0; row < m.ranking.size(); ++row) {
        const std::string r = n + ".ranking." + std::to_string(row);
        RankingRow& rr = m.ranking[row];
        VELMORA_CONTROL(b, r, rr, Lbl_Jyuni);
        VELMORA_CONTROL(b, r, rr, Lbl_Sort_No);
        VELMORA_CONTROL(b, r, rr, Lbl_Sort_LAP);
        VELMORA_CONTROL(b, r, rr, Lbl_BestTime);
        VELMORA_CONTROL(b, r, rr, Lbl_BestLAP);
    }
    C(Btn_Cource);
    C(Btn_Drivers);
    C(Btn_Car);
    C(Btn_Mess);
    C(Btn_LapChart);
    C(Btn_Export);
    C(Btn_Rules);
    C(Lbl_OtherLap);
    C(Btn_OtherLap);
    C(Txt_RunH);
    C(Txt_RunN);
    C(Lbl_StTime);
    C(Lbl_ZanTime);
    C(Lbl_SysTime);
    C(Lbl_LocalIP);
    C(Txt_AllOutMess);
    C(Btn_Start);
    C(Btn_Write);
    C(Btn_End);
#undef C
}

void AddRunner(Builder& b, const std::string& n, RunnerState& r) {
#define V(name) VELMORA_VALUE(b, n, r, name)
    V(LinkFlag);
    V(StatusBlock);
    V(LapCount);
    V(LapStartTick);
    V(LastHeardTick);
    V(AwayFlag);
    V(HeardInRun);
    V(LastLapTicks);
    V(LastLapText);
    V(BestLapTicks);
    V(BestLapNo);
    V(BestLapText);
    V(AverageLapTicks);
    V(DriverBestTicks);
    V(DriverBestLapNo);
    V(DriverTotalTicks);
    V(DriverLapCount);
    V(DriverInfoRow);
    V(TankCapacity);
    V(FuelEconomy);
    V(FuelLoaded);
    V(SentTypedMessage);
    V(ChangeWarningStint);
    V(ChangeWarningSent);
    V(ChangeWarningText);
#undef V
}

void AddShared(Builder& b, const std::string& n, ConsoleState& st) {
#define V(name) VELMORA_VALUE(b, n, st, name)
    V(LastMeasuredSlot);
    V(MeasureStartTime);
    V(TickZeroRealMs);
    V(TickZeroMonoNs);
    V(TickZeroClockId);
    V(MeasureEndTime);
    V(EndTimeSet);
    V(RemainingTicks);
    V(SkipStopConfirm);
    V(SpotStartTick);
    V(SpotStopTick);
    V(AllCarsMessage);
    V(SelectedCourseLength);
    V(DrivingRuleTexts);
    V(ChangeWarning5);
    V(ChangeWarning1);
#undef V
    for (OverlayState* o : {&st.Frm_Mess, &st.Frm_Car, &st.Frm_Course, &st.Frm_Drivers}) {
        const char* name = o == &st.Frm_Mess     ? "Frm_Mess"
                           : o == &st.Frm_Car    ? "Frm_Car"
                           : o == &st.Frm_Course ? "Frm_Course"
                                                 : "Frm_Drivers";
        b.Add("overlay." + std::string(name), "visible", &o->frame.visible);
    }
}

void AddSettings(Builder& b, const std::string& n, MeasureSettings& s) {
#define V(name) VELMORA_VALUE(b, n, s, name)
    V(Precision);
    V(SilenceSeconds);
    V(AutoMessage3);
    V(AutoMessage2);
    V(AutoMessage1);
    V(AutoMessage0);
    V(DefaultCountdownLaps);
#undef V
}

void AddServices(Builder& b, const std::string& n, RunningServices& s) {
    b.Add(n, "clockRunning", &s.clockRunning);
    b.Add(n, "heldTicks", &s.heldTicks);
    static const char* kTimerNames[] = {"System",     "NoInputBlk", "OtherLap", "Lap",
                                        "DriverInfo", "GasBlk",     "MessBlk"};
    for (std::size_t k = 0; k < kConsoleTimers.size(); ++k) {
        const TimerKey key = kConsoleTimers[k];
        std::string name = std::string("timer.") + kTimerNames[static_cast<int>(key.id)];
        if (key.id >= TimerId::Lap) name += "." + std::to_string(key.slot);
        b.Add(n, name, &s.timers[k]);
    }
    for (int i = 0; i < kPanelCount; ++i)
        b.Add(n, "socket.Car" + std::to_string(i), &s.carSockets[static_cast<std::size_t>(i)]);
}

#undef VELMORA_CONTROL
#undef VELMORA_VALUE

template <class T>
bool ParseWhole(std::string_view text, T& out) {
    T v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    out = v;
    return true;
}

// A list is kept as "<bytes>:<item>" per item, so any text, tabs and line ends included,
// reads back whole.
std::string EncodeList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += std::to_string(item.size()) + ":" + item;
    return out;
}

bool DecodeList(std::string_view text, std::vector<std::string>& out) {
    std::vector<std::string> items;
    while (!text.empty()) {
        const auto colon = text.find(':');
        std::size_t size = 0;
        if (colon == std::string_view::npos || !ParseWhole(text.substr(0, colon), size) ||
            size > text.size() - colon - 1)
            return false;
        items.emplace_back(text.substr(colon + 1, size));
        text.remove_prefix(colon + 1 + size);
    }
    out = std::move(items);
    return true;
}

}  // namespace

ConsoleImage::ConsoleImage(Console& c, RunningServices& services) {
    Builder b(fields_, grids_);
    ConsoleState& st = c.st;
    for (int i = 0; i < kPanelCount; ++i) {
        AddPanel(b, "panel." + std::to_string(i), st.panels[static_cast<std::size_t>(i)]);
        AddRunner(b, "runner." + std::to_string(i), st.runners[static_cast<std::size_t>(i)]);
    }
    AddMain(b, "main", st.main);
    AddShared(b, "shared", st);
    AddSettings(b, "settings", c.settings);
    AddServices(b, "run", services);
    for (std::size_t k = 0; k < fields_.size(); ++k)
        index_.emplace(fields_[k].name, static_cast<int>(k));
}

int ConsoleImage::Find(std::string_view name) const {
    const auto it = index_.find(name);
    return it == index_.end() ? -1 : it->second;
}

Value Current(const ValueRef& ref) {
    return std::visit([](auto* p) -> Value { return *p; }, ref);
}

bool Same(const ValueRef& ref, const Value& stored) {
    return std::visit(
        [&](auto* p) {
            using T = std::remove_pointer_t<decltype(p)>;
            const T* q = std::get_if<T>(&stored);
            if (!q) return false;
            // Bitwise for floats: a NaN must not count as a change at every commit.
            if constexpr (std::is_same_v<T, float>)
                return std::bit_cast<std::uint32_t>(*q) == std::bit_cast<std::uint32_t>(*p);
            else
                return *q == *p;
        },
        ref);
}

std::string Encode(const ValueRef& ref) {
    return std::visit(
        [](auto* p) -> std::string {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return *p;
            } else if constexpr (std::is_same_v<T, bool>) {
                return *p ? "1" : "0";
            } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
                return EncodeList(*p);
            } else if constexpr (std::is_same_v<T, LocalTime>) {
                return std::to_string(p->time_since_epoch().count());
            } else {
                // Integers in decimal; a float in its shortest text that reads back exactly.
                char buf[64];
                const auto res = std::to_chars(buf, buf + sizeof buf, *p);
                return std::string(buf, res.ptr);
            }
        },
        ref);
}

bool Decode(const ValueRef& ref, std::string_view text) {
    return std::visit(
        [&](auto* p) -> bool {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, std::string>) {
                *p = std::string(text);
                return true;
            } else if constexpr (std::is_same_v<T, bool>) {
                if (text != "0" && text != "1") return false;
                *p = text == "1";
                return true;
            } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
                return DecodeList(text, *p);
            } else if constexpr (std::is_same_v<T, LocalTime>) {
                std::int64_t seconds = 0;
                if (!ParseWhole(text, seconds)) return false;
                *p = LocalTime(std::chrono::seconds(seconds));
                return true;
            } else {
                return ParseWhole(text, *p);
            }
        },
        ref);
}

}  // namespace velmora
