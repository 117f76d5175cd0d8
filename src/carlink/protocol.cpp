#include "carlink/protocol.h"

#include <cmath>
#include <string>

#include "carlink/car_message.h"
#include "carlink/laps.h"
#include "core/encoding.h"
#include "core/text_rules.h"
#include "core/time_format.h"
#include "pit/messages.h"

namespace velmora {

namespace {

// Number format "000…": at least `width` digits, zero-padded, a minus sign in front.
std::string ZeroPad(std::int64_t v, int width) {
    std::string digits = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return v < 0 ? "-" + digits : digits;
}

// The reply as the car is to get it now: flag, status block and messages, in CP932.
std::string ReplyBytes(const RunnerState& r) {
    return Utf8ToCp932(r.LinkFlag + r.StatusBlock + r.OutgoingMessage);
}

void SendReply(Console& c, int i, const std::string& bytes, JournalTicket after) {
    c.svc.net.SendAfter(CarSocket(i), c.st.panels[i].Lbl_IP.caption, CarRemotePort(i), bytes,
                        after);
    NoteTypedMessageSent(c, i);
}

// What a reply tells the car beyond the clock: the flag and the status block without its date,
// time of day and end time (the last 26 characters).
std::string ToldRecord(const RunnerState& r) {
    constexpr std::size_t kClockPart = 26;
    const std::string& b = r.StatusBlock;
    return r.LinkFlag + b.substr(0, b.size() > kClockPart ? b.size() - kClockPart : 0);
}

}  // namespace

std::string BuildStatusBlock(const Console& c, int i) {
    const RunnerState& r = c.st.runners[i];
    const std::int64_t toMs = c.clock.TickToMs;
    // The car shows milliseconds whatever the tick rate; 64-bit so the sentinel ×10 fits.
    const double driverLaps = r.DriverLapCount != 0 ? r.DriverLapCount : 1;
    const double driverAverageMs =
        static_cast<double>(r.DriverTotalTicks) / driverLaps * static_cast<double>(toMs);
    const LocalTime now = c.svc.wall.Now();
    // While no run length is set the car gets neither the clock nor an end time.
    const bool timed = c.st.EndTimeSet;
    return ZeroPad(r.LapCount, 3) + ZeroPad(r.LastLapTicks * toMs, 10) +
           ZeroPad(r.DriverBestTicks * toMs, 10) +
           ZeroPad(std::llround(driverAverageMs), 10)  // halves away from zero
           + FormatStatusDate(now) + (timed ? FormatStatusTime(now) : "00:00:00") +
           (timed ? FormatStatusTime(c.st.MeasureEndTime) : "00:00:00");
}

void HandleCarMessage(Console& c, int i, std::string_view datagram) {
    HandleCarMessage(c, i, datagram, c.TickCounter(), c.svc.wall.Now());
}

void HandleCarMessage(Console& c, int i, std::string_view datagram, std::int32_t arrivalTick,
                      LocalTime arrivedAt) {
    if (i < 0 || i >= kPanelCount) return;
    // Fewer than three bytes cannot hold a lap echo: such a datagram is dropped without a
    // reply and without touching the slot, so neither a lap nor "heard" is recorded from it.
    if (datagram.size() < 3) return;
    std::string text = Cp932ToUtf8(datagram);
    // Decoding can merge bytes into fewer characters (a double-byte character counts as
    // one); the echo must still be three characters.
    if (SplitCarMessage(text).characters < 3) return;

    RunnerState& r = c.st.runners[i];
    PanelState& p = c.st.panels[i];
    r.RecvText = std::move(text);
    // Past lap 999 the car echoes four or more digits; reading only three would take "1000"
    // as 100 and record a lap at every message.
    const CarMessageParts parts = SplitCarMessage(r.RecvText, EchoWidth(r.LapCount));
    r.CarEchoLap = WholeNumber(parts.echo);
    ShowIncomingMessage(c, i, parts.crewText);
    ComposeOutgoingMessage(c, i);

    // Only the console opens laps: the silence step (or a correction) marks the slot away, and
    // the first datagram after that closes the lap. A differing echo on its own (a reply lost,
    // late or still in flight, a duplicated or reordered datagram, a car PC restarted at "000",
    // an echo left from an earlier run) records nothing: the reply's status block tells the car
    // the current count and it re-synchronises. A car back from the silence closes its lap even
    // when its echo happens to equal the opened lap (an echo left from an earlier run).
    const bool closesLap = r.LinkFlag == "C" || r.AwayFlag;
    if (closesLap) RecordLap(c, i, arrivalTick, arrivedAt);
    // Composed before the flag is reset, so a "C" reaches the car in exactly one reply.
    const std::string reply = ReplyBytes(r);
    const std::string told = ToldRecord(r);
    if (closesLap) {
        r.LinkFlag = "N";
        p.Lbl_LapCnt.caption = std::to_string(static_cast<std::int64_t>(r.LapCount) + 1) + "周目";
    }
    r.LastHeardTick = arrivalTick;
    r.HeardInRun = true;
    r.AwayFlag = false;
    if (c.st.LastMeasuredSlot > 0) RefreshRanking(c);

    // Write-ahead: a recorded lap, or anything else that changes what the car is told (a count
    // corrected by the crew, a new run), reaches the journal before the reply goes out, with
    // the state the console is in once the car has been told, so the console can never have
    // told a car a count it has since lost. Any other datagram tells the car nothing new; what
    // it changed (the crew's text) is journaled after the reply, with the rest of the event.
    JournalTicket after = 0;
    if (closesLap || told != r.LastTold) after = c.CommitJournal();
    r.LastTold = told;
    SendReply(c, i, reply, after);
}

}  // namespace velmora
