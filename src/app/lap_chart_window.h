#pragma once
// The lap chart window "ラップチャート": lap time against lap number for every set-up car, one
// line per car, points coloured by driver, the best lap of each car starred. It is a window of
// its own (not modal), opened and raised by Btn_LapChart, and follows the lap grids while it
// is shown. What it draws comes from BuildLapChart in the core.
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "analysis/lap_chart.h"
#include "core/console.h"

class QCategoryAxis;
class QChart;
class QChartView;
class QValueAxis;
class QXYSeries;

namespace velmora {

class LapChartWindow : public QWidget {
  public:
    // Redraws are at least this far apart; a change inside the gap is drawn when it ends. A
    // redraw of a long race holds the thread that answers the cars for several milliseconds
    // (docs/performance.md): with laps every second, 500 ms here put the reply p99 at 14 ms,
    // 2 s at 1.5 ms. Laps take a minute or more: the chart shows each, at most 2 s late.
    static constexpr int kMinRedrawMs = 2000;
    // Points drawn per car over the lap range in view (ThinPoints): about one per pixel.
    static constexpr int kPointBudget = 300;

    LapChartWindow(QWidget* parent, const Console& console);

    // Shows the window (or brings it to the front) and draws the state as it is now.
    void Open();
    // Called after every render of the main window: draws again only when a lap grid or a
    // car's caption, address or name changed since the last drawing, so datagrams that record
    // nothing cost one comparison.
    void Refresh();
    // Reads the lap grids and draws now, whatever the throttle (for benchmarks).
    void RedrawNow() { Redraw(); }
    // A drawn series by object name: "Line_<slot>", "Points_<slot>_<driver>", "Best_<slot>",
    // <driver> being the driver's number (DriverNumbers: the first driver seen is 0). (Series
    // belong to the chart's scene, not to the window's children.)
    QXYSeries* series(const QString& name) const;

  private:
    // Reads the lap grids, then draws.
    void Redraw();
    // Draws `chart` over the lap range in view (all of it unless the crew zoomed in), with
    // new points for the slots in `changed` only (every slot when null or the range moved).
    void Draw(const LapChart& chart, const std::set<int>* changed);
    // Fits the axes to the chart; true when the lap range moved.
    bool FitAxes(const LapChart& chart);
    void SetTimeMarks(double lo, double hi);
    // The series with object name `name`; a new one is made by `setUp` (look, legend name)
    // before it joins the chart, and `created` says so.
    QXYSeries* Series(const QString& name, bool line, const std::function<void(QXYSeries*)>& setUp,
                      bool* created = nullptr);

    const Console& console_;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QValueAxis* x_ = nullptr;
    QCategoryAxis* y_ = nullptr;
    std::map<QString, QXYSeries*> series_;  // by object name
    DriverNumbers drivers_;                 // keys and colours of the point series
    std::optional<LapChartKey> drawn_;
    std::optional<LapChart> lastChart_;
    QElapsedTimer sinceRedraw_;
    QTimer pending_;
    bool settingMarks_ = false;
    bool drawing_ = false;
    int marksTicksPerSecond_ = 0;
};

}  // namespace velmora
