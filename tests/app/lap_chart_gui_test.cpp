// The race analysis through the window: the lap chart opened during a run follows a lap the
// car link records, the panel shows the stint and the pop-up the driving time, and the CSV
// export is written through Btn_Export.
#include <QChartView>
#include <QHostAddress>
#include <QLineSeries>
#include <QScatterSeries>
#include <QUdpSocket>

#include "analysis/lap_export.h"
#include "app/lap_chart_window.h"
#include "core/window_state.h"
#include "gui_rig.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;
using gui_test::FileBytes;
using gui_test::WriteCp932;

class LapChartTest : public ConsoleRig {
  protected:
    void PrepareFolder() override {
        // A one-second silence, so a lap opens quickly.
        ASSERT_TRUE(WriteCp932(dir_.filePath("Velmora.ini"),
                               "[計測環境設定]\r\n計測精度=1/1000\r\nラップ加算無通信秒数= 1\r\n"));
        ASSERT_TRUE(WriteCp932(dir_.filePath("Car.ini"), "スイフト,山田,40,12.5\r\n"));
        ASSERT_TRUE(WriteCp932(dir_.filePath("Drivers.ini"), "山田,全車\r\n"));
    }

    // Slot 0 set up with its car and driver chosen, as the crew does before Start.
    void SetUpSlot0() {
        app_->dialogs().pushInputAnswer("127.0.0.1");
        Click("Btn_ClientNoSet_0");
        for (const char* name : {"Cmb_Car_0", "Cmb_Driver_0"}) {
            auto* box = Find<QComboBox>(name);
            ASSERT_NE(box, nullptr) << name;
            ASSERT_GE(box->count(), 1) << name;
            box->setCurrentIndex(0);
            emit box->activated(0);
        }
    }

    // The car of slot 0 sends one datagram with lap echo `echo`.
    void CarSends(const char* echo) {
        ASSERT_EQ(car_.writeDatagram(QByteArray(echo), QHostAddress(QHostAddress::LocalHost), 7011),
                  static_cast<qint64>(std::strlen(echo)));
    }

    QXYSeries* Series(const QString& name) {
        LapChartWindow* w = w_->lapChart();
        return w ? w->series(name) : nullptr;
    }

    QUdpSocket car_;
};

TEST_F(LapChartTest, TheChartOpenedDuringARunShowsTheLapTheCarJustCompleted) {
    SetUpSlot0();
    ASSERT_TRUE(car_.bind(QHostAddress(QHostAddress::LocalHost), 7012));
    Click("Btn_Start");
    ASSERT_TRUE(C().st.Measuring());

    EXPECT_EQ(Find<QPushButton>("Btn_LapChart")->text(), "ラップチャート");
    Click("Btn_LapChart");
    LapChartWindow* chart = w_->lapChart();
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(chart->isWindow());
    EXPECT_EQ(chart->windowTitle(), "ラップチャート");
    ASSERT_NE(chart->findChild<QChartView*>("Chart_LapTime"), nullptr);
    QXYSeries* line = Series("Line_0");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->count(), 0);
    EXPECT_EQ(Series("Line_1"), nullptr);  // slot 1 is not set up

    // In range, then silent past the one-second silence: the console opens lap 1; the car's
    // next datagram still echoes 0 and closes it.
    CarSends("000");
    QTRY_COMPARE_WITH_TIMEOUT(C().st.runners[0].LapCount, 1, 5000);
    CarSends("000");
    QTRY_VERIFY_WITH_TIMEOUT(!C().st.panels[0].Spd_LapTime.Cell(1, 4).empty(), 5000);
    const double ticks = std::stod(C().st.panels[0].Spd_LapTime.Cell(1, 4));

    QTRY_COMPARE_WITH_TIMEOUT(line->count(), 1, 5000);
    EXPECT_EQ(line->at(0), QPointF(1, ticks));
    QXYSeries* points = Series("Points_0_0");
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(points->name(), "山田");
    EXPECT_EQ(points->count(), 1);
    QXYSeries* best = Series("Best_0");
    ASSERT_NE(best, nullptr);
    ASSERT_EQ(best->count(), 1);
    EXPECT_EQ(best->at(0), QPointF(1, ticks));

    // The panel's stint and the driver pop-up follow the same lap.
    EXPECT_EQ(Find<QLabel>("Lbl_Stint_0")->text(), "連続1周 0分");
    EXPECT_EQ(CellText("Spd_DriverInfo_0", 1, 1), "山田");
    EXPECT_EQ(CellText("Spd_DriverInfo_0", 1, 4), "1");

    // Closed and opened again: the same window, drawn again.
    chart->close();
    Click("Btn_LapChart");
    EXPECT_EQ(w_->lapChart(), chart);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_EQ(Series("Line_0")->count(), 1);
}

