// The window's redraw with a short and a long lap list: the real window offscreen over a
// console of its own (the window's copy, as the running program renders it), slot 0's
// lap grid filled with N rows, then (a) a render of the whole window after one lap time
// changed, (b) a render with nothing changed, (c) a full paint of the lap grid (and of the whole
// window) into a pixmap, (d) a render after a lap row was added (the list growing by one, then
// shrinking back). "Paint" variants also deliver the events the render posted; Qt paints the
// changed widgets later, from the window's update timer, so the paint itself is what (c)
// measures. --window-scale=S runs them all with the window scaled by S (1 by default).
// The lap chart: (e) its redraw after a lap with three cars of N laps each, and (f) a full
// paint of the chart window.
#include <benchmark/benchmark.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/lap_chart_window.h"
#include "app/main_window.h"
#include "app/ui_font.h"
#include "core/null_services.h"
#include "core/system_clocks.h"
#include "core/window_state.h"

using namespace velmora;

namespace {

// The window alone over a console of its own: what the window's thread spends on a render.
Console* g_view = nullptr;
MainWindow* g_window = nullptr;

void FillLapGrid(int rows) {
    Grid& g = (*g_view).st.panels[0].Spd_LapTime;
    g.SetRowCount(rows);
    for (int row = 1; row <= rows; ++row) {
        const int ticks = 80'000 + (row * 7919) % 5000;
        g.SetCell(row, 1,
                  "1'" + std::to_string(20 + ticks % 40) + "\"" + std::to_string(ticks % 1000));
        g.SetCell(row, 2, row % 3 == 0 ? "Driver B" : "Driver A");
        g.SetCell(row, 4, std::to_string(ticks));
    }
    g.SetActiveCell(1, rows);
    g_window->Render(*g_view);
    QCoreApplication::processEvents();
}

QWidget* LapGridWidget() {
    return g_window->findChild<QWidget*>(
        QString::fromStdString(SlotControlName("Spd_LapTime", 0)));
}

void RenderAfterLapTime(benchmark::State& state, bool paint) {
    const int rows = static_cast<int>(state.range(0));
    FillLapGrid(rows);
    Grid& g = (*g_view).st.panels[0].Spd_LapTime;
    int k = 0;
    for (auto _ : state) {
        g.SetCell(rows, 1, (++k & 1) ? "1'23\"456" : "1'23\"457");
        g_window->Render(*g_view);
        if (paint) QCoreApplication::sendPostedEvents();
    }
}
void BM_RenderAfterLapTime(benchmark::State& state) { RenderAfterLapTime(state, false); }
void BM_RenderAndPaintAfterLapTime(benchmark::State& state) { RenderAfterLapTime(state, true); }
BENCHMARK(BM_RenderAfterLapTime)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderAndPaintAfterLapTime)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

