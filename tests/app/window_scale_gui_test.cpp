// The window scales: it opens at the twips size, and a resize scales every control's place
// and font by one factor, letterboxed; captions keep the room their longest figures need at
// every scale, never shrinking below the normal text size; the scale comes back next time.
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <cmath>

#include "analysis/rule_table.h"
#include "app/fit_label.h"
#include "app/twips.h"
#include "core/window_scale.h"
#include "gui_rig.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;
using gui_test::FileBytes;

QRect TwipsAt(int x, int y, int w, int h, double s) {
    auto px = [s](int t) { return static_cast<int>(std::lround(t * s / kTwipsPerPixel)); };
    return QRect(px(x), px(y), px(x + w) - px(x), px(y + h) - px(y));
}

class WindowScaleTest : public ConsoleRig {
  protected:
    // As the crew would drag it: a plain resize to the size of that scale.
    void Scale(double s) {
        w_->resize(MainWindow::SizeAtScale(s));
        ASSERT_NEAR(w_->scale(), s, 0.002);
    }
    // The text's own width fits the label (with a pixel for rounding at odd scales), in the
    // font it is drawn in.
    static bool Fits(const QLabel* l) {
        const auto* fit = qobject_cast<const FitLabel*>(l);
        const QFont f = fit ? fit->FittedFont() : l->font();
        return QFontMetrics(f).horizontalAdvance(l->text()) <= l->contentsRect().width();
    }
    // Where the label's text starts and ends, in canvas coordinates.
    std::pair<int, int> TextSpan(const QLabel* l) {
        const int textW = QFontMetrics(l->font()).horizontalAdvance(l->text());
        const QRect r = l->contentsRect();
        int left = r.left();
        if (l->alignment() & Qt::AlignHCenter) left += (r.width() - textW) / 2;
        if (l->alignment() & Qt::AlignRight) left += r.width() - textW;
        const int x = l->mapTo(w_->canvas(), QPoint(left, 0)).x();
        return {x, x + textW};
    }
    QLabel* StaticText(const QString& text, QWidget* in) {
        for (QLabel* l : in->findChildren<QLabel*>())
            if (l->objectName().isEmpty() && l->text() == text) return l;
        return nullptr;
    }
};

TEST_F(WindowScaleTest, OpensAtTheTwipsSizeAndAResizeScalesPlacesFontsAndGrids) {
    EXPECT_EQ(w_->size(), QSize(680, 704));
    EXPECT_EQ(w_->size(), MainWindow::DesignSize());
    EXPECT_LT(w_->minimumSize().width(), 680);  // resizable, not fixed
    auto* lapCnt = Find<QLabel>("Lbl_LapCnt_0");
    auto* time = Find<QLabel>("Lbl_Time_0");
    auto* tank = Find<QLabel>("Lbl_Tank_0");
    auto* grid = Find<QTableView>("Spd_LapTime_0");
    EXPECT_DOUBLE_EQ(lapCnt->font().pointSizeF(), 9);
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();

    struct Case {
        double scale;
    } cases[] = {{1.5}, {2.25}, {1.0}, {0.8}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.scale);
        w_->ResizeToScale(k.scale);
        EXPECT_EQ(w_->scale(), k.scale);
        EXPECT_EQ(w_->size(), MainWindow::SizeAtScale(k.scale));
        EXPECT_EQ(w_->canvas()->geometry(), QRect(QPoint(0, 0), w_->size()));
        EXPECT_NEAR(lapCnt->font().pointSizeF(), 9 * k.scale, 1e-9);
        EXPECT_NEAR(time->font().pointSizeF(), 14 * k.scale, 1e-9);  // its own design size
        EXPECT_NEAR(tank->font().pointSizeF(), 8 * k.scale, 1e-9);   // driver information
        EXPECT_EQ(lapCnt->geometry(), TwipsAt(2130, 45, 870, 285, k.scale));
        EXPECT_EQ(Find<QWidget>("Frm_Runner_2")->geometry(),
                  TwipsAt(5115, 5295, 5055, 5235, k.scale));
        EXPECT_EQ(grid->columnWidth(0), static_cast<int>(std::lround(90 * k.scale)));
        EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(),
                  static_cast<int>(std::lround(rowHeight * k.scale)));
        EXPECT_NEAR(grid->horizontalHeader()->font().pointSizeF() / grid->font().pointSizeF(), 1.0,
                    0.25);
    }

    // A window of other proportions keeps those of the layout, with bars on two sides.
    w_->resize(1400, 800);
    const double s = 800.0 / 704;
    EXPECT_NEAR(w_->scale(), s, 1e-9);
    const QRect canvas = w_->canvas()->geometry();
    EXPECT_EQ(canvas.top(), 0);
    EXPECT_EQ(canvas.height(), 800);
    EXPECT_NEAR(canvas.width(), 680 * s, 1);
    EXPECT_NEAR(canvas.left(), (1400 - 680 * s) / 2, 1);
}

