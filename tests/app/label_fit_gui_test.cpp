// Lap and clock captions that outgrow their design width shrink to stay readable, and come
// back to the design size when they are short again.
#include <QLabel>

#include "gui_rig.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;

class LabelFitTest : public ConsoleRig {
  protected:
    bool Fits(QLabel* l) {
        return QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->contentsRect().width();
    }
};

TEST_F(LabelFitTest, LongLapAndClockCaptionsFitTheirLabels) {
    PanelState& p = C().st.panels[0];
    MainFrameState& m = C().st.main;
    struct Case {
        const char* name;
        Label* label;
        const char* text;
    } cases[] = {
        {"Lbl_BestLapTime_0", &p.Lbl_BestLapTime, "123周目 12'34\"567"},
        {"Lbl_AveLapTime_0", &p.Lbl_AveLapTime, "12'34\"567"},
        {"Lbl_YosoSyu_0", &p.Lbl_YosoSyu, "あと2050周"},
        {"Lbl_DrvrBestLapTime_0", &p.Lbl_DrvrBestLapTime, "12'34\"567-123L"},
        {"Lbl_StTime", &m.Lbl_StTime, "Start時間 20:38"},
        {"Lbl_SysTime", &m.Lbl_SysTime, "pm 08:38:46"},
    };
    for (const Case& k : cases) k.label->caption = k.text;
    app_->renderNow();
    for (const Case& k : cases) {
        auto* l = Find<QLabel>(k.name);
        ASSERT_NE(l, nullptr) << k.name;
        EXPECT_EQ(l->text().toStdString(), k.text);
        EXPECT_TRUE(Fits(l)) << k.name << " at " << l->font().pointSize() << " pt";
    }

    auto* best = Find<QLabel>("Lbl_BestLapTime_0");
    const int shrunk = best->font().pointSize();
    p.Lbl_BestLapTime.caption = "-";
    app_->renderNow();
    EXPECT_GT(best->font().pointSize(), shrunk);
    EXPECT_EQ(best->font().pointSize(), Find<QLabel>("Lbl_LapCnt_0")->font().pointSize());
}

}  // namespace
}  // namespace velmora
