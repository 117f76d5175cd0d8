#include "app/main_window.h"

#include <QCloseEvent>
#include <algorithm>
#include <cmath>

#include "app/car_panel.h"
#include "app/console_block.h"
#include "app/lap_chart_window.h"
#include "app/layout.h"
#include "app/overlay_panel.h"
#include "app/tab_order.h"
#include "app/twips.h"
#include "app/window_scaler.h"
#include "core/window_scale.h"

namespace velmora {

MainWindow::MainWindow(const Console& console, EventSink sink, std::function<void()> onEnd,
                       std::function<void()> onTeamView) {
    setObjectName("Main");
    setWindowTitle(QStringLiteral("走行状況"));
    canvas_ = new QWidget(this);
    canvas_->setObjectName("Canvas");
    canvas_->setGeometry(QRect(QPoint(0, 0), DesignSize()));
    // The chart window is made on first use and then only hidden and shown again.
    auto openLapChart = [this, &console] {
        if (!lapChart_) lapChart_ = new LapChartWindow(this, console);
        lapChart_->Open();
    };
    console_ = new ConsoleBlock(canvas_, sink, conventions_, std::move(onEnd), openLapChart,
                                std::move(onTeamView));
    for (int i = 0; i < 3; ++i)
        panels_[i] = new CarPanel(canvas_, i, console.st.panels[i], sink, conventions_);
    const ConsoleState& st = console.st;
    car_ = new OverlayPanel(canvas_, Editor::Car, st.Frm_Car, sink);
    course_ = new OverlayPanel(canvas_, Editor::Course, st.Frm_Course, sink);
    drivers_ = new OverlayPanel(canvas_, Editor::Drivers, st.Frm_Drivers, sink);
    mess_ = new OverlayPanel(canvas_, st.Frm_Mess, sink);

    ApplyTabOrder({console_, panels_[0], panels_[1], panels_[2], car_, course_, drivers_, mess_});
    // Everything is built at its design size: that is what the scaler multiplies from now on.
    scaler_ = std::make_unique<WindowScaler>(canvas_);
    setMinimumSize(QSize(static_cast<int>(std::ceil(DesignSize().width() * kMinWindowScale)),
                         static_cast<int>(std::ceil(DesignSize().height() * kMinWindowScale))));
    resize(DesignSize());
}

MainWindow::~MainWindow() = default;

QSize MainWindow::DesignSize() {
    return QSize(Px(layout::kClientWidth), Px(layout::kClientHeight));
}

void MainWindow::CentreOn(const QSize& screen) {
    move(Centred(screen.width(), width()), Centred(screen.height(), height()));
}

QSize MainWindow::SizeAtScale(double scale) {
    const QSize d = DesignSize();
    return QSize(static_cast<int>(std::lround(d.width() * scale)),
                 static_cast<int>(std::lround(d.height() * scale)));
}

void MainWindow::ResizeToScale(double scale) {
    requested_ = scale;
    resize(SizeAtScale(scale));
    FitCanvas();
}

double MainWindow::scale() const { return scaler_->scale(); }

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitCanvas();
}

void MainWindow::FitCanvas() {
    // The largest scale at which the whole layout fits; the other direction gets bars.
    const QSize d = DesignSize();
    double fit = std::min(static_cast<double>(width()) / d.width(),
                          static_cast<double>(height()) / d.height());
    // A window sized for a scale shows exactly that scale, not one rounded from its pixels.
    if (size() == SizeAtScale(requested_)) fit = requested_;
    const double s = std::clamp(fit, kMinWindowScale, kMaxWindowScale);
    const bool changed = std::abs(s - scaler_->scale()) > 1e-9;
    if (changed) scaler_->Apply(s);
    const QSize c = scaler_->ScaledSize(d);
    canvas_->setGeometry(Centred(width(), c.width()), Centred(height(), c.height()), c.width(),
                         c.height());
    for (OverlayPanel* o : {car_, course_, drivers_, mess_}) o->Centre();
    if (changed && onScaleChanged_) onScaleChanged_(s);
}

void MainWindow::Render(const Console& console) {
    const ConsoleState& st = console.st;
    console_->Render(st.main);
    for (int i = 0; i < 3; ++i) panels_[i]->Render(st.panels[i]);
    if (lapChart_) lapChart_->Refresh();
    car_->Render(st.Frm_Car);
    course_->Render(st.Frm_Course);
    drivers_->Render(st.Frm_Drivers);
    mess_->Render(st.Frm_Mess);
}

void MainWindow::FocusControl(const std::string& name) {
    // Setting the focus runs the field's got-focus action, a crew action like any other.
    if (auto* w = findChild<QWidget*>(QString::fromStdString(name)))
        w->setFocus(Qt::OtherFocusReason);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The console ends only through Btn_End; a close box, Alt+F4 or log-off is refused.
    event->ignore();
}

}  // namespace velmora