TEST_F(WindowScaleTest, LongFiguresFitAtEveryScaleWithoutShrinkingBelowTheNormalSize) {
    app_->dialogs().pushInputAnswer("192.168.100.200");
    Click("Btn_ClientNoSet_0");
    Change([](Console& c) {
        PanelState& p = c.st.panels[0];
        MainFrameState& m = c.st.main;
        struct Caption {
            Label* label;
            const char* text;
        } captions[] = {
            {&p.Lbl_BestLapTime, "1234周目 1'23\"456"},
            {&p.Lbl_AveLapTime, "12'34\"567"},
            {&p.Lbl_YosoSyu, "あと2050周"},
            {&p.Lbl_LapCnt, "1234周目"},
            {&p.Lbl_Time, "12'34\"567"},
            {&p.Lbl_CarStatus, "無通信 23:59:59"},
            {&p.Lbl_DrvrBestLapTime, "12'34\"567-123L"},
            {&p.Lbl_DrvrAveLapTime, "12'34\"567"},
            {&m.Lbl_StTime, "Start時間 20:38"},
            {&m.Lbl_SysTime, "pm 08:38:46"},
            {&m.ranking[0].Lbl_BestTime, "12'34\"567"},
            {&m.ranking[0].Lbl_BestLAP, "1234"},
            {&m.ranking[0].Lbl_Sort_LAP, "1234"},
            {&p.Lbl_ChangeDue, "交代時間超過 125分"},
        };
        for (const Caption& k : captions) k.label->caption = k.text;
        // The rule line with every part at its widest: a 1:59 stop too short, 12 breaches of
        // 3 laps, 59 minutes to the earliest change, 13 changes and stops owed.
        RuleReport r;
        r.stints = {{"A", 1, 20, 20, 0, 0, 0, 0, true}};
        r.stops = {{20, 0, 119'000, 119'000, false, true}};
        r.breaches.assign(12, Breach{BreachKind::StopTooShort, 20, 0, "", 0, 0, false});
        r.penaltyLaps = 36;
        r.live.earliestChangeMs = 59 * 60'000;
        r.live.changesOwed = r.live.stopsOwed = 13;
        DrivingRules rules;
        rules.minStintMs = 60 * 60'000;
        p.Lbl_RuleNote.caption = PanelOf(r, rules, 0).note;
    });
    ASSERT_EQ(Find<QLabel>("Lbl_RuleNote_0")->text().toStdString(),
              "停止不足1:59 違反12件(36周) 交代可まで59分 要交代13・停止13");

    for (double wanted : {1.0, 1.37, 1.5, 2.0, 3.1}) {
        SCOPED_TRACE(wanted);
        Scale(wanted);
        const double scale = w_->scale();
        // Every caption of the window, figures and design texts alike.
        int checked = 0;
        for (QLabel* l : w_->findChildren<QLabel*>()) {
            if (!l->isVisible() || l->text().isEmpty()) continue;
            ++checked;
            EXPECT_TRUE(Fits(l)) << l->objectName().toStdString() << " \""
                                 << l->text().toStdString() << "\"";
        }
        EXPECT_GT(checked, 45);
        // The figures keep the strip's normal size (9 pt at scale 1), never smaller.
        for (const char* name : {"Lbl_BestLapTime_0", "Lbl_AveLapTime_0", "Lbl_YosoSyu_0",
                                 "Lbl_LapCnt_0", "Lbl_CarStatus_0", "Lbl_StTime"})
            EXPECT_GE(Find<QLabel>(name)->font().pointSizeF(), 9 * scale - 1e-9) << name;
        // The rule line shrinks no further than it may.
        for (const char* name : {"Lbl_ChangeDue_0", "Lbl_RuleNote_0"}) {
            const auto* l = Find<FitLabel>(name);
            EXPECT_GE(l->FittedFont().pointSizeF(),
                      l->font().pointSizeF() * FitLabel::kMinShrink - 1e-9)
                << name;
            EXPECT_GT(l->FittedFont().pointSizeF(), 5.5 * scale) << name;
        }

        // 予想周数 and its value stand apart; so do the ranking headers.
        QWidget* strip = Find<QWidget>("Frm_LapInfo_0");
        const auto caption = TextSpan(StaticText("予想周数", strip));
        const auto value = TextSpan(Find<QLabel>("Lbl_YosoSyu_0"));
        EXPECT_GE(value.first - caption.second, static_cast<int>(3 * scale)) << "予想周数";
        QWidget* ranking = Find<QWidget>("Frm_Ranking");
        const auto bestLap = TextSpan(StaticText("BestLap", ranking));
        const auto bestTime = TextSpan(StaticText("BestTime", ranking));
        EXPECT_GE(bestTime.first - bestLap.second, static_cast<int>(6 * scale)) << "BestLap";
    }
}