// What every car datagram changes on the window: the panel's labels and the ranking.
void BM_RenderAndPaintAfterDatagram(benchmark::State& state) {
    FillLapGrid(static_cast<int>(state.range(0)));
    Console& c = (*g_view);
    int k = 0;
    for (auto _ : state) {
        ++k;
        c.st.panels[0].Lbl_InMess.caption = (k & 1) ? "PIT" : "";
        c.st.panels[1].Lbl_Time.caption = (k & 1) ? "1'02\"345" : "1'02\"346";
        g_window->Render(*g_view);
        QCoreApplication::sendPostedEvents();
    }
}
BENCHMARK(BM_RenderAndPaintAfterDatagram)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_RenderUnchanged(benchmark::State& state) {
    FillLapGrid(static_cast<int>(state.range(0)));
    for (auto _ : state) g_window->Render(*g_view);
}
BENCHMARK(BM_RenderUnchanged)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_LapGridRepaint(benchmark::State& state) {
    FillLapGrid(static_cast<int>(state.range(0)));
    auto* view = qobject_cast<QAbstractScrollArea*>(LapGridWidget());
    QWidget* grid = view ? view->viewport() : nullptr;
    if (!grid) {
        state.SkipWithError("no lap grid widget");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(grid->grab());
}

// The whole window painted into a pixmap, every widget.
void BM_WindowRepaint(benchmark::State& state) {
    FillLapGrid(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(g_window->grab());
}
BENCHMARK(BM_WindowRepaint)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LapGridRepaint)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_RenderAfterNewRow(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    FillLapGrid(rows);
    Grid& g = (*g_view).st.panels[0].Spd_LapTime;
    bool grown = false;
    for (auto _ : state) {
        grown = !grown;
        g.SetRowCount(grown ? rows + 1 : rows);
        g.SetActiveCell(1, g.RowCount());
        g_window->Render(*g_view);
    }
}
BENCHMARK(BM_RenderAfterNewRow)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

// One step of a resize drag: every placed control, font and grid of the window rescaled.
void BM_Rescale(benchmark::State& state) {
    FillLapGrid(static_cast<int>(state.range(0)));
    MainWindow* w = g_window;
    const double base = w->scale();
    bool up = false;
    for (auto _ : state) {
        up = !up;
        w->ResizeToScale(up ? base * 1.05 : base);
    }
    w->ResizeToScale(base);
}
BENCHMARK(BM_Rescale)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);
// Slots 0-2 set up, each with `rows` laps; the chart open on them.
LapChartWindow* ChartOnThreeCars(int rows) {
    Console& c = (*g_view);
    for (int s = 0; s < 3; ++s) {
        PanelState& p = c.st.panels[s];
        p.Lbl_IP.caption = "127.0.0.1";
        Grid& g = p.Spd_LapTime;
        g.SetRowCount(rows);
        for (int row = 1; row <= rows; ++row) {
            const int ticks = 80'000 + (row * 7919 + s * 104729) % 5000;
            g.SetCell(row, 1, "1'2" + std::to_string(ticks % 10) + "\"000");
            g.SetCell(row, 2, (row / 40) % 2 == 0 ? "Driver A" : "Driver B");
            g.SetCell(row, 4, std::to_string(ticks));
        }
    }
    auto* button = g_window->findChild<QPushButton*>("Btn_LapChart");
    if (button) button->click();
    QCoreApplication::processEvents();
    return g_window->lapChart();
}

// A lap recorded on slot 0: the chart draws all three cars again (series replaced, axes
// fitted), then the events that posts are delivered.
void BM_ChartRedrawAfterLap(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    LapChartWindow* chart = ChartOnThreeCars(rows);
    if (!chart) {
        state.SkipWithError("no chart window");
        return;
    }
    Grid& g = (*g_view).st.panels[0].Spd_LapTime;
    int k = 0;
    for (auto _ : state) {
        g.SetCell(rows, 4, (++k & 1) ? "81000" : "81001");
        chart->RedrawNow();
        QCoreApplication::sendPostedEvents();
    }
}
BENCHMARK(BM_ChartRedrawAfterLap)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_ChartRepaint(benchmark::State& state) {
    LapChartWindow* chart = ChartOnThreeCars(static_cast<int>(state.range(0)));
    if (!chart) {
        state.SkipWithError("no chart window");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(chart->grab());
}
BENCHMARK(BM_ChartRepaint)->Arg(10)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Our own option is taken out before the benchmark library sees the arguments.
    double scale = 1.0;
    int kept = 1;
    for (int k = 1; k < argc; ++k) {
        if (std::strncmp(argv[k], "--window-scale=", 15) == 0)
            scale = std::atof(argv[k] + 15);
        else
            argv[kept++] = argv[k];
    }
    argc = kept;
    QApplication qapp(argc, argv);
    InstallUiFont();
    NullServices null;
    SteadyClock mono;
    SystemWallClock wall;
    Console view(Services{null, null, null, wall, mono});
    view.DeriveClock();
    ApplyDesignState(view);
    MainWindowStartupState(view);
    const EventSink sink{[](EventSink::Action) {}, [&view](EventSink::Action a) { a(view); }};
    MainWindow window(view, sink, [] {});
    window.Render(view);
    window.show();
    if (scale != 1.0) window.ResizeToScale(scale);
    std::printf("window scale %.2f, %dx%d\n", window.scale(), window.width(), window.height());
    g_view = &view;
    g_window = &window;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
