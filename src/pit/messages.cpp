#include "pit/messages.h"

#include "core/fullwidth.h"

namespace velmora {

namespace {

constexpr int kMessBlinkMs = 500;

std::string Bracketed(const std::string& autoMessage) { return " [ " + autoMessage + " ] "; }

// The automatic part chosen from the countdown text. The countdown is compared as text, not
// as a number: "03" or "3.0" never match "3", and everything that sorts at or before "0"
// (the empty text, "0", "-1", "-0.5") counts as no laps left.
std::string AutoMessageFor(const MeasureSettings& s, const std::string& countdown) {
    if (countdown == "3") return Bracketed(s.AutoMessage3);
    if (countdown == "2") return Bracketed(s.AutoMessage2);
    if (countdown == "1") return Bracketed(s.AutoMessage1);
    if (countdown.compare("0") <= 0) return Bracketed(s.AutoMessage0);
    return " ";
}

}  // namespace

void UpdateAllCarsMessage(Console& c) {
    const std::string& typed = c.st.main.Txt_AllOutMess.text;
    c.st.AllCarsMessage = typed.empty() ? std::string() : ToFullWidth("(全車へ:" + typed + ")");
}

void ComposeOutgoingMessage(Console& c, int i) {
    const PanelState& p = c.st.panels[i];
    RunnerState& r = c.st.runners[i];
    r.AutoMessageText =
        p.Chk_ChgCnter.checked ? AutoMessageFor(c.settings, p.Txt_ZanRunCnt.text) : std::string();
    // The driving-time warning stands beside the countdown's message while it holds.
    const std::string warning =
        r.ChangeWarningText.empty() ? std::string() : Bracketed(r.ChangeWarningText);
    r.OutgoingMessage =
        ToFullWidth(p.Txt_OutMess.text) + r.AutoMessageText + warning + c.st.AllCarsMessage;
}

void ShowIncomingMessage(Console& c, int i, std::string_view text) {
    Label& label = c.st.panels[i].Lbl_InMess;
    label.caption = std::string(text);
    const TimerKey key{TimerId::MessBlk, i};
    if (label.caption.empty()) {
        c.svc.timers.Stop(key);
        label.back = White;
    } else {
        StartMessBlink(c, i);
    }
}

namespace {

void ShowTypedMessageState(Console& c, int i) {
    TextBox& box = c.st.panels[i].Txt_OutMess;
    box.back = box.text.empty() || TypedMessageWentOut(c, i) ? White : PendingColour;
}

}  // namespace

void NoteTypedMessageSent(Console& c, int i) {
    c.st.runners[i].SentTypedMessage = c.st.panels[i].Txt_OutMess.text;
    ShowTypedMessageState(c, i);
}

void TypedMessageChanged(Console& c, int i) { ShowTypedMessageState(c, i); }

bool TypedMessageWentOut(const Console& c, int i) {
    const std::string& text = c.st.panels[i].Txt_OutMess.text;
    return !text.empty() && text == c.st.runners[i].SentTypedMessage;
}

void ClearTypedMessage(Console& c, int i) {
    c.st.panels[i].Txt_OutMess.text.clear();
    c.st.runners[i].SentTypedMessage.clear();
    ShowTypedMessageState(c, i);
}

void StartMessBlink(Console& c, int i) {
    c.svc.timers.Start(TimerKey{TimerId::MessBlk, i}, kMessBlinkMs,
                       [&c, i] { MessBlinkTick(c, i); });
}

void MessBlinkTick(Console& c, int i) {
    Label& label = c.st.panels[i].Lbl_InMess;
    label.back = label.back == Pink ? RegisteredColour : Pink;
}

}  // namespace velmora