TEST_F(WindowScaleTest, AnOpenOverlayStaysCentredWhenTheWindowIsResized) {
    Click("Btn_Car");
    auto* frame = Find<QWidget>("Frm_Car");
    ASSERT_TRUE(frame->isVisible());
    for (double wanted : {1.6, 1.1}) {
        Scale(wanted);
        const double scale = w_->scale();
        const QSize c = w_->canvas()->size();
        EXPECT_EQ(frame->x(), (c.width() - frame->width()) / 2) << scale;
        EXPECT_EQ(frame->y(), (c.height() - frame->height()) / 2) << scale;
        EXPECT_NEAR(frame->width(), 6945 * scale / 15, 1);
    }
}

TEST_F(WindowScaleTest, TheScaleIsKeptInVelmoraIniBesideTheSevenKeys) {
    const QString ini = dir_.filePath("Velmora.ini");
    const std::string firstRun = FileBytes(ini);
    ASSERT_FALSE(firstRun.empty());
    Scale(0.8);
    // Written a second after the last resize, or at once when the console ends.
    app_->dialogs().pushMessageAnswer(MessageAnswer::Yes);
    Click("Btn_End");
    EXPECT_EQ(FileBytes(ini), firstRun + Utf8ToCp932("[画面表示]\r\n表示倍率=0.80\r\n"));

    app_.reset();
    app_ = std::make_unique<ConsoleApp>(dir_.path());
    app_->dialogs().setNonInteractive(true);
    QSignalSpy shown(app_.get(), &ConsoleApp::mainWindowShown);
    app_->start(std::chrono::milliseconds(0));
    ASSERT_TRUE(shown.wait(5000));
    w_ = app_->mainWindow();
    EXPECT_NEAR(w_->scale(), 0.8, 1e-9);
    EXPECT_EQ(w_->size(), QSize(544, 563));
    EXPECT_NEAR(Find<QLabel>("Lbl_LapCnt_0")->font().pointSizeF(), 7.2, 1e-9);
}

}  // namespace
}  // namespace velmora
