#pragma once
// The console block Frm_Main: course, event data, ranking, editor buttons, stopwatch, run
// length and clocks, host address, the all-cars message and the start/results/end buttons.
#include <array>
#include <functional>

#include "app/control_views.h"
#include "app/event_sink.h"
#include "app/input_conventions.h"

namespace velmora {

class ConsoleBlock : public CaptionFrame {
  public:
    // `onEnd`: Btn_End pressed (the application owns the shutdown); `onLapChart`:
    // Btn_LapChart pressed (the main window owns the chart window); `onTeamView`:
    // Btn_TeamView pressed (the application owns the team view). Btn_TeamView has no state in
    // the console: it changes nothing of the race, and only the frame's lock disables it.
    ConsoleBlock(QWidget* parent, EventSink sink, InputConventions& conventions,
                 std::function<void()> onEnd, std::function<void()> onLapChart,
                 std::function<void()> onTeamView = {});

    void Render(const MainFrameState& m);

  private:
    struct RankRowViews {
        LabelView jyuni, sortNo, sortLap, bestLap, bestTime;
    };

    void Build(InputConventions& conventions);
    QLineEdit* MakeText(QWidget* parent, TextView& view, const char* name,
                        TextBox MainFrameState::*field);
    QPushButton* MakeButton(ButtonView& view, const char* name);
    LabelView MakeLabel(QWidget* parent, const char* name);

    EventSink sink_;
    std::function<void()> onEnd_;
    std::function<void()> onLapChart_;
    std::function<void()> onTeamView_;
    FrameView frame_;
    ComboView course_, tenki_;
    TextView event_, date_, kion_, runH_, runN_, allOutMess_;
    std::array<RankRowViews, 3> ranking_;
    ButtonView cource_, drivers_, car_, mess_, lapChart_, export_, otherLap_, start_, write_, end_;
    ButtonView rules_;
    LabelView otherLapTime_, stTime_, zanTime_, sysTime_, localIP_;
};

}  // namespace velmora
