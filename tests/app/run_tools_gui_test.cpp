// The crew's run tools through the window: lap correction with Btn_LapChg, the spot stopwatch
// during a run, and the results file written through Btn_Write.
#include <QFileInfo>
#include <QLabel>
#include <optional>

#include "core/time_format.h"
#include "core/window_state.h"
#include "gui_rig.h"
#include "results/results_file.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;
using gui_test::FileBytes;
using gui_test::WriteCp932;

class RunToolsTest : public ConsoleRig {
  protected:
    void PrepareFolder() override {
        ASSERT_TRUE(WriteCp932(dir_.filePath("Car.ini"), "スイフト,山田,40,12.5\r\n"));
    }

    void SetUpSlot(int i) {
        app_->dialogs().pushInputAnswer("127.0.0.1");
        Click(SlotControlName("Btn_ClientNoSet", i));
    }

    // Slot 0 on lap `laps`, every row timed, as after a run.
    void LapsRecorded(int laps) {
        Change([laps](Console& c) {
            c.st.runners[0].LapCount = laps;
            c.st.runners[0].LinkFlag = "N";
            c.st.runners[0].AwayFlag = false;
            Grid& g = c.st.panels[0].Spd_LapTime;
            g.SetRowCount(laps);
            for (int r = 1; r <= laps; ++r) g.SetCell(r, 1, "1'0" + std::to_string(r) + "\"000");
            c.st.panels[0].Lbl_LapCnt.caption = std::to_string(laps) + "周目";
        });
    }
};

TEST_F(RunToolsTest, LapCorrectionCutsOrExtendsTheGridAsAnswered) {
    SetUpSlot(0);
    struct Case {
        const char* answer;
        std::optional<MessageAnswer> confirm;  // the question is asked only when cutting back
        int rows;
        bool corrected;
    } cases[] = {
        {"5", MessageAnswer::Yes, 5, true},   {"5", MessageAnswer::No, 8, false},
        {"10", std::nullopt, 10, true},       {"8", std::nullopt, 8, false},
        {"", std::nullopt, 8, false},         {"-3", std::nullopt, 8, false},
        {"4.5", MessageAnswer::Yes, 4, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string("answer '") + k.answer + "'");
        LapsRecorded(8);
        app_->dialogs().clearRequests();
        app_->dialogs().pushInputAnswer(k.answer);
        if (k.confirm) app_->dialogs().pushMessageAnswer(*k.confirm);
        Click("Btn_LapChg_0");

        const auto& asked = app_->dialogs().requests();
        ASSERT_GE(asked.size(), 1u);
        EXPECT_EQ(asked[0].text, "今何周目ですか？");
        EXPECT_EQ(asked[0].title, "Ｌａｐ修正");
        EXPECT_EQ(asked[0].detail, "8");
        ASSERT_EQ(asked.size(), k.confirm ? 2u : 1u);
        if (k.confirm) {
            EXPECT_EQ(asked[1].title, "Ｌａｐ値確認");
            EXPECT_EQ(asked[1].buttons, MessageButtons::YesNo);
            EXPECT_EQ(asked[1].icon, MessageIcon::Critical);
            EXPECT_TRUE(asked[1].text.starts_with("測定された"));
            EXPECT_TRUE(
                asked[1].text.ends_with("周値以降のＬＡＰ内容が削除されます。よろしいですか？"));
        }
        auto* grid = Find<QTableView>("Spd_LapTime_0");
        EXPECT_EQ(grid->model()->rowCount(), k.rows);
        EXPECT_EQ(Find<QLabel>("Lbl_LapCnt_0")->text(), QString("%1周目").arg(k.rows));
        EXPECT_EQ(C().st.runners[0].LinkFlag, k.corrected ? "C" : "N");
        EXPECT_EQ(C().st.runners[0].AwayFlag, k.corrected);
        if (k.corrected) {
            EXPECT_EQ(grid->currentIndex().row(), k.rows - 1);
            EXPECT_EQ(grid->currentIndex().column(), 0);
            // Rows kept keep their times; added rows are empty.
            EXPECT_EQ(CellText("Spd_LapTime_0", 1, 1), "1'01\"000");
            if (k.rows > 8) {
                EXPECT_EQ(CellText("Spd_LapTime_0", k.rows, 1), "");
            }
        }
    }
}

