#include "app/lap_chart_window.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "app/control_views.h"

namespace velmora {

namespace {

constexpr int kMarkerPx = 9;
constexpr int kBestMarkerPx = 17;

// One colour per driver, the same on every car's line.
QColor DriverColour(int driver) {
    static const QColor kPalette[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e),
                                      QColor(0x2c, 0xa0, 0x2c), QColor(0xd6, 0x27, 0x28),
                                      QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                      QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f),
                                      QColor(0xbc, 0xbd, 0x22), QColor(0x17, 0xbe, 0xcf)};
    constexpr int n = static_cast<int>(std::size(kPalette));
    return kPalette[((driver % n) + n) % n];
}

// Cars are told apart by the line's dash and the points' shape: circle, square, triangle.
Qt::PenStyle CarDash(int slot) {
    static const Qt::PenStyle kDashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine};
    return kDashes[slot % 3];
}

QPainterPath CarShape(int slot, double size) {
    QPainterPath path;
    const double m = 1.0, s = size - 2 * m;
    switch (slot % 3) {
        case 0:
            path.addEllipse(m, m, s, s);
            break;
        case 1:
            path.addRect(m + 0.5, m + 0.5, s - 1, s - 1);
            break;
        default:
            path.moveTo(size / 2, m);
            path.lineTo(size - m, size - m);
            path.lineTo(m, size - m);
            path.closeSubpath();
            break;
    }
    return path;
}

QPainterPath Star(double size) {
    QPainterPath path;
    const double c = size / 2, outer = size / 2 - 0.5, inner = outer * 0.45;
    for (int k = 0; k < 10; ++k) {
        const double r = k % 2 == 0 ? outer : inner;
        const double a = -std::numbers::pi / 2 + k * std::numbers::pi / 5;
        const QPointF p(c + r * std::cos(a), c + r * std::sin(a));
        if (k == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

// Markers are painted as images ("light markers"): Qt Charts then draws thousands of points
// without a graphics item each.
QImage MarkerImage(const QPainterPath& shape, int size, const QColor& fill) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(160), 1));
    p.setBrush(fill);
    p.drawPath(shape);
    return image;
}

// A round whole-lap step giving at most about ten marks.
double LapStep(int laps) {
    double step = 1;
    while (laps / step > 10) {
        if (laps / (step * 2) <= 10) return step * 2;
        if (laps / (step * 5) <= 10) return step * 5;
        step *= 10;
    }
    return step;
}

}  // namespace

LapChartWindow::LapChartWindow(QWidget* parent, const Console& console)
    : QWidget(parent, Qt::Window), console_(console) {
    setObjectName("Frm_LapChart");
    setWindowTitle(QStringLiteral("ラップチャート"));
    resize(900, 600);

    chart_ = new QChart();
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    x_ = new QValueAxis(chart_);
    x_->setObjectName("Axis_Lap");
    x_->setTitleText(QStringLiteral("周回"));
    x_->setLabelFormat("%d");
    x_->setTickType(QValueAxis::TicksDynamic);
    x_->setTickAnchor(0);
    y_ = new QCategoryAxis(chart_);
    y_->setObjectName("Axis_LapTime");
    y_->setTitleText(QStringLiteral("ラップタイム"));
    y_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart_->addAxis(x_, Qt::AlignBottom);
    chart_->addAxis(y_, Qt::AlignLeft);
    // A zoom (drag a rectangle; right click zooms out) changes the range: mark it anew.
    connect(y_, &QValueAxis::rangeChanged, this, [this](qreal lo, qreal hi) {
        if (!settingMarks_) SetTimeMarks(lo, hi);
    });
    // Zoomed in on some laps: draw those laps in full detail.
    connect(x_, &QValueAxis::rangeChanged, this, [this] {
        if (!drawing_ && lastChart_) Draw(*lastChart_, nullptr);
    });

    view_ = new QChartView(chart_, this);
    view_->setObjectName("Chart_LapTime");
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setRubberBand(QChartView::RectangleRubberBand);

    auto* hint = new QLabel(QStringLiteral("ドラッグで拡大、右クリックで縮小"), this);
    auto* fit = new QPushButton(QStringLiteral("全体表示"), this);
    fit->setObjectName("Btn_ChartFit");
    connect(fit, &QPushButton::clicked, this, [this] {
        chart_->zoomReset();
        if (lastChart_) Draw(*lastChart_, nullptr);
    });
    auto* row = new QHBoxLayout();
    row->addWidget(hint, 1);
    row->addWidget(fit);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(view_, 1);
    layout->addLayout(row);

    pending_.setSingleShot(true);
    connect(&pending_, &QTimer::timeout, this, [this] { Refresh(); });
}

