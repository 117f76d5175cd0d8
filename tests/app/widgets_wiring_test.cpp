// Widget events reach the right console operations: overlays open centred and disable the
// console, the settings grid keeps its active cell in the value column, and lap grid edits
// are checked by the console.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "app/console_app.h"
#include "app/main_window.h"

namespace velmora {
namespace {

class WiringTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        app_ = std::make_unique<ConsoleApp>(dir_.path());
        app_->dialogs().setNonInteractive(true);
        QSignalSpy shown(app_.get(), &ConsoleApp::mainWindowShown);
        app_->start(std::chrono::milliseconds(0));
        ASSERT_TRUE(shown.wait(5000));
        w_ = app_->mainWindow();
    }
    template <class W>
    W* Find(const char* name) {
        return w_->findChild<W*>(QString::fromUtf8(name));
    }
    // A click, then the window shows what the console made of it.
    void Click(const char* name) {
        Find<QPushButton>(name)->click();
        ASSERT_TRUE(app_->sync()) << name;
    }

    QTemporaryDir dir_;
    std::unique_ptr<ConsoleApp> app_;
    MainWindow* w_ = nullptr;
};

TEST_F(WiringTest, EachOverlayOpensCentredAndBlocksTheConsoleUntilCancelled) {
    struct Case {
        const char* open;
        const char* frame;
        const char* cancel;
    } cases[] = {{"Btn_Car", "Frm_Car", "Btn_CarCancel"},
                 {"Btn_Cource", "Frm_Course", "Btn_CourceCancel"},
                 {"Btn_Drivers", "Frm_Drivers", "Btn_DrvCancel"},
                 {"Btn_Mess", "Frm_Mess", "Btn_MessCancel"}};
    for (const Case& c : cases) {
        Click(c.open);
        auto* frame = Find<QWidget>(c.frame);
        ASSERT_NE(frame, nullptr) << c.frame;
        EXPECT_TRUE(frame->isVisible()) << c.frame;
        EXPECT_EQ(frame->x(), (w_->width() - frame->width()) / 2) << c.frame;
        EXPECT_EQ(frame->y(), (w_->height() - frame->height()) / 2) << c.frame;
        EXPECT_FALSE(Find<QWidget>("Frm_Main")->isEnabled()) << c.frame;
        EXPECT_FALSE(Find<QWidget>("Frm_Runner_0")->isEnabled()) << c.frame;
        Click(c.cancel);
        EXPECT_FALSE(frame->isVisible()) << c.frame;
        EXPECT_TRUE(Find<QWidget>("Frm_Main")->isEnabled()) << c.frame;
    }
}

TEST_F(WiringTest, SettingsGridKeepsTheActiveCellInTheValueColumn) {
    Click("Btn_Mess");
    auto* grid = Find<QTableView>("Spd_Mess");
    ASSERT_NE(grid, nullptr);
    grid->setCurrentIndex(grid->model()->index(3, 0));  // row 4, caption column
    ASSERT_TRUE(app_->sync());
    const Grid& state = app_->view().st.Frm_Mess.grid;
    EXPECT_EQ(state.ActiveCol(), 2);
    EXPECT_EQ(state.ActiveRow(), 4);
    EXPECT_EQ(grid->currentIndex().column(), 1);
    EXPECT_FALSE(grid->model()->flags(grid->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(grid->model()->flags(grid->model()->index(0, 1)) & Qt::ItemIsEditable);
}

TEST_F(WiringTest, DeleteButtonCellRemovesItsEditorRow) {
    Click("Btn_Car");
    ASSERT_TRUE(app_->run([](Console& c) {
        for (int r = 1; r <= 3; ++r) c.st.Frm_Car.grid.SetCell(r, 1, "car" + std::to_string(r));
    }));
    const Grid& g = app_->view().st.Frm_Car.grid;
    auto* grid = Find<QTableView>("Spd_Car");
    const QRect cell = grid->visualRect(grid->model()->index(1, 4));  // row 2, delete column
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    ASSERT_TRUE(app_->sync());
    EXPECT_EQ(g.Cell(1, 1), "car1");
    EXPECT_EQ(g.Cell(2, 1), "car3");
    EXPECT_EQ(g.Cell(3, 1), "");
    EXPECT_EQ(grid->model()->index(1, 0).data().toString(), QString("car3"));
}

TEST_F(WiringTest, LapGridEditIsCheckedAndAGoodTimeBecomesTicks) {
    app_->dialogs().pushInputAnswer("127.0.0.1");
    Click("Btn_ClientNoSet_0");
    ASSERT_TRUE(app_->run([](Console& c) {
        Grid& g = c.st.panels[0].Spd_LapTime;
        g.SetRowCount(1);
        g.SetCell(1, 1, "1'00\"000");
        g.SetCell(1, 4, "60000");
        g.enabled = true;
    }));
    const Grid& g = app_->view().st.panels[0].Spd_LapTime;
    auto* grid = Find<QTableView>("Spd_LapTime_0");
    ASSERT_NE(grid, nullptr);
    // Entering the cell keeps its text for undoing a bad edit.
    grid->setCurrentIndex(grid->model()->index(0, 1));
    grid->setCurrentIndex(grid->model()->index(0, 0));

    grid->model()->setData(grid->model()->index(0, 0), "1'23\"456", Qt::EditRole);
    ASSERT_TRUE(app_->sync());
    EXPECT_EQ(g.Cell(1, 4), "83456");

    app_->dialogs().clearRequests();
    grid->model()->setData(grid->model()->index(0, 0), "1:23.456", Qt::EditRole);
    ASSERT_TRUE(app_->sync());
    ASSERT_FALSE(app_->dialogs().requests().empty());
    EXPECT_EQ(app_->dialogs().requests().back().text, "入力が不正です。");
    EXPECT_EQ(g.Cell(1, 4), "83456");
    EXPECT_NE(g.Cell(1, 1), "1:23.456");
}

}  // namespace
}  // namespace velmora
