#pragma once
// A console on do-nothing services, set up like a running measurement, for the benchmarks.
#include <string>

#include "core/console.h"
#include "core/null_services.h"
#include "core/services.h"
#include "core/window_state.h"

namespace velmora::bench {

// Counts what would go out, so the compiler cannot drop the reply.
class CountingNet : public DatagramService {
  public:
    std::string Bind(SocketId, std::uint16_t, DatagramHandler) override { return {}; }
    void Close(SocketId) override {}
    bool IsBound(SocketId) const override { return true; }
    void Send(SocketId, std::string_view, std::uint16_t, std::string_view bytes) override {
        bytesSent += bytes.size();
    }
    std::string LocalAddress() const override { return "127.0.0.1"; }
    std::size_t bytesSent = 0;
};

class FixedWall : public WallClock {
  public:
    LocalTime Now() const override { return FromCivil({2026, 12, 7, 14, 5, 9}); }
    std::int64_t RealNowMs() const override { return 1'796'652'309'000; }
};

// Advances 1 ms per read, so every TickCounter reading moves on.
class SteppingMono : public MonotonicClock {
  public:
    std::int64_t NowNs() const override { return ns += 1'000'000; }

  private:
    mutable std::int64_t ns = 1'000'000'000;
};

struct BenchConsole {
    NullServices dialogs;
    NullServices timers;
    CountingNet net;
    FixedWall wall;
    SteppingMono mono;
    Console console{Services{dialogs, timers, net, wall, mono}};

    // `cars` slots (from 0) set up and measured, each with `laps` recorded laps shared
    // between two drivers.
    BenchConsole(int cars, int laps) {
        console.DeriveClock();
        ApplyDesignState(console);
        MainWindowStartupState(console);
        console.ticks.Start(console.clock.TicksPerSecond);
        console.st.main.Btn_Start.caption = "Stop";
        console.st.LastMeasuredSlot = static_cast<std::int16_t>(cars - 1);
        for (int i = 0; i < cars; ++i) {
            PanelState& p = console.st.panels[i];
            RunnerState& r = console.st.runners[i];
            p.Lbl_IP.caption = "127.0.0.1";
            p.Frm_Runner.enabled = true;
            p.Cmb_Driver.text = "Driver A";
            p.Cmb_Car.AddItem("Car " + std::to_string(i + 1) + "\t1\t60\t8");
            p.Cmb_Car.Select(0);
            p.Spd_LapTime.SetRowCount(laps);
            for (int row = 1; row <= laps; ++row) {
                const int ticks = 80'000 + (row * 7919 + i * 104729) % 5000;
                p.Spd_LapTime.SetCell(row, 1, FormatTicks(ticks));
                p.Spd_LapTime.SetCell(row, 2, row % 3 == 0 ? "Driver B" : "Driver A");
                p.Spd_LapTime.SetCell(row, 4, std::to_string(ticks));
            }
            r.LapCount = laps;
            r.LinkFlag = "N";
        }
    }

  private:
    static std::string FormatTicks(int ticks) {
        return std::to_string(ticks / 60000) + "'" + std::to_string(ticks / 1000 % 60) + "\"" +
               std::to_string(ticks % 1000);
    }
};

}  // namespace velmora::bench
