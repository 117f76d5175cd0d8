// The overlays driven through their widgets: the three master editors (typing rows, OK,
// Cancel, the delete-button cells) and the environment settings dialog (refusal, accepted
// precision change, the settings file rewritten).
#include "gui_rig.h"

#include "pit/settings_dialog.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;
using gui_test::FileBytes;

class OverlaysTest : public ConsoleRig {};

TEST_F(OverlaysTest, CarTypedIntoTheEditorIsSavedInCp932AndOfferedInEveryPanel) {
    Click("Btn_Car");
    TypeCell("Spd_Car", 1, 1, "スイフト");
    TypeCell("Spd_Car", 1, 2, "山田");
    TypeCell("Spd_Car", 1, 3, "40");
    TypeCell("Spd_Car", 1, 4, "12.50");
    // A row without a name is not a car.
    TypeCell("Spd_Car", 2, 2, "nobody");
    Click("Btn_CarOK");

    EXPECT_FALSE(Find<QWidget>("Frm_Car")->isVisible());
    EXPECT_TRUE(Find<QWidget>("Frm_Main")->isEnabled());
    EXPECT_EQ(FileBytes(dir_.filePath("Car.ini")), Utf8ToCp932("スイフト,山田,40,12.5\r\n"));
    for (int i = 0; i < 3; ++i) {
        const std::string box = "Cmb_Car_" + std::to_string(i);
        EXPECT_EQ(ComboItems(box), QStringList{"スイフト"}) << box;
        EXPECT_EQ(Find<QComboBox>(box)->currentIndex(), -1) << box;
        EXPECT_EQ(C().st.panels[i].Cmb_Car.items, std::vector<std::string>{"スイフト\t40\t12.5"});
    }
}

TEST_F(OverlaysTest, CancelledEditsAreGoneWhenTheEditorOpensAgain) {
    Click("Btn_Car");
    TypeCell("Spd_Car", 1, 1, "keep");
    Click("Btn_CarOK");

    Click("Btn_Car");
    TypeCell("Spd_Car", 1, 1, "changed");
    TypeCell("Spd_Car", 2, 1, "added");
    EXPECT_EQ(CellText("Spd_Car", 2, 1), "added");
    Click("Btn_CarCancel");
    EXPECT_EQ(FileBytes(dir_.filePath("Car.ini")), "keep,,0,0\r\n");

    Click("Btn_Car");
    EXPECT_EQ(CellText("Spd_Car", 1, 1), "keep");
    EXPECT_EQ(CellText("Spd_Car", 2, 1), "");
    Click("Btn_CarCancel");
}

