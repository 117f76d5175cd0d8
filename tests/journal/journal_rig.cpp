#include "journal_rig.h"

#include "carlink/car_message.h"
#include "pit/drivers.h"
#include "pit/fuel.h"
#include "pit/messages.h"

namespace velmora::test {

void JournalRig::PrepareRace() {
    MainFrameState& m = st().main;
    m.Txt_Event.text = "耐久 24h";
    m.Cmb_Tenki.text = "晴";
    m.Txt_Kion.text = "12";
    m.Cmb_Course.AddItem("本コース\t1200");
    m.Cmb_Course.Select(0);
    st().SelectedCourseLength = 1200;
    for (int i : {0, 2}) {
        PanelState& p = panel(i);
        p.Cmb_Car.AddItem("Car " + std::to_string(i) + "\t60\t8");
        p.Cmb_Car.Select(0);
        ChooseCar(console, i);
        p.Cmb_Driver.AddItem("山田");
        p.Cmb_Driver.AddItem("Smith");
        p.Cmb_Driver.Select(i == 0 ? 0 : 1);
        ChooseDriver(console, i);
        p.Txt_InGasl.text = "40";
        Refuel(console, i);
    }
    console.CommitJournal();
}

std::string JournalRig::EchoOf(int i) const {
    // The car echoes the lap count of the last status block it received.
    for (auto it = net.sent.rbegin(); it != net.sent.rend(); ++it) {
        if (it->id != CarSocket(i) || it->bytes.size() < 4) continue;
        const std::string head = it->bytes.substr(1, 3);
        // A reply without a status block carries only messages after its flag.
        if (head.size() == 3 && head.find_first_not_of("0123456789") == std::string::npos)
            return head;
    }
    return "000";
}

void JournalRig::CarAt(int i, std::int64_t tick, const std::string& text) {
    AtTick(tick);
    Car(i, EchoOf(i) + text);
}

void JournalRig::DriveLaps(int i, int laps, std::int64_t firstPassTick, std::int64_t lapTicks) {
    std::int64_t t = firstPassTick;
    for (int k = 0; k <= laps; ++k, t += lapTicks) {
        for (int d = 0; d < 3; ++d) CarAt(i, t + 100 * d, "了解");
        if (k == laps) break;
        AtTick(t + 200 + console.clock.SilenceTicks + 1);
        Tick(i);
    }
}

void JournalRig::Flush() {
    mono.AdvanceMs(1000);
    journal->Heartbeat(console);
}

RestartedConsole::RestartedConsole(const std::string& path, std::int64_t realMs) {
    wall.realMs = realMs;
    mono.ns = 77'000'000'000;  // another boot: the monotonic clock means nothing across it
    journal = std::make_unique<SqliteJournal>(
        console, path, [this](const std::string& t, MessageIcon) { faults.push_back(t); });
    restored = journal->Restore();
    console.DeriveClock();
    console.journal = journal.get();
}

std::vector<std::string> Differences(Console& a, Console& b) {
    RunningServices sa = RunningServices::Capture(a);
    RunningServices sb = RunningServices::Capture(b);
    const ConsoleImage ia(a, sa);
    const ConsoleImage ib(b, sb);
    std::vector<std::string> out;
    for (std::size_t k = 0; k < ia.fields().size(); ++k) {
        const std::string va = Encode(ia.fields()[k].ref);
        const std::string vb = Encode(ib.fields()[k].ref);
        if (va != vb) out.push_back(ia.fields()[k].name + "=" + va + " / " + vb);
    }
    for (std::size_t g = 0; g < ia.grids().size(); ++g) {
        const Grid& ga = *ia.grids()[g].grid;
        const Grid& gb = *ib.grids()[g].grid;
        const std::string& name = ia.grids()[g].name;
        if (ga.RowCount() != gb.RowCount())
            out.push_back(name + ".rows=" + std::to_string(ga.RowCount()) + " / " +
                          std::to_string(gb.RowCount()));
        if (ga.ActiveRow() != gb.ActiveRow() || ga.ActiveCol() != gb.ActiveCol())
            out.push_back(name + ".active");
        for (int r = 0; r <= std::min(ga.RowCount(), gb.RowCount()); ++r)
            for (int c = 1; c <= ga.ColumnCount(); ++c)
                if (ga.Cell(r, c) != gb.Cell(r, c))
                    out.push_back(name + "(" + std::to_string(r) + "," + std::to_string(c) +
                                  ")=" + ga.Cell(r, c) + " / " + gb.Cell(r, c));
    }
    return out;
}

}  // namespace velmora::test
