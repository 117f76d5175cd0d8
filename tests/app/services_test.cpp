// The Qt services: dialog answer queue and filter form, timers, loopback datagrams and the
// grid model's change signals.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include "app/grid_model.h"
#include "app/qt_datagrams.h"
#include "app/qt_dialogs.h"
#include "app/qt_timers.h"

namespace velmora {
namespace {

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

TEST(QtTimersTest, RestartReplacesHandlerAndStopEndsTicks) {
    int after = 0;
    QtTimers timers([&] { ++after; });
    const TimerKey lap0{TimerId::Lap, 0};
    const TimerKey lap1{TimerId::Lap, 1};
    int first = 0, second = 0, other = 0;
    timers.Start(lap0, 0, [&] { ++first; });
    timers.Start(lap0, 0, [&] { ++second; });
    timers.Start(lap1, 0, [&] { ++other; });
    EXPECT_TRUE(timers.IsRunning(lap0));
    EXPECT_FALSE(timers.IsRunning(TimerKey{TimerId::Lap, 2}));
    QCoreApplication::processEvents();
    EXPECT_EQ(first, 0);
    EXPECT_GE(second, 1);
    EXPECT_GE(other, 1);
    EXPECT_EQ(after, second + other);

    timers.Stop(lap0);
    timers.Stop(lap0);  // stopping a stopped timer does nothing
    EXPECT_FALSE(timers.IsRunning(lap0));
    const int stopped = second;
    QCoreApplication::processEvents();
    EXPECT_EQ(second, stopped);
}

TEST(QtTimersTest, HandlerMayStopItsOwnTimer) {
    QtTimers timers(nullptr);
    const TimerKey key{TimerId::DriverInfo, 1};
    int ticks = 0;
    timers.Start(key, 0, [&] {
        ++ticks;
        timers.Stop(key);
    });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timers.IsRunning(key));
}

class QtDatagramsTest : public ::testing::Test {
  protected:
    // Ports well away from the console's 7001-7052.
    static constexpr std::uint16_t kPortA = 47011;
    static constexpr std::uint16_t kPortB = 47012;
    int afterEvents_ = 0;
    QtDatagrams net_{[this] { ++afterEvents_; }};
};

TEST_F(QtDatagramsTest, OneHandlerCallPerDatagramOverLoopback) {
    std::vector<std::string> got;
    ASSERT_EQ(net_.Bind(SocketId::Car0, kPortA, [&](std::string_view b) { got.emplace_back(b); }),
              "");
    ASSERT_EQ(net_.Bind(SocketId::Car1, kPortB, [](std::string_view) {}), "");
    EXPECT_TRUE(net_.IsBound(SocketId::Car0));
    const std::string withNul("a\0b", 3);
    for (const std::string& msg : {std::string("1"), std::string("\x82\xa0", 2), withNul})
        net_.Send(SocketId::Car1, "127.0.0.1", kPortA, msg);
    for (int i = 0; i < 200 && got.size() < 3; ++i) QTest::qWait(5);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], "1");
    EXPECT_EQ(got[1], std::string("\x82\xa0", 2));
    EXPECT_EQ(got[2], withNul);
    EXPECT_EQ(afterEvents_, 3);
}

TEST_F(QtDatagramsTest, PortInUseIsRefusedWithAReason) {
    ASSERT_EQ(net_.Bind(SocketId::Car0, kPortA, [](std::string_view) {}), "");
    const std::string reason = net_.Bind(SocketId::Car1, kPortA, [](std::string_view) {});
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(net_.IsBound(SocketId::Car1));
    // Closing frees the port for the next bind.
    net_.Close(SocketId::Car0);
    EXPECT_FALSE(net_.IsBound(SocketId::Car0));
    EXPECT_EQ(net_.Bind(SocketId::Car1, kPortA, [](std::string_view) {}), "");
}

TEST_F(QtDatagramsTest, NamesAreResolvedWithoutBlockingAndEmptyHostsDropped) {
    std::vector<std::string> got;
    ASSERT_EQ(net_.Bind(SocketId::Car0, kPortA, [&](std::string_view b) { got.emplace_back(b); }),
              "");
    ASSERT_EQ(net_.Bind(SocketId::Car1, kPortB, [](std::string_view) {}), "");
    net_.Send(SocketId::Car1, "", kPortA, "x");
    EXPECT_EQ(net_.dropped(), 1);
    // The first datagram to a name goes while the lookup runs: dropped, never misdelivered.
    net_.Send(SocketId::Car1, "localhost", kPortA, "early");
    EXPECT_EQ(net_.dropped(), 2);
    for (int i = 0; i < 200; ++i) {
        net_.Send(SocketId::Car1, "localhost", kPortA, "late");
        QTest::qWait(5);
        if (!got.empty()) break;
    }
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0], "late");
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