TEST_F(LapChartTest, ANewDriverOnOneCarLeavesTheOtherCarsMarkers) {
    // Car 1 driven by A, car 3 by B: one lap each.
    auto lap = [this](int slot, int row, const char* driver, const char* ticks) {
        Change([=](Console& c) {
            PanelState& p = c.st.panels[slot];
            p.Lbl_IP.caption = "127.0.0.1";
            p.Spd_LapTime.SetRowCount(row);
            p.Spd_LapTime.SetCell(row, 2, driver);
            p.Spd_LapTime.SetCell(row, 4, ticks);
        });
    };
    lap(0, 1, "A", "61000");
    lap(2, 1, "B", "62000");
    app_->renderNow();
    Click("Btn_LapChart");
    QXYSeries* b = Series("Points_2_1");
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->count(), 1);
    const QColor colour = b->color();

    // Car 1's next lap is C's, who comes before B when the drivers are listed car by car; only
    // car 1 is drawn again.
    lap(0, 2, "C", "63000");
    w_->lapChart()->RedrawNow();
    ASSERT_EQ(Series("Points_2_1"), b);
    EXPECT_EQ(b->count(), 1);
    EXPECT_EQ(b->name(), "B");
    EXPECT_EQ(b->color(), colour);
    ASSERT_NE(Series("Points_0_2"), nullptr);
    EXPECT_EQ(Series("Points_0_2")->name(), "C");
    EXPECT_EQ(Series("Points_0_2")->count(), 1);
}

TEST_F(LapChartTest, ExportWritesTheFileDuringARunAndBothButtonsWaitForAnOpenEditor) {
    SetUpSlot0();
    Click("Btn_Start");
    // Two laps as the link records them, then an edited lap time and a correction: the pop-up
    // and the stint follow each at once.
    Change([](Console& c) {
        Grid& g = c.st.panels[0].Spd_LapTime;
        g.SetRowCount(2);
        for (int row : {1, 2}) {
            g.SetCell(row, 1, "1'01\"000");
            g.SetCell(row, 2, "山田");
            g.SetCell(row, 4, "61000");
        }
        c.st.runners[0].LapCount = 2;
    });
    EXPECT_EQ(CellText("Spd_DriverInfo_0", 1, 4), "2");
    EXPECT_EQ(CellText("Spd_DriverInfo_0", 1, 5), "0:02:02");
    TypeCell("Spd_LapTime_0", 1, 1, "2'00\"000");
    EXPECT_EQ(CellText("Spd_DriverInfo_0", 1, 5), "0:03:01");
    EXPECT_EQ(Find<QLabel>("Lbl_Stint_0")->text(), "連続2周 3分");
    app_->dialogs().pushInputAnswer("1");
    app_->dialogs().pushMessageAnswer(MessageAnswer::Yes);
    Click("Btn_LapChg_0");
    EXPECT_EQ(CellText("Spd_DriverInfo_0", 1, 4), "1");
    EXPECT_EQ(CellText("Spd_DriverInfo_0", 1, 5), "0:02:00");
    EXPECT_EQ(Find<QLabel>("Lbl_Stint_0")->text(), "連続1周 2分");

    EXPECT_EQ(Find<QPushButton>("Btn_Export")->text(), "CSV出力");
    const QString path = dir_.filePath("laps.csv");
    app_->dialogs().pushSaveAnswer(path.toStdString());
    Click("Btn_Export");
    const std::string bytes = FileBytes(path);
    EXPECT_EQ(bytes, BuildLapExportText(C().st, C().clock));
    EXPECT_NE(bytes.find("１号車,スイフト,1,\"2'00\"\"000\",120000,山田,"), std::string::npos);
    ASSERT_FALSE(app_->dialogs().requests().empty());
    EXPECT_EQ(app_->dialogs().requests().back().text, "CSV出力");

    // Stopped: both still work. With the settings dialog open: both wait.
    app_->dialogs().pushMessageAnswer(MessageAnswer::Yes);
    Click("Btn_Start");
    ASSERT_FALSE(C().st.Measuring());
    EXPECT_TRUE(Find<QPushButton>("Btn_LapChart")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("Btn_Export")->isEnabled());
    Click("Btn_Mess");
    EXPECT_FALSE(Find<QPushButton>("Btn_LapChart")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("Btn_Export")->isEnabled());
}

}  // namespace
}  // namespace velmora
