// Car datagrams interleaved with the lap clock, the silence step, lap corrections and typed
// messages, on one slot of a console wired to fakes.
//
// Input: byte 0 holds the knobs (slot, running or not, a pending lap correction, the
// countdown box, the 1/100 precision, two more cars taking part, typed messages), byte 1
// the silence seconds and the countdown laps. Then one operation per control byte c:
//   c & 7 in 0..3  a datagram of (c >> 3) + 32 * (c & 3) bytes taken from what follows
//   4              the monotonic clock advances (c >> 3) × 250 ms, then the lap timer ticks
//   5              the silence step runs directly
//   6              the crew corrects the lap count to the next byte % 20 and confirms
//   7              the crew types the next (c >> 3) bytes as the outgoing message
#include <cstdint>
#include <string>

#include "carlink/laps.h"
#include "carlink/protocol.h"
#include "core/encoding.h"
#include "fakes/fakes.h"
#include "fuzz_support.h"
#include "measure/lap_correction.h"
#include "measure/lap_display.h"
#include "measure/measurement.h"
#include "pit/drivers.h"
#include "pit/messages.h"

namespace velmora::fuzz {
namespace {

bool IsDigits(std::string_view s) {
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    return true;
}

// "yyyy/mm/dd" and "HH:NN:SS" by shape only; the values come from the fake wall clock.
bool IsShaped(std::string_view s, std::string_view pattern) {
    if (s.size() != pattern.size()) return false;
    for (std::size_t k = 0; k < s.size(); ++k) {
        if (pattern[k] == '9' ? (s[k] < '0' || s[k] > '9') : s[k] != pattern[k]) return false;
    }
    return true;
}

// Lap counts stay below 1000 and lap times below 10^10 ms here, so every status block has
// its fixed 59-character layout.
void CheckStatusBlock(std::string_view block) {
    Check(block.size() == 59, "status block is not 59 characters", block);
    Check(IsDigits(block.substr(0, 33)), "status block numbers are not digits", block);
    Check(IsShaped(block.substr(33, 10), "9999/99/99"), "status block date", block);
    Check(IsShaped(block.substr(43, 8), "99:99:99"), "status block time of day", block);
    Check(IsShaped(block.substr(51, 8), "99:99:99"), "status block end time", block);
}

void CheckReply(const RunnerState& r, std::string_view bytes) {
    const std::string text = Cp932ToUtf8(bytes);
    Check(Utf8ToCp932(text) == bytes, "reply bytes do not decode to the same text", text);
    Check(text.find("\xEF\xBF\xBD") == std::string::npos, "reply holds undecodable bytes", text);
    Check(!text.empty() && (text[0] == 'N' || text[0] == 'C'), "reply starts with neither N nor C",
          text);
    Check(text.compare(1, r.StatusBlock.size(), r.StatusBlock) == 0,
          "reply does not carry the status block", text);
    if (!r.StatusBlock.empty()) CheckStatusBlock(r.StatusBlock);
}

struct Rig {
    test::FakeConsole fc;
    int slot = 0;

    void CheckInvariants(bool measuring) {
        for (int s = 0; s < kPanelCount; ++s) {
            const RunnerState& r = fc.runner(s);
            const PanelState& p = fc.panel(s);
            Check(r.LinkFlag == "N" || r.LinkFlag == "C", "link flag is neither N nor C",
                  r.LinkFlag);
            if (measuring && !p.Lbl_IP.caption.empty())
                Check(
                    r.LapCount == p.Spd_LapTime.RowCount(), "lap count differs from lap rows",
                    std::to_string(r.LapCount) + " vs " + std::to_string(p.Spd_LapTime.RowCount()));
            Check(r.LapCount >= 0, "negative lap count");
        }
        Check(fc.st().Measuring() == measuring, "measurement stopped by itself");
    }