TEST_F(OverlaysTest, DeleteButtonOfTheMiddleRowLeavesTwoLinesInEachFile) {
    struct Case {
        const char *open, *grid, *ok, *file;
        int deleteCol;
        const char* expected;
    } cases[] = {
        {"Btn_Car", "Spd_Car", "Btn_CarOK", "Car.ini", 5, "A,,0,0\r\nC,,0,0\r\n"},
        {"Btn_Cource", "Spd_Course", "Btn_CourceOK", "Course.ini", 3, "A,0\r\nC,0\r\n"},
        {"Btn_Drivers", "Spd_Drivers", "Btn_DrvOk", "Drivers.ini", 3, "A,\r\nC,\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.grid);
        Click(c.open);
        for (int r = 1; r <= 3; ++r) TypeCell(c.grid, r, 1, QString(QChar('A' + r - 1)));
        auto* view = Find<QTableView>(c.grid);
        const QRect cell = view->visualRect(view->model()->index(1, c.deleteCol - 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        EXPECT_EQ(CellText(c.grid, 2, 1), "C");
        EXPECT_EQ(CellText(c.grid, 3, 1), "");
        EXPECT_EQ(view->currentIndex().row(), 0);
        EXPECT_EQ(view->currentIndex().column(), 0);
        Click(c.ok);
        EXPECT_EQ(FileBytes(dir_.filePath(c.file)), c.expected);
    }
}

TEST_F(OverlaysTest, CourseIsListedWithItsLength) {
    Click("Btn_Cource");
    TypeCell("Spd_Course", 1, 1, "X");
    TypeCell("Spd_Course", 1, 2, "1,200");
    TypeCell("Spd_Course", 2, 1, "筑波");
    TypeCell("Spd_Course", 2, 2, "2045");
    Click("Btn_CourceOK");
    EXPECT_EQ(FileBytes(dir_.filePath("Course.ini")), Utf8ToCp932("X,1200\r\n筑波,2045\r\n"));
    EXPECT_EQ(ComboItems("Cmb_Course"), (QStringList{"X(1200m)", "筑波(2045m)"}));
    EXPECT_EQ(C().st.main.Cmb_Course.items[0], "X(1200m)\t1200");
}

TEST_F(OverlaysTest, DriverTargetDropDownDecidesWhichPanelsOfferTheDriver) {
    Click("Btn_Drivers");
    TypeCell("Spd_Drivers", 1, 1, "佐藤");
    QStringList offered;
    ChooseInCell("Spd_Drivers", 1, 2, "全車", &offered);
    EXPECT_EQ(offered, (QStringList{"全車", "１号車", "２号車", "３号車", "４号車", "５号車"}));
    TypeCell("Spd_Drivers", 2, 1, "鈴木");
    ChooseInCell("Spd_Drivers", 2, 2, "２号車");
    EXPECT_EQ(CellText("Spd_Drivers", 2, 2), "２号車");
    Click("Btn_DrvOk");

    EXPECT_EQ(FileBytes(dir_.filePath("Drivers.ini")), Utf8ToCp932("佐藤,全車\r\n鈴木,２号車\r\n"));
    EXPECT_EQ(ComboItems("Cmb_Driver_0"), QStringList{"佐藤"});
    EXPECT_EQ(ComboItems("Cmb_Driver_1"), (QStringList{"佐藤", "鈴木"}));
    EXPECT_EQ(ComboItems("Cmb_Driver_2"), QStringList{"佐藤"});
}

TEST_F(OverlaysTest, SettingsRefuseZeroSecondsThenTakeOneHundredthsAndRewriteTheFile) {
    const std::string before = FileBytes(dir_.filePath("Velmora.ini"));
    Click("Btn_Mess");
    EXPECT_EQ(CellText("Spd_Mess", 1, 2), "1/1000");
    EXPECT_EQ(CellText("Spd_Mess", 2, 2), "10");

    app_->dialogs().clearRequests();
    TypeCell("Spd_Mess", 2, 2, "0");
    Click("Btn_MessOk");
    ASSERT_EQ(app_->dialogs().requests().size(), 1u);
    EXPECT_EQ(app_->dialogs().requests()[0].text, kSilenceSecondsRefused);
    EXPECT_TRUE(Find<QWidget>("Frm_Mess")->isVisible());
    EXPECT_EQ(C().settings.SilenceSeconds, 10);
    EXPECT_EQ(FileBytes(dir_.filePath("Velmora.ini")), before);

    ChooseInCell("Spd_Mess", 1, 2, "1/100");
    TypeCell("Spd_Mess", 2, 2, "5");
    TypeCell("Spd_Mess", 3, 2, "box,now");
    Click("Btn_MessOk");
    EXPECT_FALSE(Find<QWidget>("Frm_Mess")->isVisible());
    EXPECT_TRUE(Find<QWidget>("Frm_Main")->isEnabled());
    EXPECT_EQ(C().clock.SilenceTicks, 500);
    for (int i = 0; i < 3; ++i) {
        const std::string clock = "Lbl_Time_" + std::to_string(i);
        EXPECT_EQ(Find<QLabel>(clock)->text(), "0'00\"00") << clock;
    }
    const QString ini =
        QString::fromStdString(Cp932ToUtf8(FileBytes(dir_.filePath("Velmora.ini"))));
    EXPECT_TRUE(ini.contains("計測精度=1/100\r\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("ラップ加算無通信秒数= 5\r\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("残り３周の自動メッセージ=box now\r\n")) << ini.toStdString();
}

TEST_F(OverlaysTest, CancelAfterARefusalKeepsEverySetting) {
    const MeasureSettings before = C().settings;
    Click("Btn_Mess");
    ChooseInCell("Spd_Mess", 1, 2, "1/100");
    TypeCell("Spd_Mess", 2, 2, "100");
    Click("Btn_MessOk");
    EXPECT_TRUE(Find<QWidget>("Frm_Mess")->isVisible());
    Click("Btn_MessCancel");
    EXPECT_EQ(C().settings.Precision, before.Precision);
    EXPECT_EQ(C().settings.SilenceSeconds, before.SilenceSeconds);
    EXPECT_EQ(Find<QLabel>("Lbl_Time_0")->text(), "0'00\"000");
    // The next opening shows the settings, not the dropped edits.
    Click("Btn_Mess");
    EXPECT_EQ(CellText("Spd_Mess", 1, 2), "1/1000");
    EXPECT_EQ(CellText("Spd_Mess", 2, 2), "10");
    Click("Btn_MessCancel");
}

}  // namespace
}  // namespace velmora
