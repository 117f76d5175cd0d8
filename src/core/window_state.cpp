#include "core/window_state.h"

#include "core/car_status.h"
#include "core/text_rules.h"
#include "core/time_format.h"

namespace velmora {

namespace {

void SetHeaders(Grid& grid, std::initializer_list<const char*> headers) {
    int col = 1;
    for (const char* h : headers) grid.SetCell(0, col++, h);
}

void DesignPanel(PanelState& p, int slot, const ClockParams& clock) {
    p.Frm_Runner.caption = CarLabel(slot);
    p.Frm_Runner.back = IdleColour;
    p.Btn_ClientNoSet.caption = "計測設定";

    SetSlotControls(p, false);

    p.Lbl_Time.caption = FormatLapTime(0, clock);
    p.Btn_ClientNoSet2.caption = "計測設定";
    p.Btn_ClsCar.caption = "設定消去";
    p.Btn_RunStop.caption = "計測中止";
    p.Btn_RunStop.enabled = false;  // nothing to stop before the first measurement
    p.Btn_LapChg.caption = "Lap修正";

    p.Lbl_Tank.caption = "999";
    p.Lbl_ZanGas.caption = "残999";
    p.Btn_Kyuyu.caption = "給油";
    p.Meter_Gas.value = 0;
    p.Meter_Gas.fore = Yellow;
    p.Txt_ZanRunCnt.text = "0";
    p.Txt_ZanRunCnt.enabled = false;
    p.Lbl_AutoMess1.caption = "周走行したらドライバ交代";
    p.Lbl_AutoMess1.fore = Grey;
    p.Lbl_AutoMess2.caption = "メッセージを自動送信する";
    p.Lbl_AutoMess2.fore = Grey;
    p.Lbl_InMess.back = RegisteredColour;
    p.Btn_DriverInfo.caption = "ドライバ情報";
    p.Frm_DriverInfo.caption = " ドライバ情報";
    p.Frm_DriverLap.visible = false;
}

}  // namespace

std::string SlotControlName(std::string_view control, int slot) {
    return std::string(control) + "_" + std::to_string(slot);
}

void SetSlotControls(PanelState& p, bool on) {
    // The idle panel's set-up button lies under the lap strip of a set-up panel: hidden
    // there, it can be reached neither by the mouse nor by Tab.
    p.Btn_ClientNoSet.visible = !on;
    p.Cmb_Car.enabled = on;
    p.Cmb_Driver.enabled = on;
    p.Txt_OutMess.enabled = on;
    p.Spd_LapTime.enabled = on;
    p.Btn_LapChg.enabled = on;
    p.Frm_LapInfo.visible = on;
    p.Frm_DriverInfo.visible = on;
    p.Spd_LapTime.visible = on;
    p.Lbl_ChangeDue.visible = on;
    p.Lbl_RuleNote.visible = on;
}

void ApplyDesignState(Console& console) {
    ConsoleState& st = console.st;
    MainFrameState& m = st.main;
    m.Txt_Date.text = "yyyy/mm/dd";
    m.Txt_Kion.text = "xx";
    m.Cmb_Tenki.Clear();
    for (const char* w : {"晴", "曇", "雨", "雪"}) m.Cmb_Tenki.AddItem(w);
    for (int r = 0; r < kPanelCount; ++r) m.ranking[r].Lbl_Jyuni.caption = FullWidthNumber(r + 1);
    m.Btn_Cource.caption = "コース名編集";
    m.Btn_Drivers.caption = "ドライバ編集";
    m.Btn_Car.caption = "車輌情報編集";
    m.Btn_Mess.caption = "環境設定";
    m.Btn_LapChart.caption = "ラップチャート";
    m.Btn_Export.caption = "CSV出力";
    m.Btn_Rules.caption = "走行規則";
    m.Lbl_OtherLap.caption = FormatLapTime(0, console.clock);
    m.Btn_OtherLap.caption = "Start";
    m.Btn_OtherLap.enabled = false;  // the stopwatch runs on the measurement's clock
    m.Txt_RunH.text = "0";
    m.Txt_RunN.text = "0";
    m.Lbl_ZanTime.caption = "残り 約00:00:00";
    m.Lbl_ZanTime.fore = Red;
    m.Lbl_ZanTime.back = Black;
    m.Lbl_SysTime.caption = "am 00:00:00";
    m.Lbl_LocalIP.caption = "IP : ";
    m.Btn_Start.caption = "Start";
    m.Btn_Write.caption = "走行結果";
    m.Btn_End.caption = "End";

    for (int i = 0; i < kPanelCount; ++i) DesignPanel(st.panels[i], i, console.clock);

    st.Frm_Mess.frame.caption = "環境設定";
    st.Frm_Mess.grid.SetRowCount(7);
    st.Frm_Mess.ok.caption = "登録";
    st.Frm_Mess.cancel.caption = "Cancel";
    const char* messCaptions[] = {"計測精度",
                                  "ラップ加算無通信秒数 (1～99)",
                                  "残り３周の自動メッセージ",
                                  "残り２周の自動メッセージ",
                                  "残り１周の自動メッセージ",
                                  "残りが無くなった時の自動メッセージ",
                                  "自動メッセージチェック時のデフォルト周数"};
    for (int r = 1; r <= 7; ++r) st.Frm_Mess.grid.SetCell(r, 1, messCaptions[r - 1]);

    st.Frm_Car.frame.caption = "車輌情報編集";
    st.Frm_Course.frame.caption = "コース情報編集";
    st.Frm_Drivers.frame.caption = "ドライバ編集";
    for (OverlayState* o : {&st.Frm_Car, &st.Frm_Course, &st.Frm_Drivers}) {
        o->ok.caption = "登録";
        o->cancel.caption = "Cancel";
        o->grid.SetRowCount(50);
    }
}

void MainWindowStartupState(Console& console) {
    ConsoleState& st = console.st;
    st.main.Lbl_LocalIP.caption = "IP : " + console.svc.net.LocalAddress();
    for (int i = 0; i < kPanelCount; ++i) {
        PanelState& p = st.panels[i];
        p.Frm_Runner.caption = CarLabel(i);
        st.runners[i].LinkFlag = "N";
        p.Lbl_IP.caption.clear();
        SetHeaders(p.Spd_LapTime, {"タイム", "ドライバ", "備考"});
        p.Spd_LapTime.SetRowCount(0);
        p.Lbl_Time.caption = FormatLapTime(0, console.clock);
        SetHeaders(p.Spd_DriverInfo, {"ドライバ", "Best Lap", "Ave Lap", "周回", "走行時間"});
        p.Spd_DriverInfo.SetRowCount(0);
        SetHeaders(p.Spd_Stints, {"区分", "ドライバ", "周", "開始", "時間", "備考"});
        p.Spd_Stints.SetRowCount(0);
    }
    ShowAllCarStatus(console);
    st.main.Txt_Date.text = FormatShortDate(console.svc.wall.Now());
    st.main.Btn_Write.caption = "走行結果\r保存";
    SetHeaders(st.Frm_Drivers.grid, {"ドライバ名", "対象車", " "});
    SetHeaders(st.Frm_Course.grid, {"コース名", "全長(単位m)", " "});
    SetHeaders(st.Frm_Car.grid, {"車輌名", "所有者", "タンク容量", "平均燃費(Km/l)", " "});
}

}  // namespace velmora
