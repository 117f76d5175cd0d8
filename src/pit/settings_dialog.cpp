#include "pit/settings_dialog.h"

#include <string>

#include "core/text_rules.h"
#include "core/time_format.h"

namespace velmora {

namespace {

enum MessRow { kPrecision = 1, kSilence, kAuto3, kAuto2, kAuto1, kAuto0, kDefaultLaps };
constexpr int kValueCol = 2;

void SetConsoleEnabled(ConsoleState& st, bool on) {
    for (PanelState& p : st.panels) p.Frm_Runner.enabled = on;
    st.main.Frm_Main.enabled = on;
}

// Commas separate the fields of the car link's status, so a message never carries one.
std::string WithoutCommas(const std::string& text) { return ReplaceAll(text, ",", " "); }

}  // namespace

void OpenEnvironmentSettings(Console& c) {
    Grid& g = c.st.Frm_Mess.grid;
    const MeasureSettings& s = c.settings;
    g.SetCell(kSilence, kValueCol, std::to_string(s.SilenceSeconds));
    g.SetCell(kAuto3, kValueCol, s.AutoMessage3);
    g.SetCell(kAuto2, kValueCol, s.AutoMessage2);
    g.SetCell(kAuto1, kValueCol, s.AutoMessage1);
    g.SetCell(kAuto0, kValueCol, s.AutoMessage0);
    g.SetCell(kDefaultLaps, kValueCol, std::to_string(s.DefaultCountdownLaps));
    g.SetCell(kPrecision, kValueCol, s.Precision);
    g.SetActiveCell(kValueCol, kPrecision);

    c.st.Frm_Mess.frame.visible = true;
    SetConsoleEnabled(c.st, false);
    c.st.focusRequest = "Spd_Mess";
}

bool ConfirmEnvironmentSettings(Console& c) {
    Grid& g = c.st.Frm_Mess.grid;
    // Checked before anything changes, so a refusal leaves the settings untouched.
    const double silence = RoundHalfEven(LeadingNumber(g.Cell(kSilence, kValueCol)));
    if (silence < 1 || silence > 99) {
        c.svc.dialogs.MessageBox(kSilenceSecondsRefused, "", MessageButtons::Ok, MessageIcon::None);
        g.SetActiveCell(kValueCol, kSilence);
        c.st.focusRequest = "Spd_Mess";
        return false;
    }

    MeasureSettings& s = c.settings;
    s.Precision = g.Cell(kPrecision, kValueCol);
    s.SilenceSeconds = static_cast<std::int16_t>(silence);
    s.AutoMessage3 = WithoutCommas(g.Cell(kAuto3, kValueCol));
    s.AutoMessage2 = WithoutCommas(g.Cell(kAuto2, kValueCol));
    s.AutoMessage1 = WithoutCommas(g.Cell(kAuto1, kValueCol));
    s.AutoMessage0 = WithoutCommas(g.Cell(kAuto0, kValueCol));
    s.DefaultCountdownLaps = WholeNumber(g.Cell(kDefaultLaps, kValueCol));
    c.DeriveClock();
    // A failed write is not reported: the settings apply from memory for this session.
    SaveMeasureSettings(c.paths.SettingsFilePath, s);

    c.st.Frm_Mess.frame.visible = false;
    for (PanelState& p : c.st.panels) {
        p.Frm_Runner.enabled = true;
        p.Lbl_Time.caption = FormatLapTime(0, c.clock);
    }
    c.st.main.Frm_Main.enabled = true;
    return true;
}

void CancelEnvironmentSettings(Console& c) {
    c.st.Frm_Mess.frame.visible = false;
    SetConsoleEnabled(c.st, true);
}

bool MessGridLeaveCell(int newCol) { return newCol != kValueCol; }

}  // namespace velmora
