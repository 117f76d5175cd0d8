// The Qt services: dialog answer queue and filter form, the grid model's change signals, and
// the wake another thread raises for the window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <thread>

#include "app/grid_model.h"
#include "app/qt_dialogs.h"
#include "app/thread_wake.h"

namespace velmora {
namespace {

TEST(ThreadWakeTest, RaisingsFromAnotherThreadBeforeTheWakeIsTakenArriveOnce) {
    ThreadWake wake;
    QSignalSpy raised(&wake, &ThreadWake::raised);
    std::thread other([&wake] {
        for (int k = 0; k < 100; ++k) wake.Raise();
    });
    other.join();
    ASSERT_TRUE(raised.wait(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(raised.count(), 1);
    // Taken: the next raising is a new wake.
    wake.Raise();
    ASSERT_TRUE(raised.wait(5000));
    EXPECT_EQ(raised.count(), 2);
}

TEST(QtDialogsTest, FilterBecomesQtForm) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"テキスト (*.txt)|*.txt", "テキスト (*.txt)"},
        {"Text|*.txt|All|*.*", "Text (*.txt);;All (*.*)"},
        {"Text|*.txt;*.log", "Text (*.txt *.log)"},
        {"All", "All (*)"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(QtDialogs::QtFilter(c.in), c.out) << c.in;
}

TEST(QtDialogsTest, QueuedAnswersComeBackInOrderAndRequestsAreRecorded) {
    QtDialogs d;
    d.setNonInteractive(true);
    d.pushMessageAnswer(MessageAnswer::Yes);
    d.pushInputAnswer("192.168.0.5");
    d.pushSaveAnswer("/tmp/result.txt");
    EXPECT_EQ(
        d.MessageBox("消しますか？", "消去確認", MessageButtons::YesNo, MessageIcon::Critical),
        MessageAnswer::Yes);
    // Nothing queued any more: a Yes/No box answers No, never the confirming button.
    EXPECT_EQ(d.MessageBox("again", "", MessageButtons::YesNo, MessageIcon::Critical),
              MessageAnswer::No);
    EXPECT_EQ(d.MessageBox("note", "", MessageButtons::Ok, MessageIcon::None), MessageAnswer::Ok);
    EXPECT_EQ(d.InputBox("IP?", "設定", "0.0.0.0"), "192.168.0.5");
    EXPECT_EQ(d.InputBox("IP?", "設定", "0.0.0.0"), "");
    EXPECT_EQ(d.SaveFileDialog("保存", "Text|*.txt"), "/tmp/result.txt");
    EXPECT_EQ(d.SaveFileDialog("保存", "Text|*.txt"), "");
    ASSERT_EQ(d.requests().size(), 7u);
    EXPECT_EQ(d.requests()[0].title, "消去確認");
    EXPECT_EQ(d.requests()[3].detail, "0.0.0.0");
    EXPECT_EQ(d.requests()[5].detail, "Text|*.txt");
    EXPECT_EQ(d.requests()[5].kind, QtDialogs::Kind::Save);
}

TEST(GridModelTest, SyncFollowsRowCountAndSkipsUnchangedGrids) {
    Grid grid(5);
    grid.SetCell(0, 1, "タイム");
    grid.SetRowCount(2);
    GridModel model(grid, 3);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "タイム");

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.Sync();
    EXPECT_EQ(changed.count(), 0);

    grid.SetRowCount(5000);
    grid.SetCell(5000, 1, "1'02\"345");
    model.Sync();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(model.rowCount(), 5000);
    EXPECT_EQ(model.index(4999, 0).data().toString(), "1'02\"345");

    grid.SetRowCount(3);
    model.Sync();
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(model.rowCount(), 3);
    model.Sync();
    EXPECT_EQ(changed.count(), 2);
}

TEST(GridModelTest, EditsGoToTheCallbackOnlyForEditableChangedCells) {
    Grid grid(3);
    grid.SetRowCount(2);
    grid.SetCell(1, 2, "same");
    GridModel model(grid, 3);
    model.setEditableColumns([](int col, int) { return col == 2; });
    std::vector<std::tuple<int, int, std::string>> edits;
    model.setOnEdit(
        [&](int row, int col, const std::string& t) { edits.emplace_back(row, col, t); });
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    model.setData(model.index(0, 1), "same", Qt::EditRole);
    model.setData(model.index(1, 1), "新", Qt::EditRole);
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0], std::make_tuple(2, 2, std::string("新")));
}

}  // namespace
}  // namespace velmora