    void Datagram(std::string_view bytes) {
        const std::size_t before = fc.net.sent.size();
        const RunnerState& r = fc.runner(slot);
        const bool opened = r.AwayFlag || r.LinkFlag == "C";
        const std::uint64_t gridBefore = fc.panel(slot).Spd_LapTime.Revision();
        HandleCarMessage(fc.console, slot, bytes);
        const std::size_t replies = fc.net.sent.size() - before;
        // Only a lap the console opened (silence step or correction) is ever recorded.
        if (!opened)
            Check(fc.panel(slot).Spd_LapTime.Revision() == gridBefore,
                  "a datagram recorded a lap the console had not opened", std::string(bytes));
        Check(!r.AwayFlag || replies == 0, "still away after a reply");
        const std::size_t characters = CodePoints(Cp932ToUtf8(bytes));
        Check(replies <= 1, "more than one reply to one datagram");
        if (characters >= 3) {
            Check(replies == 1, "no reply to a datagram with a lap echo");
        } else {
            Check(replies == 0, "reply to a datagram without a lap echo");
        }
        if (replies == 1) {
            const auto& sent = fc.net.sent.back();
            Check(sent.id == CarSocket(slot), "reply on another slot's socket");
            Check(sent.port == CarRemotePort(slot), "reply to the wrong port");
            Check(sent.host == fc.panel(slot).Lbl_IP.caption, "reply to the wrong host", sent.host);
            CheckReply(fc.runner(slot), sent.bytes);
            fc.net.sent.clear();
        }
    }
};

}  // namespace
}  // namespace velmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    using namespace velmora::fuzz;
    ByteStream in(data, size);
    const std::uint8_t knobs = in.Byte();
    const std::uint8_t more = in.Byte();

    Rig rig;
    test::FakeConsole& fc = rig.fc;
    Console& c = fc.console;
    rig.slot = (knobs & 3) % kPanelCount;
    const bool measuring = (knobs & 0x04) != 0;
    const bool othersTakePart = (knobs & 0x40) != 0;

    if (knobs & 0x20) c.settings.Precision = "1/100";
    c.settings.SilenceSeconds = static_cast<std::int16_t>(1 + more % 3);
    c.settings.DefaultCountdownLaps = (more >> 2) % 5;
    c.DeriveClock();

    for (int s = 0; s < kPanelCount; ++s) {
        if (s != rig.slot && !othersTakePart) continue;
        fc.panel(s).Lbl_IP.caption = "127.0.0." + std::to_string(s + 1);
        fc.panel(s).Frm_Runner.back = RegisteredColour;
        fc.panel(s).Cmb_Driver.text = "ドライバ" + std::to_string(s);
    }
    if (measuring) StartMeasurement(c);
    if (knobs & 0x08) fc.runner(rig.slot).LinkFlag = "C";
    if (knobs & 0x10) {
        fc.panel(rig.slot).Chk_ChgCnter.checked = true;
        ArmCountdown(c, rig.slot);
    }
    if (knobs & 0x80) {
        fc.st().main.Txt_AllOutMess.text = "全車 all cars";
        UpdateAllCarsMessage(c);
    }
    rig.CheckInvariants(measuring);

    while (!in.Empty()) {
        const std::uint8_t op = in.Byte();
        const std::size_t arg = op >> 3;
        switch (op & 7) {
            case 4:
                fc.mono.AdvanceMs(static_cast<std::int64_t>(arg) * 250);
                LapTimerTick(c, rig.slot);
                break;
            case 5:
                OpenNextLap(c, rig.slot);
                break;
            case 6:
                fc.dialogs.inputs.push_back(std::to_string(in.Byte() % 20));
                fc.dialogs.answers.push_back(MessageAnswer::Yes);
                CorrectLapCount(c, rig.slot);
                fc.dialogs.inputs.clear();
                fc.dialogs.answers.clear();
                break;
            case 7:
                fc.panel(rig.slot).Txt_OutMess.text = Cp932ToUtf8(in.Take(arg));
                break;
            default:
                rig.Datagram(in.Take(arg + 32 * (op & 3)));
                break;
        }
        rig.CheckInvariants(measuring);
    }
    return 0;
}
