#include "pit/fuel.h"

#include <cmath>

#include "core/text_rules.h"
#include "core/window_state.h"
#include "pit/drivers.h"

namespace velmora {

namespace {

constexpr int kGasBlinkMs = 1000;
constexpr float kLowFuelPercent = 20.0f;

}  // namespace

void ChooseCar(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    RunnerState& r = c.st.runners[i];
    p.Lbl_Tank.caption = p.Cmb_Car.Column(1);
    r.TankCapacity = static_cast<float>(LeadingNumber(p.Lbl_Tank.caption));
    // Economy is shown in km per litre and computed in metres per litre.
    const auto kmPerLitre = static_cast<float>(LeadingNumber(p.Cmb_Car.Column(2)));
    p.Txt_Nenpi.text = ShortestFloat(kmPerLitre);
    r.FuelEconomy = kmPerLitre * 1000.0f;
    p.Cmb_Car.back = White;
}

void NenpiLostFocus(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    double kmPerLitre = 0;
    if (!ParseNumber(p.Txt_Nenpi.text, kmPerLitre)) {
        c.svc.dialogs.Beep();
        p.Txt_Nenpi.text = "0";
        kmPerLitre = 0;
    }
    // An economy of 0 switches the slot's fuel arithmetic off.
    c.st.runners[i].FuelEconomy = static_cast<float>(kmPerLitre * 1000.0);
}

void InGaslLostFocus(Console& c, int i) {
    TextBox& box = c.st.panels[i].Txt_InGasl;
    if (!IsNumeric(box.text)) {
        c.svc.dialogs.Beep();
        box.text.clear();
    }
}

void Refuel(Console& c, int i) {
    CloseDriverPopup(c, i);
    PanelState& p = c.st.panels[i];
    RunnerState& r = c.st.runners[i];
    if (c.st.SelectedCourseLength == 0 || r.FuelEconomy == 0.0f) {
        c.svc.dialogs.Beep();
        return;
    }
    // A negative amount is taken: it corrects an amount entered too high.
    const auto litres = static_cast<float>(LeadingNumber(p.Txt_InGasl.text));
    if (litres == 0.0f) {
        c.svc.dialogs.Beep();
        return;
    }
    r.FuelLoaded += litres;
    p.Lbl_AllGas.caption = ShortestFloat(r.FuelLoaded);
    UpdateFuelGauge(c, i);
    // The amount stays in the box so that pressing the button again adds it again.
    c.st.focusRequest = SlotControlName("Txt_InGasl", i);
}

void UpdateFuelGauge(Console& c, int i) {
    PanelState& p = c.st.panels[i];
    const RunnerState& r = c.st.runners[i];
    if (c.st.SelectedCourseLength == 0 || r.FuelEconomy == 0.0f || r.TankCapacity == 0.0f) return;

    const double litresUsed = static_cast<double>(c.st.SelectedCourseLength) /
                              static_cast<double>(r.FuelEconomy) * r.LapCount;
    // Held as a 32-bit float on purpose: at exactly a fifth of the tank the double result
    // lands a hair below 20 (19.999999999999996) and only the float rounding brings it back.
    auto percent = static_cast<float>((static_cast<double>(r.FuelLoaded) - litresUsed) /
                                      static_cast<double>(r.TankCapacity) * 100.0);
    if (!(percent >= 0.0f))
        percent = 0.0f;  // also catches NaN
    else if (percent > 100.0f)
        percent = 100.0f;

    const TimerKey blink{TimerId::GasBlk, i};
    if (percent >= kLowFuelPercent) {
        c.svc.timers.Stop(blink);
        p.Meter_Gas.fore = Yellow;
    } else {
        StartGasBlink(c, i);
    }

    const double tank = LeadingNumber(p.Lbl_Tank.caption);
    const double left = std::floor(tank * static_cast<double>(percent) / 100.0);
    p.Lbl_ZanGas.caption = "残" + std::to_string(static_cast<long long>(left));
    p.Meter_Gas.value = static_cast<int>(RoundHalfEven(percent));
}

void StartGasBlink(Console& c, int i) {
    c.svc.timers.Start(TimerKey{TimerId::GasBlk, i}, kGasBlinkMs, [&c, i] { GasBlinkTick(c, i); });
}

void GasBlinkTick(Console& c, int i) {
    Meter& gauge = c.st.panels[i].Meter_Gas;
    gauge.fore = gauge.fore == Red ? Yellow : Red;
}

}  // namespace velmora