void LapChartWindow::Open() {
    show();
    raise();
    activateWindow();
    pending_.stop();
    Redraw();
}

void LapChartWindow::Refresh() {
    if (!isVisible()) return;
    if (drawn_ && *drawn_ == ChartKeyOf(console_.st, console_.clock)) return;
    const qint64 since = sinceRedraw_.isValid() ? sinceRedraw_.elapsed() : kMinRedrawMs;
    if (since < kMinRedrawMs) {
        if (!pending_.isActive()) pending_.start(static_cast<int>(kMinRedrawMs - since));
        return;
    }
    Redraw();
}

QXYSeries* LapChartWindow::series(const QString& name) const {
    auto it = series_.find(name);
    return it == series_.end() ? nullptr : it->second;
}

QXYSeries* LapChartWindow::Series(const QString& name, bool line,
                                  const std::function<void(QXYSeries*)>& setUp, bool* created) {
    auto it = series_.find(name);
    if (created) *created = it == series_.end();
    if (it != series_.end()) return it->second;
    QXYSeries* s = line ? static_cast<QXYSeries*>(new QLineSeries(chart_))
                        : static_cast<QXYSeries*>(new QScatterSeries(chart_));
    s->setObjectName(name);
    // Look and legend name before the series joins the chart: the legend lays its entry out
    // when it is added.
    setUp(s);
    chart_->addSeries(s);
    s->attachAxis(x_);
    s->attachAxis(y_);
    series_[name] = s;
    return s;
}

void LapChartWindow::Redraw() {
    const LapChartKey key = ChartKeyOf(console_.st, console_.clock);
    // Only the cars whose lap grid changed get new points, unless a car's texts or the clock
    // changed: a lap of one car then costs a third of a full drawing.
    std::set<int> changed;
    for (int s = 0; s < kPanelCount; ++s)
        if (!drawn_ || drawn_->texts != key.texts || drawn_->revisions[s] != key.revisions[s])
            changed.insert(s);
    lastChart_ = BuildLapChart(console_.st);
    drawn_ = key;
    sinceRedraw_.restart();
    Draw(*lastChart_, &changed);
}