TEST_F(RunToolsTest, ARefusedLapTimeEditRestoresThatCellsOwnText) {
    SetUpSlot(0);
    LapsRecorded(3);  // 1'01"000, 1'02"000, 1'03"000
    // A good edit on row 1, then a bad one on row 2: row 2 gets its own text back, never the
    // text of the cell visited before.
    TypeCell("Spd_LapTime_0", 1, 1, "1'00\"500");
    app_->dialogs().clearRequests();
    TypeCell("Spd_LapTime_0", 2, 1, "1:02.000");
    ASSERT_EQ(app_->dialogs().requests().size(), 1u);
    EXPECT_EQ(app_->dialogs().requests()[0].text, "入力が不正です。");
    EXPECT_EQ(CellText("Spd_LapTime_0", 2, 1), QString("1'02\"000"));
    EXPECT_EQ(C().st.panels[0].Spd_LapTime.Cell(2, 1), "1'02\"000");
    EXPECT_EQ(CellText("Spd_LapTime_0", 1, 1), QString("1'00\"500"));
    // Clicking into another cell between the edits changes nothing.
    auto* view = Find<QTableView>("Spd_LapTime_0");
    view->setCurrentIndex(view->model()->index(0, 0));
    TypeCell("Spd_LapTime_0", 3, 1, "abc");
    EXPECT_EQ(CellText("Spd_LapTime_0", 3, 1), QString("1'03\"000"));
}

TEST_F(RunToolsTest, CutBackQuestionNamesTheLapInFullWidth) {
    SetUpSlot(0);
    LapsRecorded(12);
    app_->dialogs().clearRequests();
    app_->dialogs().pushInputAnswer("10");
    app_->dialogs().pushMessageAnswer(MessageAnswer::No);
    Click("Btn_LapChg_0");
    ASSERT_EQ(app_->dialogs().requests().size(), 2u);
    EXPECT_EQ(app_->dialogs().requests()[1].text,
              "測定された１０周値以降のＬＡＰ内容が削除されます。よろしいですか？");
}

TEST_F(RunToolsTest, StopwatchRunsOnlyWithTheMeasurementAndShowsItsSpan) {
    auto* button = Find<QPushButton>("Btn_OtherLap");
    auto* shown = Find<QLabel>("Lbl_OtherLap");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(shown->text(), "0'00\"000");

    SetUpSlot(0);
    Click("Btn_Start");
    ASSERT_TRUE(C().st.Measuring());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), "Start");

    Click("Btn_OtherLap");
    EXPECT_EQ(button->text(), "Stop");
    EXPECT_EQ(shown->text(), "0'00\"000");  // not cleared; the next refresh shows the time
    Click("Btn_OtherLap");
    EXPECT_EQ(button->text(), "Start");
    const std::int32_t span = C().st.SpotStopTick - C().st.SpotStartTick;
    EXPECT_GE(span, 0);
    EXPECT_EQ(shown->text().toStdString(), FormatLapTime(span, C().clock));

    // Left running across the stop of the measurement: disabled, still running.
    Click("Btn_OtherLap");
    app_->dialogs().pushMessageAnswer(MessageAnswer::Yes);
    Click("Btn_Start");
    ASSERT_FALSE(C().st.Measuring());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->text(), "Stop");
}

