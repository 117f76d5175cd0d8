#include "engine/replay.h"

#include <algorithm>
#include <map>

#include "carlink/laps.h"
#include "carlink/protocol.h"
#include "core/console.h"
#include "core/null_services.h"
#include "core/system_clocks.h"
#include "core/window_state.h"
#include "engine/engine_timers.h"
#include "measure/measurement.h"

namespace velmora {

namespace {

class VirtualClock : public MonotonicClock {
  public:
    std::int64_t NowNs() const override { return ns; }
    std::int64_t ns = 0;
};

// The car sockets of the played console: handlers kept, replies let go.
class ReplayNet : public DatagramService {
  public:
    std::string Bind(SocketId id, std::uint16_t, DatagramHandler onDatagram) override {
        handlers[id] = std::move(onDatagram);
        return {};
    }
    void Close(SocketId id) override { handlers.erase(id); }
    bool IsBound(SocketId id) const override { return handlers.count(id) != 0; }
    void Send(SocketId, std::string_view, std::uint16_t, std::string_view) override {}
    std::string LocalAddress() const override { return "127.0.0.1"; }
    std::map<SocketId, DatagramHandler> handlers;
};

// One run, from its Start marker at `first` to its Stop (or the end of the record).
ReplayedRun PlayRun(const std::vector<TrafficRecord>& traffic, std::size_t& k,
                    const std::function<void(std::int64_t)>& pace) {
    ReplayedRun run;
    ParseRunSetup(traffic[k].bytes, run.setup);
    NullServices none;
    VirtualClock clock;
    SystemWallClock wall;
    ReplayNet net;
    EngineTimers timers(clock, nullptr);
    Console c(Services{none, timers, net, wall, clock});
    c.settings.Precision = run.setup.precision;
    c.settings.SilenceSeconds = run.setup.silenceSeconds;
    c.DeriveClock();
    ApplyDesignState(c);
    MainWindowStartupState(c);
    for (int s : run.setup.cars) {
        if (s < 0 || s >= kPanelCount) continue;
        c.st.panels[s].Lbl_IP.caption = "127.0.0.1";
        c.st.panels[s].Frm_Runner.back = RegisteredColour;
    }
    run.ticksPerSecond = c.clock.TicksPerSecond;
    const std::int64_t period = 1'000'000'000LL / c.clock.TicksPerSecond;
    // The record's ticks are the run's own clock: tick 0 at the virtual time 0.
    StartMeasurement(c);
    // A timer runs at its deadline: the virtual clock stands there while it does.
    const auto atDeadline = [&c, &clock](std::int64_t d) {
        clock.ns = std::max(clock.ns, d);
        c.heardUntilNs = d;
    };
    const auto advanceTo = [&](std::int64_t ns) {
        timers.RunDue(ns - 1, atDeadline);
        c.heardUntilNs = 0;
        clock.ns = std::max(clock.ns, ns);
    };
    // Times within one program run come from its monotonic clock, to the nanosecond; a restart
    // (Resume) starts another clock, tied to the run's ticks by its marker.
    std::int64_t anchorNs = traffic[k].ns;
    std::int64_t anchorVirtual = 0;
    for (++k; k < traffic.size() && traffic[k].kind != TrafficKind::Start; ++k) {
        const TrafficRecord& t = traffic[k];
        if (t.kind == TrafficKind::Resume) {
            anchorNs = t.ns;
            anchorVirtual = std::int64_t{t.tick} * period;
        }
        const std::int64_t ns = anchorVirtual + (t.ns - anchorNs);
        if (t.kind == TrafficKind::Stop) break;
        if (t.kind == TrafficKind::Resume) {
            // The program started again: the lap clocks' timers run from here, as after the
            // restore.
            advanceTo(ns);
            for (int s : run.setup.cars) {
                if (!net.IsBound(CarSocket(s))) continue;
                timers.Stop(TimerKey{TimerId::Lap, s});
                StartLapTimer(c, s);
            }
            continue;
        }
        if (t.kind != TrafficKind::In) continue;
        const auto h = net.handlers.find(CarSocket(t.slot));
        if (h == net.handlers.end()) continue;
        if (pace) pace(ns);
        advanceTo(ns);
        const DatagramHandler handler = h->second;
        handler(Datagram{t.bytes, ns, false});
        ++run.datagrams;
    }
    for (int s = 0; s < kPanelCount; ++s) {
        const Grid& g = c.st.panels[s].Spd_LapTime;

        for (int row = 1; row <= g.RowCount(); ++row)
            if (const auto ticks = LapRowTicks(g, row))
                run.laps.push_back({s, row, static_cast<std::int32_t>(*ticks)});
    }
    return run;
}

}  // namespace

std::vector<ReplayedRun> ReplayTraffic(const std::vector<TrafficRecord>& traffic,
                                       const std::function<void(std::int64_t)>& pace) {
    std::vector<ReplayedRun> runs;
    std::size_t k = 0;
    while (k < traffic.size()) {
        if (traffic[k].kind != TrafficKind::Start) {
            ++k;
            continue;
        }
        runs.push_back(PlayRun(traffic, k, pace));
        if (k < traffic.size() && traffic[k].kind == TrafficKind::Stop) ++k;
    }
    return runs;
}

}  // namespace velmora
