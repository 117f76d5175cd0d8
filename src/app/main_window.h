#pragma once
// The main window "走行状況": the console block, three car panels and the overlay frames.
// It renders the whole console state on demand and refuses every close request.
#include <QWidget>
#include <array>
#include <functional>

#include "app/event_sink.h"
#include "app/input_conventions.h"

namespace velmora {

class ConsoleBlock;
class CarPanel;
class OverlayPanel;
class LapChartWindow;

class MainWindow : public QWidget {
  public:
    MainWindow(Console& console, EventSink sink, std::function<void()> onEnd);
    ~MainWindow() override;

    // Brings every widget up to the state, then moves the focus where the console asked.
    void Render(Console& console);
    // The lap chart window, null until Btn_LapChart first opened it.
    LapChartWindow* lapChart() const { return lapChart_; }
    // Left/top that centre the window on a screen of the given size (pixels).
    void CentreOn(const QSize& screen);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    InputConventions conventions_;
    ConsoleBlock* console_ = nullptr;
    std::array<CarPanel*, 3> panels_{};
    OverlayPanel* mess_ = nullptr;
    OverlayPanel* car_ = nullptr;
    OverlayPanel* course_ = nullptr;
    OverlayPanel* drivers_ = nullptr;
    LapChartWindow* lapChart_ = nullptr;
};

}  // namespace velmora
