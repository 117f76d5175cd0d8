#include "app/car_panel.h"

#include <map>

#include "app/builder.h"
#include "app/fit_label.h"
#include "app/layout.h"
#include "core/window_state.h"
#include "measure/lap_correction.h"
#include "measure/measurement.h"
#include "pit/drivers.h"
#include "pit/fuel.h"
#include "pit/messages.h"
#include "pit/slot_setup.h"

namespace velmora {

namespace {

TwipRect At(std::string_view name) { return RectOf(layout::kPanelControls, name); }

}  // namespace

CarPanel::CarPanel(QWidget* parent, int slot, const PanelState& state, EventSink sink,
                   InputConventions& conventions)
    : CaptionFrame(parent), slot_(slot), sink_(std::move(sink)) {
    setObjectName(Name("Frm_Runner"));
    PlaceAt(this, layout::kRunnerFrames[slot]);
    frame_.w = this;
    Build(state, conventions);
}

QString CarPanel::Name(std::string_view control) const {
    return NameText(SlotControlName(control, slot_));
}

void CarPanel::Build(const PanelState& state, InputConventions& conv) {
    const int i = slot_;
    using F = InputConventions::Field;
    // Focus on any of the car's inputs ends its driver pop-up.
    auto closePopup = [this, i] { sink_([i](Console& c) { CloseDriverPopup(c, i); }); };

    auto button = [&](ButtonView& v, QWidget* parent, const char* name, TwipRect r,
                      void (*op)(Console&, int)) {
        v.w = Make<QPushButton>(parent, Name(name), r);
        connect(v.w, &QPushButton::clicked, this,
                [this, op, i] { sink_([op, i](Console& c) { op(c, i); }); });
    };
    auto label = [&](LabelView& v, QWidget* parent, const char* name,
                     Qt::Alignment align = Qt::AlignCenter) {
        v.w = Make<QLabel>(parent, Name(name), At(name));
        v.w->setAlignment(align);
    };
    auto text = [&](TextView& v, QWidget* parent, const char* name, TextBox PanelState::*field,
                    void (*lost)(Console&, int), void (*changed)(Console&, int) = nullptr) {
        auto* w = Make<QLineEdit>(parent, Name(name), At(name));
        v.w = w;
        // Typed, pasted, from an input method or set by an assistive tool: all the same.
        connect(w, &QLineEdit::textChanged, this, [this, i, field, changed](const QString& t) {
            sink_([i, field, changed, text = t.toStdString()](Console& c) {
                (c.st.panels[i].*field).text = text;
                if (changed) changed(c, i);
            });
        });
        F f{true, true, closePopup, {}};
        if (lost) f.lostFocus = [this, lost, i] { sink_([lost, i](Console& c) { lost(c, i); }); };
        conv.Attach(w, std::move(f));
    };

    button(clientNoSet_, this, "Btn_ClientNoSet", layout::kClientNoSet, SetUpCarSlot);

    std::map<std::string_view, CaptionFrame*> frames;
    for (const layout::Place& p : layout::kPanelFrames)
        frames[p.name] = Make<CaptionFrame>(this, Name(p.name), p.rect);
    CaptionFrame* lapInfo = frames["Frm_LapInfo"];
    CaptionFrame* driverInfo = frames["Frm_DriverInfo"];
    QFont small = driverInfo->font();
    small.setPointSize(8);
    driverInfo->setFont(small);
    lapInfo_.w = lapInfo;
    driverInfo_.w = driverInfo;
    for (const layout::StaticText& t : layout::kPanelTexts)
        MakeStaticText(frames[t.frame], t.text, t.rect);

    // Lap information strip.
    label(gousya_, lapInfo, "Lbl_Gousya");
    label(time_, lapInfo, "Lbl_Time");
    QFont big = time_.w->font();
    big.setPointSize(14);
    big.setBold(true);
    time_.w->setFont(big);
    label(lapCnt_, lapInfo, "Lbl_LapCnt");
    label(ip_, lapInfo, "Lbl_IP");
    label(bestLap_, lapInfo, "Lbl_BestLapTime");
    label(aveLap_, lapInfo, "Lbl_AveLapTime");
    label(yosoSyu_, lapInfo, "Lbl_YosoSyu");
    label(carStatus_, lapInfo, "Lbl_CarStatus");
    button(clientNoSet2_, lapInfo, "Btn_ClientNoSet2", At("Btn_ClientNoSet2"),
           Btn_ClientNoSet2_Click);
    button(clsCar_, lapInfo, "Btn_ClsCar", At("Btn_ClsCar"), ClearCarSlot);
    button(runStop_, lapInfo, "Btn_RunStop", At("Btn_RunStop"), StopCar);
    button(lapChg_, lapInfo, "Btn_LapChg", At("Btn_LapChg"), CorrectLapCount);

    // Driver information, in tab order.
    auto* driver = Make<QComboBox>(driverInfo, Name("Cmb_Driver"), At("Cmb_Driver"));
    driver_.w = driver;
    connect(driver, &QComboBox::activated, this, [this, i](int index) {
        sink_([i, index](Console& c) {
            c.st.panels[i].Cmb_Driver.Select(index);
            ChooseDriver(c, i);
        });
    });
    conv.Attach(driver, F{false, true, closePopup,
                          [this, i] { sink_([i](Console& c) { DriverListLostFocus(c, i); }); }});
    button(driverInfoBtn_, driverInfo, "Btn_DriverInfo", At("Btn_DriverInfo"), DriverInfoClick);
    driverInfoBtn_.w->setCheckable(true);
    label(drvrBest_, driverInfo, "Lbl_DrvrBestLapTime");
    label(drvrAve_, driverInfo, "Lbl_DrvrAveLapTime");

    auto* car = Make<QComboBox>(driverInfo, Name("Cmb_Car"), At("Cmb_Car"));
    car_.w = car;
    connect(car, &QComboBox::activated, this, [this, i](int index) {
        sink_([i, index](Console& c) {
            c.st.panels[i].Cmb_Car.Select(index);
            ChooseCar(c, i);
        });
    });
    conv.Attach(car, F{false, true, closePopup, {}});
    label(tank_, driverInfo, "Lbl_Tank");
    label(zanGas_, driverInfo, "Lbl_ZanGas");

    text(nenpi_, driverInfo, "Txt_Nenpi", &PanelState::Txt_Nenpi, NenpiLostFocus);
    gas_.w = Make<QProgressBar>(driverInfo, Name("Meter_Gas"), At("Meter_Gas"));
    gas_.w->setRange(0, 100);
    gas_.w->setTextVisible(false);
    label(allGas_, driverInfo, "Lbl_AllGas");
    label(stint_, driverInfo, "Lbl_Stint");
    stint_.w->setToolTip("現在のドライバの連続走行: 周回数と分");

    text(inGasl_, driverInfo, "Txt_InGasl", &PanelState::Txt_InGasl, InGaslLostFocus);
    button(kyuyu_, driverInfo, "Btn_Kyuyu", At("Btn_Kyuyu"), Refuel);
    text(outMess_, driverInfo, "Txt_OutMess", &PanelState::Txt_OutMess, nullptr,
         TypedMessageChanged);

    text(zanRunCnt_, driverInfo, "Txt_ZanRunCnt", &PanelState::Txt_ZanRunCnt, ZanRunCntLostFocus);
    zanRunCnt_.w->setAlignment(Qt::AlignRight);
    nenpi_.w->setAlignment(Qt::AlignRight);
    inGasl_.w->setAlignment(Qt::AlignRight);
    label(autoMess1_, driverInfo, "Lbl_AutoMess1", Qt::AlignLeft | Qt::AlignVCenter);
    auto* chk = Make<QCheckBox>(driverInfo, Name("Chk_ChgCnter"), At("Chk_ChgCnter"));
    chgCnter_.w = chk;
    connect(chk, &QCheckBox::clicked, this, [this, i](bool checked) {
        sink_([i, checked](Console& c) {
            c.st.panels[i].Chk_ChgCnter.checked = checked;
            ArmCountdown(c, i);
        });
    });
    conv.Attach(chk, F{false, false, closePopup, {}});
    label(autoMess2_, driverInfo, "Lbl_AutoMess2", Qt::AlignLeft | Qt::AlignVCenter);
    label(inMess_, driverInfo, "Lbl_InMess", Qt::AlignLeft | Qt::AlignVCenter);

    // The driving-time rules' line: bold time left on its warning colour, then the rest.
    // Both shrink to their width: a change long overdue ("交代時間超過 125分"), a note with
    // every part at once.
    for (const layout::Place& place : layout::kRuleLine) {
        LabelView& v = place.name == "Lbl_ChangeDue" ? changeDue_ : ruleNote_;
        v.w = Make<FitLabel>(this, Name(place.name), place.rect);
    }
    changeDue_.w->setAlignment(Qt::AlignCenter);
    QFont due = changeDue_.w->font();
    due.setBold(true);
    changeDue_.w->setFont(due);
    changeDue_.w->setToolTip("走行規則: ドライバー交代が必要になるまでの時間");
    ruleNote_.w->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont note = ruleNote_.w->font();
    note.setPointSize(8);
    ruleNote_.w->setFont(note);
    ruleNote_.w->setToolTip(
        "走行規則: 停止不足、交代できるまでの時間、残りに必要な交代・停止、違反の件数");

    // Lap grid: columns 1-3 shown, ticks and the message record stay in the state only.
    lapGrid_ = new GridView(this, state.Spd_LapTime, 3);
    lapGrid_->setObjectName(Name("Spd_LapTime"));
    PlaceAt(lapGrid_, layout::kLapGrid);
    lapGrid_->setColumnWidthsTwips({1350, 1350, 1800});
    lapGrid_->gridModel().setEditableColumns([](int col, int) { return col >= 1 && col <= 3; });
    lapGrid_->gridModel().setOnEdit([this, i](int row, int col, const std::string& t) {
        sink_([i, row, col, t](Console& c) {
            c.st.panels[i].Spd_LapTime.SetCell(row, col, t);
            ParseLapCell(c, i, col, row);
        });
    });
    lapGrid_->setOnCellMove([this, i](int, int, int newCol, int newRow) {
        sink_([i, newCol, newRow](Console& c) {
            c.st.panels[i].Spd_LapTime.SetActiveCell(newCol, newRow);
        });
        return false;
    });
    lapGrid_->setOnEditBegin([this, i](int col, int row) {
        sink_([i, col, row](Console& c) { LapGridBeginEdit(c, i, col, row); });
    });
    conv.Attach(lapGrid_, F{false, false, closePopup, {}});

    // Driver pop-up over the lap grid, raised above it.
    CaptionFrame* pop = frames["Frm_DriverLap"];
    pop->setCaption(" ドライバ情報");
    driverLap_.w = pop;
    driverGrid_ = new GridView(pop, state.Spd_DriverInfo, kDriverInfoColumns);
    driverGrid_->setObjectName(Name("Spd_DriverInfo"));
    PlaceAt(driverGrid_, layout::kDriverInfoGrid);
    driverGrid_->setColumnWidthsTwips(std::vector<int>(std::begin(layout::kDriverInfoColumnTwips),
                                                       std::end(layout::kDriverInfoColumnTwips)));
    stintGrid_ = new GridView(pop, state.Spd_Stints, kStintShownColumns);
    stintGrid_->setObjectName(Name("Spd_Stints"));
    PlaceAt(stintGrid_, layout::kStintGrid);
    stintGrid_->setColumnWidthsTwips(std::vector<int>(std::begin(layout::kStintColumnTwips),
                                                      std::end(layout::kStintColumnTwips)));
    stintGrid_->setFont(small);
    pop->raise();
    pop->hide();
}

void CarPanel::Render(const PanelState& p) {
    frame_.Render(p.Frm_Runner);
    clientNoSet_.Render(p.Btn_ClientNoSet);
    lapInfo_.Render(p.Frm_LapInfo);
    gousya_.Render(p.Lbl_Gousya);
    time_.Render(p.Lbl_Time);
    lapCnt_.Render(p.Lbl_LapCnt);
    bestLap_.Render(p.Lbl_BestLapTime);
    aveLap_.Render(p.Lbl_AveLapTime);
    yosoSyu_.Render(p.Lbl_YosoSyu);
    ip_.Render(p.Lbl_IP);
    clientNoSet2_.Render(p.Btn_ClientNoSet2);
    clsCar_.Render(p.Btn_ClsCar);
    runStop_.Render(p.Btn_RunStop);
    lapChg_.Render(p.Btn_LapChg);
    carStatus_.Render(p.Lbl_CarStatus);
    driverInfo_.Render(p.Frm_DriverInfo);
    driver_.Render(p.Cmb_Driver);
    car_.Render(p.Cmb_Car);
    nenpi_.Render(p.Txt_Nenpi);
    gas_.Render(p.Meter_Gas);
    inGasl_.Render(p.Txt_InGasl);
    kyuyu_.Render(p.Btn_Kyuyu);
    zanGas_.Render(p.Lbl_ZanGas);
    allGas_.Render(p.Lbl_AllGas);
    tank_.Render(p.Lbl_Tank);
    zanRunCnt_.Render(p.Txt_ZanRunCnt);
    autoMess1_.Render(p.Lbl_AutoMess1);
    chgCnter_.Render(p.Chk_ChgCnter);
    autoMess2_.Render(p.Lbl_AutoMess2);
    outMess_.Render(p.Txt_OutMess);
    inMess_.Render(p.Lbl_InMess);
    drvrBest_.Render(p.Lbl_DrvrBestLapTime);
    drvrAve_.Render(p.Lbl_DrvrAveLapTime);
    stint_.Render(p.Lbl_Stint);
    changeDue_.Render(p.Lbl_ChangeDue);
    ruleNote_.Render(p.Lbl_RuleNote);
    driverInfoBtn_.Render(p.Btn_DriverInfo);
    driverLap_.Render(p.Frm_DriverLap);
    driverGrid_->Render(p.Spd_DriverInfo);
    stintGrid_->Render(p.Spd_Stints);
    lapGrid_->Render(p.Spd_LapTime);
}

}  // namespace velmora