void LapChartWindow::Draw(const LapChart& chart, const std::set<int>* changed) {
    drawing_ = true;
    // A zoomed chart keeps the crew's range; "全体表示" fits it again.
    const bool rangeMoved = !chart_->isZoomed() && FitAxes(chart);
    const double fromLap = x_->min(), toLap = x_->max();
    auto redo = [&](int slot) { return rangeMoved || !changed || changed->count(slot) != 0; };
    auto setName = [](QXYSeries* s, const QString& name) {
        if (s->name() != name) s->setName(name);
    };
    bool legendChanged = false;
    auto showInLegend = [&](QXYSeries* s, bool on) {
        for (QLegendMarker* m : chart_->legend()->markers(s)) {
            if (m->isVisible() == on) continue;
            m->setVisible(on);
            legendChanged = true;
        }
    };

    std::set<QString> used;
    std::set<int> driversInLegend;
    bool bestInLegend = false;
    // Lines first, so every point is painted over them.
    for (const ChartSeries& car : chart.cars) {
        const QString lineName = QString("Line_%1").arg(car.slot);
        // The legend shows the car's point shape in front of its name.
        static const char* const kShapeSigns[] = {"●", "■", "▲"};
        QString name = QString::fromUtf8(kShapeSigns[car.slot % 3]) + " " + ToQString(car.caption);
        if (!car.carName.empty()) name += " " + ToQString(car.carName);
        bool isNew = false;
        QXYSeries* line = Series(
            lineName, true,
            [&](QXYSeries* s) {
                s->setName(name);
                s->setPen(QPen(QColor(0x50, 0x50, 0x50), 1, CarDash(car.slot)));
            },
            &isNew);
        used.insert(lineName);
        setName(line, name);
        if (!redo(car.slot) && !isNew) continue;
        QList<QPointF> points;
        for (const ChartPoint& p : ThinPoints(car.points, fromLap, toLap, kPointBudget))
            points.append(QPointF(p.lap, p.ticks));
        line->replace(points);
    }
    // Point series are keyed by the drivers' own numbers, never by their place in the chart's
    // list: a car not drawn again keeps its series as they are.
    std::vector<int> numberOf;
    for (const std::string& d : chart.drivers) numberOf.push_back(drivers_.Of(d));
    for (const ChartSeries& car : chart.cars) {
        // One series per driver of the car, even when thinning left it no point in view:
        // number → the driver's place in the chart's list, and the points.
        std::map<int, std::pair<std::size_t, QList<QPointF>>> byDriver;
        auto of = [&](const ChartPoint& p) -> auto& {
            const auto k = static_cast<std::size_t>(p.driver);
            auto& entry = byDriver[numberOf[k]];
            entry.first = k;
            return entry.second;
        };
        for (const ChartPoint& p : car.points) of(p);
        if (redo(car.slot))
            for (const ChartPoint& p : ThinPoints(car.points, fromLap, toLap, kPointBudget))
                of(p).append(QPointF(p.lap, p.ticks));
        for (auto& [driver, entry] : byDriver) {
            const std::string& who = chart.drivers[entry.first];
            const QList<QPointF>& points = entry.second;
            const QString seriesName = QString("Points_%1_%2").arg(car.slot).arg(driver);
            const QString name = who.empty() ? QStringLiteral("(ドライバ未選択)") : ToQString(who);
            bool isNew = false;
            QXYSeries* s = Series(
                seriesName, false,
                [&](QXYSeries* n) {
                    n->setName(name);
                    n->setMarkerSize(kMarkerPx);
                    n->setColor(DriverColour(driver));  // the legend's colour
                    n->setLightMarker(MarkerImage(CarShape(car.slot, kMarkerPx), kMarkerPx,
                                                  DriverColour(driver)));
                },
                &isNew);
            used.insert(seriesName);
            setName(s, name);
            if (redo(car.slot) || isNew) s->replace(points);
            // One legend entry per driver, whichever car drove first.
            showInLegend(s, driversInLegend.insert(driver).second);
        }
    }
    for (const ChartSeries& car : chart.cars) {
        const QString bestName = QString("Best_%1").arg(car.slot);
        QXYSeries* s = Series(bestName, false, [](QXYSeries* n) {
            const QColor gold(0xff, 0xd7, 0);
            n->setName(QStringLiteral("ベストラップ"));
            n->setMarkerSize(kBestMarkerPx);
            n->setColor(gold);
            n->setLightMarker(MarkerImage(Star(kBestMarkerPx), kBestMarkerPx, gold));
        });
        used.insert(bestName);
        QList<QPointF> best;
        if (car.best >= 0) {
            const ChartPoint& p = car.points[static_cast<std::size_t>(car.best)];
            best.append(QPointF(p.lap, p.ticks));
        }
        if (s->points() != best) s->replace(best);
        const bool first = !bestInLegend && !best.isEmpty();
        bestInLegend = bestInLegend || first;
        showInLegend(s, first);
    }
    for (auto it = series_.begin(); it != series_.end();) {
        if (used.count(it->first) != 0) {
            ++it;
            continue;
        }
        chart_->removeSeries(it->second);
        delete it->second;
        it = series_.erase(it);
        legendChanged = true;
    }
    // Hiding entries does not give their room back by itself.
    if (legendChanged) chart_->legend()->layout()->invalidate();
    drawing_ = false;
}

bool LapChartWindow::FitAxes(const LapChart& chart) {
    const int laps = std::max(chart.maxLap, 1);
    const double second = console_.clock.TicksPerSecond > 0 ? console_.clock.TicksPerSecond : 1000;
    double lo = chart.minTicks, hi = chart.maxTicks;
    if (chart.maxLap == 0) lo = 0, hi = 120 * second;
    const double pad = std::max((hi - lo) * 0.05, second / 2);
    const bool xMoved = x_->min() != 0 || x_->max() != laps + 1;
    const bool yMoved = y_->min() != lo - pad || y_->max() != hi + pad;
    if (xMoved) {
        x_->setRange(0, laps + 1);
        x_->setTickInterval(LapStep(laps));
    }
    if (yMoved) y_->setRange(lo - pad, hi + pad);
    if (yMoved || marksTicksPerSecond_ != console_.clock.TicksPerSecond)
        SetTimeMarks(lo - pad, hi + pad);
    return xMoved;
}

void LapChartWindow::SetTimeMarks(double lo, double hi) {
    settingMarks_ = true;
    for (const QString& label : y_->categoriesLabels()) y_->remove(label);
    const std::vector<AxisMark> marks = LapTimeAxisMarks(lo, hi, console_.clock);
    // Each mark ends a category; the first category starts just below the first mark.
    y_->setStartValue(marks.empty() ? lo : std::min(lo, marks.front().ticks - 1));
    for (const AxisMark& m : marks) y_->append(ToQString(m.label), m.ticks);
    marksTicksPerSecond_ = console_.clock.TicksPerSecond;
    settingMarks_ = false;
}

}  // namespace velmora
