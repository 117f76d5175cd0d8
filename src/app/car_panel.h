#pragma once
// One car panel Frm_Runner(i): the set-up button of the idle panel, the lap information
// strip, the driver information frame with its pop-up, and the lap grid.
#include <string>

#include "app/control_views.h"
#include "app/event_sink.h"
#include "app/grid_view.h"
#include "app/input_conventions.h"

namespace velmora {

class CarPanel : public CaptionFrame {
  public:
    CarPanel(QWidget* parent, int slot, const PanelState& state, EventSink sink,
             InputConventions& conventions);

    void Render(const PanelState& p);
    GridView* lapGrid() const { return lapGrid_; }

  private:
    QString Name(std::string_view control) const;
    void Build(const PanelState& state, InputConventions& conventions);

    int slot_;
    EventSink sink_;
    FrameView frame_, lapInfo_, driverInfo_, driverLap_;
    ButtonView clientNoSet_, clientNoSet2_, clsCar_, runStop_, lapChg_, kyuyu_, driverInfoBtn_;
    LabelView gousya_, time_, lapCnt_, bestLap_, aveLap_, yosoSyu_, ip_, carStatus_;
    LabelView zanGas_, allGas_, tank_, autoMess1_, autoMess2_, inMess_, drvrBest_, drvrAve_, stint_;
    LabelView changeDue_, ruleNote_;
    ComboView driver_, car_;
    TextView nenpi_, inGasl_, zanRunCnt_, outMess_;
    MeterView gas_;
    CheckView chgCnter_;
    GridView* lapGrid_ = nullptr;
    GridView* driverGrid_ = nullptr;
    GridView* stintGrid_ = nullptr;
};

}  // namespace velmora
