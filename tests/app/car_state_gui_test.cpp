// Each panel's state line through the real window: a car sending datagrams shows as heard,
// a car stopped with 計測中止 shows as stopped in grey, and idle panels say so quietly.
#include <QElapsedTimer>
#include <QUdpSocket>

#include "core/encoding.h"
#include "core/window_state.h"
#include "gui_rig.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;

class CarStateTest : public ConsoleRig {
  protected:
    QLabel* State(int i) { return Find<QLabel>(SlotControlName("Lbl_CarStatus", i)); }
    // Spins the event loop until the state line shows `text` (the lap timer refreshes it).
    bool Shows(int i, const QString& text, int ms = 3000) {
        QElapsedTimer t;
        t.start();
        while (State(i)->text() != text && t.elapsed() < ms) QTest::qWait(20);
        return State(i)->text() == text;
    }
    QColor Back(int i) { return State(i)->palette().color(QPalette::Window); }
};

TEST_F(CarStateTest, HeardStoppedAndIdleCarsEachShowTheirState) {
    for (int s : {0, 2}) {
        app_->dialogs().pushInputAnswer("127.0.0.1");
        Click(SlotControlName("Btn_ClientNoSet", s));
    }
    EXPECT_EQ(State(0)->text(), "待機中");
    EXPECT_TRUE(State(0)->isVisible());
    Click("Btn_Start");
    ASSERT_TRUE(C().st.Measuring());
    EXPECT_EQ(State(0)->text(), "未受信");

    // Car 1 sends as a car PC does (in this test's private network).
    QUdpSocket car;
    const QByteArray hello = QByteArray::fromStdString(Utf8ToCp932("000"));
    ASSERT_EQ(car.writeDatagram(hello, QHostAddress::LocalHost, 7011), hello.size());
    EXPECT_TRUE(Shows(0, "受信中"));
    EXPECT_EQ(Back(0), QColor(0xC0, 0xFF, 0xC0));
    EXPECT_TRUE(Shows(0, "無通信 1秒"));
    EXPECT_EQ(State(2)->text(), "未受信");

    app_->dialogs().pushMessageAnswer(MessageAnswer::Yes);
    Click("Btn_RunStop_0");
    EXPECT_EQ(State(0)->text(), "計測中止");
    EXPECT_EQ(Back(0), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(Find<QPushButton>("Btn_ClientNoSet_1")->isVisible());  // idle, green panel

    app_->dialogs().pushMessageAnswer(MessageAnswer::Yes);
    Click("Btn_Start");
    EXPECT_EQ(State(0)->text(), "待機中");
    EXPECT_EQ(State(2)->text(), "待機中");
}

}  // namespace
}  // namespace velmora