class ResultsFileTest : public RunToolsTest {
  protected:
    // Slots 0 and 2 set up (slot 1 not), the event typed, a car chosen for slot 0, and lap
    // and driver grids as a run leaves them.
    void KnownState() {
        SetUpSlot(0);
        SetUpSlot(2);
        auto type = [this](const char* name, const char* text) {
            auto* e = Find<QLineEdit>(name);
            ASSERT_NE(e, nullptr) << name;
            e->selectAll();
            QTest::keyClicks(e, text);
        };
        type("Txt_Event", "Enduro 6h");
        type("Txt_Date", "2024/5/6");
        type("Txt_Kion", "21");
        auto* tenki = Find<QComboBox>("Cmb_Tenki");
        ASSERT_GE(tenki->findText("曇"), 0);
        emit tenki->activated(tenki->findText("曇"));
        auto* car = Find<QComboBox>("Cmb_Car_0");
        ASSERT_EQ(car->count(), 1);
        emit car->activated(0);

        Change([](Console& c) {
            Grid& laps = c.st.panels[0].Spd_LapTime;
            laps.SetRowCount(4);
            const char* rows[4][4] = {{"1'23\"456", "山田", "", "ＢＯＸ, 了解"},
                                      {"  ", "山田", "", ", "},  // blanks only: not a lap
                                      {"1'20\"000", "山田", "給油", " , "},
                                      {"", "", "", ""}};  // the lap still open
            for (int r = 0; r < 4; ++r) {
                laps.SetCell(r + 1, 1, rows[r][0]);
                laps.SetCell(r + 1, 2, rows[r][1]);
                laps.SetCell(r + 1, 3, rows[r][2]);
                laps.SetCell(r + 1, 5, rows[r][3]);
            }
            Grid& drivers = c.st.panels[0].Spd_DriverInfo;
            drivers.SetRowCount(2);
            drivers.SetCell(1, 1, "山田");
            drivers.SetCell(1, 2, "1'20\"000");
            drivers.SetCell(1, 3, "1'21\"728");
        });
    }
};

TEST_F(ResultsFileTest, WriteButtonSavesTheReportByteForByteInCp932) {
    KnownState();
    const QString path = dir_.filePath("result.txt");
    ASSERT_TRUE(WriteCp932(path, "an older report that is much longer than nothing\r\n"));
    app_->dialogs().clearRequests();
    app_->dialogs().pushSaveAnswer(path.toStdString());
    Click("Btn_Write");

    ASSERT_EQ(app_->dialogs().requests().size(), 1u);
    EXPECT_EQ(app_->dialogs().requests()[0].kind, QtDialogs::Kind::Save);
    EXPECT_EQ(app_->dialogs().requests()[0].text, "ファイル書込");
    EXPECT_EQ(app_->dialogs().requests()[0].detail,
              "テキストデータ (*.txt)|*.txt|全てのファイル (*.*)|*.*");
    const std::string dashes(40, '-');
    const std::string expected =
        "イベント名:Enduro 6h\r\n"
        "日付:2024/5/6\r\n"
        "天気:曇\r\n"
        "気温:21\r\n"
        "\r\n" +
        dashes + "\r\n１号車\r\n車輌名:スイフト\r\n" + dashes +
        "\r\n"
        "1,1'23\"456,山田,,ＢＯＸ, 了解\r\n"
        "3,1'20\"000,山田,給油, , \r\n" +
        dashes + "\r\n個人集計\r\n" + dashes +
        "\r\n"
        "山田,1'20\"000,1'21\"728\r\n"
        ",,\r\n" +
        dashes + "\r\n３号車\r\n車輌名:\r\n" + dashes + "\r\n" + dashes + "\r\n個人集計\r\n" +
        dashes + "\r\n";
    EXPECT_EQ(FileBytes(path), Utf8ToCp932(expected));
}

TEST_F(ResultsFileTest, CancelWritesNothingAndAFailureIsToldWithThePath) {
    KnownState();
    struct Case {
        std::string answer;
        bool told;
    } cases[] = {{"", false}, {dir_.filePath("missing/result.txt").toStdString(), true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.answer);
        app_->dialogs().clearRequests();
        app_->dialogs().pushSaveAnswer(k.answer);
        Click("Btn_Write");
        const auto& asked = app_->dialogs().requests();
        ASSERT_EQ(asked.size(), k.told ? 2u : 1u);
        if (k.told) {
            EXPECT_EQ(asked[1].kind, QtDialogs::Kind::Message);
            EXPECT_TRUE(asked[1].text.starts_with("走行結果を書き込めませんでした。"));
            EXPECT_NE(asked[1].text.find(k.answer), std::string::npos);
        }
        EXPECT_FALSE(QFileInfo::exists(dir_.filePath("missing")));
    }
    EXPECT_TRUE(Find<QPushButton>("Btn_Write")->isEnabled());
}

}  // namespace
}  // namespace velmora
