#include "app/main_window.h"

#include <QCloseEvent>

#include "app/car_panel.h"
#include "app/console_block.h"
#include "app/lap_chart_window.h"
#include "app/layout.h"
#include "app/overlay_panel.h"
#include "app/twips.h"

namespace velmora {

MainWindow::MainWindow(Console& console, EventSink sink, std::function<void()> onEnd) {
    setObjectName("Main");
    setWindowTitle(QStringLiteral("走行状況"));
    setFixedSize(Px(layout::kClientWidth), Px(layout::kClientHeight));
    // The chart window is made on first use and then only hidden and shown again.
    auto openLapChart = [this, &console] {
        if (!lapChart_) lapChart_ = new LapChartWindow(this, console);
        lapChart_->Open();
    };
    console_ = new ConsoleBlock(this, sink, conventions_, std::move(onEnd), openLapChart);
    for (int i = 0; i < 3; ++i)
        panels_[i] = new CarPanel(this, i, console.st.panels[i], sink, conventions_);
    ConsoleState& st = console.st;
    car_ = new OverlayPanel(this, Editor::Car, st.Frm_Car, sink);
    course_ = new OverlayPanel(this, Editor::Course, st.Frm_Course, sink);
    drivers_ = new OverlayPanel(this, Editor::Drivers, st.Frm_Drivers, sink);
    mess_ = new OverlayPanel(this, st.Frm_Mess, sink);
}

MainWindow::~MainWindow() = default;

void MainWindow::CentreOn(const QSize& screen) {
    move(Centred(screen.width(), width()), Centred(screen.height(), height()));
}

void MainWindow::Render(Console& console) {
    ConsoleState& st = console.st;
    console_->Render(st.main);
    for (int i = 0; i < 3; ++i) {
        panels_[i]->DeriveFigures(st.panels[i], console.clock);
        panels_[i]->Render(st.panels[i]);
    }
    if (lapChart_) lapChart_->Refresh();
    car_->Render(st.Frm_Car);
    course_->Render(st.Frm_Course);
    drivers_->Render(st.Frm_Drivers);
    mess_->Render(st.Frm_Mess);
    if (!st.focusRequest.empty()) {
        const QString name = QString::fromStdString(st.focusRequest);
        st.focusRequest.clear();
        // Setting the focus runs the field's got-focus action, which may render again.
        if (auto* w = findChild<QWidget*>(name)) w->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The console ends only through Btn_End; a close box, Alt+F4 or log-off is refused.
    event->ignore();
}

}  // namespace velmora
