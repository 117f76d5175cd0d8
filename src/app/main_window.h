#pragma once
// The main window "走行状況": the console block, three car panels and the overlay frames.
// It renders the whole console state on demand and refuses every close request. The blocks
// sit on a canvas laid out in twips; the window can be resized and maximised, and the canvas
// then scales as a whole, fonts included, letterboxed in the middle of the window.
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "app/event_sink.h"
#include "app/input_conventions.h"

namespace velmora {

class ConsoleBlock;
class CarPanel;
class OverlayPanel;
class WindowScaler;
class LapChartWindow;

class MainWindow : public QWidget {
  public:
    // `console` is the window's own copy, kept up to date by the caller. `onTeamView`:
    // Btn_TeamView pressed (the application owns the team view).
    MainWindow(const Console& console, EventSink sink, std::function<void()> onEnd,
               std::function<void()> onTeamView = {});
    ~MainWindow() override;

    // Brings every widget up to the state.
    void Render(const Console& console);
    // Moves the keyboard focus to the control of that object name, as the console asked.
    void FocusControl(const std::string& name);
    // The lap chart window, null until Btn_LapChart first opened it.
    LapChartWindow* lapChart() const { return lapChart_; }
    // Left/top that centre the window on a screen of the given size (pixels).
    void CentreOn(const QSize& screen);

    // The client size of the twips layout at scale 1.
    static QSize DesignSize();
    // The window size that shows the layout at `scale`.
    static QSize SizeAtScale(double scale);
    // Resizes the window to `scale` times the design size (the canvas follows).
    void ResizeToScale(double scale);
    double scale() const;
    // The canvas that holds the blocks, at its current scale.
    QWidget* canvas() const { return canvas_; }
    // Told the new scale after every resize that changed it.
    void setOnScaleChanged(std::function<void(double)> f) { onScaleChanged_ = std::move(f); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void FitCanvas();

    InputConventions conventions_;
    QWidget* canvas_ = nullptr;
    std::unique_ptr<WindowScaler> scaler_;
    std::function<void(double)> onScaleChanged_;
    double requested_ = 1.0;
    ConsoleBlock* console_ = nullptr;
    std::array<CarPanel*, 3> panels_{};
    OverlayPanel* mess_ = nullptr;
    OverlayPanel* car_ = nullptr;
    OverlayPanel* course_ = nullptr;
    OverlayPanel* drivers_ = nullptr;
    LapChartWindow* lapChart_ = nullptr;
};

}  // namespace velmora
