// Keyboard and pointer through the real window: Tab runs top to bottom and left to right
// block by block; during a run no set-up or clearing control of any slot can be reached by
// Tab, Enter or a click; and text that reaches a box by any way (typing aside: an assistive
// tool, an input method, a paste) reaches the console and the results file.
#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QClipboard>
#include <QSet>
#include <functional>

#include "app/builder.h"
#include "core/window_state.h"
#include "gui_rig.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;
using gui_test::FileBytes;

class KeyboardTest : public ConsoleRig {
  protected:
    void SetUp() override {
        ConsoleRig::SetUp();
        w_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w_));
    }
    void SetUpSlot(int i) {
        app_->dialogs().pushInputAnswer("127.0.0.1");
        Click(SlotControlName("Btn_ClientNoSet", i));
    }
    // The control a focused widget belongs to (a combo's line edit belongs to the combo).
    static QString ControlOf(QWidget* w) {
        for (; w != nullptr; w = w->parentWidget())
            if (w->property(kDesignRectProperty).isValid() && !w->objectName().isEmpty())
                return w->objectName();
        return QString();
    }
    // Controls visited by Tab from `start` until the focus comes back to it (a grid's cells
    // count once).
    QStringList TabCycle(const char* start) {
        QWidget* first = Find<QWidget>(start);
        first->setFocus(Qt::TabFocusReason);
        QStringList seen{ControlOf(QApplication::focusWidget())};
        for (int step = 0; step < 400; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            const QString c = ControlOf(QApplication::focusWidget());
            if (c == start) break;
            if (c != seen.back()) seen << c;
        }
        return seen;
    }
};

TEST_F(KeyboardTest, TabRunsThroughEachBlockTopToBottomAndLeftToRight) {
    const QStringList console = {
        "Txt_Event",   "Txt_Date",       "Cmb_Tenki", "Txt_Kion",     "Cmb_Course",   "Txt_RunH",
        "Txt_RunN",    "Txt_AllOutMess", "Btn_Start", "Btn_Write",    "Btn_End",      "Btn_Cource",
        "Btn_Drivers", "Btn_Car",        "Btn_Mess",  "Btn_LapChart", "Btn_TeamView", "Btn_Export",
        "Btn_Rules"};
    const QStringList idle = {"Btn_ClientNoSet_0", "Btn_ClientNoSet_1", "Btn_ClientNoSet_2"};
    EXPECT_EQ(TabCycle("Txt_Event"), console + idle);

    SetUpSlot(1);
    const QStringList panel1 = {"Btn_ClientNoSet2_1", "Btn_ClsCar_1",     "Btn_LapChg_1",
                                "Cmb_Driver_1",       "Btn_DriverInfo_1", "Cmb_Car_1",
                                "Txt_Nenpi_1",        "Txt_InGasl_1",     "Btn_Kyuyu_1",
                                "Chk_ChgCnter_1",     "Txt_OutMess_1",    "Spd_LapTime_1"};
    const QStringList withSlot1 =
        console + QStringList{"Btn_ClientNoSet_0"} + panel1 + QStringList{"Btn_ClientNoSet_2"};
    EXPECT_EQ(TabCycle("Txt_Event"), withSlot1);
    // Enter moves on like Tab in the text boxes.
    Find<QWidget>("Txt_Kion")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(ControlOf(QApplication::focusWidget()), "Cmb_Course");
}

TEST_F(KeyboardTest, DuringARunNoSetUpOrClearingControlCanBeReached) {
    SetUpSlot(0);
    SetUpSlot(2);
    Click("Btn_Start");
    ASSERT_TRUE(C().st.Measuring());
    app_->dialogs().clearRequests();

    const QStringList forbidden = {"Btn_ClientNoSet", "Btn_ClientNoSet2", "Btn_ClsCar"};
    const QStringList cycle = TabCycle("Txt_Event");
    EXPECT_TRUE(cycle.contains("Btn_RunStop_0"));
    for (const QString& c : cycle)
        for (const QString& f : forbidden) EXPECT_FALSE(c.startsWith(f + "_")) << c.toStdString();

    // The idle set-up button of slot 0 lies under its lap strip; slot 1's panel is idle.
    for (int slot : {0, 1}) {
        auto* under = Find<QPushButton>(SlotControlName("Btn_ClientNoSet", slot));
        const QRect r = under->geometry().adjusted(3, 3, -3, -3);
        for (QPoint p : {r.center(), r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
            const QPoint at = under->parentWidget()->mapTo(w_, p);
            QWidget* hit = w_->childAt(at);
            ASSERT_NE(hit, nullptr);
            QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(w_, at));
            QTest::keyClick(hit, Qt::Key_Return);
            QTest::keyClick(hit, Qt::Key_Space);
        }
    }
    // The stop button beside it may be hit (and its question answered No); a set-up or a
    // clearing question never comes.
    for (const QtDialogs::Request& r : app_->dialogs().requests()) {
        EXPECT_NE(r.kind, QtDialogs::Kind::Input) << r.text;
        EXPECT_NE(r.title, "消去確認") << r.text;
    }
    EXPECT_EQ(C().st.panels[0].Lbl_IP.caption, "127.0.0.1");
    EXPECT_EQ(C().st.panels[2].Lbl_IP.caption, "127.0.0.1");
    EXPECT_TRUE(C().st.Measuring());
}

TEST_F(KeyboardTest, TextSetByAnyMeansReachesTheConsoleLikeTypedText) {
    SetUpSlot(0);
    // The window's copy of the console: C() brings it up to date before each look.
    const MainFrameState& m = C().st.main;
    const PanelState& p = C().st.panels[0];
    struct Field {
        const char* name;
        std::function<std::string()> state;
    } fields[] = {
        {"Txt_Event", [&] { return C(), m.Txt_Event.text; }},
        {"Txt_Date", [&] { return C(), m.Txt_Date.text; }},
        {"Txt_Kion", [&] { return C(), m.Txt_Kion.text; }},
        {"Txt_RunN", [&] { return C(), m.Txt_RunN.text; }},
        {"Txt_AllOutMess", [&] { return C(), m.Txt_AllOutMess.text; }},
        {"Cmb_Tenki", [&] { return C(), m.Cmb_Tenki.text; }},
        {"Txt_Nenpi_0", [&] { return C(), p.Txt_Nenpi.text; }},
        {"Txt_InGasl_0", [&] { return C(), p.Txt_InGasl.text; }},
        {"Txt_OutMess_0", [&] { return C(), p.Txt_OutMess.text; }},
    };
    struct Way {
        const char* what;
        std::function<void(QLineEdit*, const QString&)> set;
    } ways[] = {
        {"assistive tool, value",
         [](QLineEdit* e, const QString& t) {
             QAccessible::queryAccessibleInterface(e)->setText(QAccessible::Value, t);
         }},
        {"assistive tool, editable text",
         [](QLineEdit* e, const QString& t) {
             QAccessibleInterface* a = QAccessible::queryAccessibleInterface(e);
             a->editableTextInterface()->replaceText(0, static_cast<int>(e->text().size()), t);
         }},
        {"input method",
         [](QLineEdit* e, const QString& t) {
             e->selectAll();
             QInputMethodEvent commit;
             commit.setCommitString(t);
             QApplication::sendEvent(e, &commit);
         }},
        {"paste",
         [](QLineEdit* e, const QString& t) {
             QGuiApplication::clipboard()->setText(t);
             e->selectAll();
             e->paste();
         }},
    };
    int n = 0;
    for (const Way& way : ways) {
        for (const Field& f : fields) {
            SCOPED_TRACE(std::string(way.what) + " into " + f.name);
            QWidget* w = Find<QWidget>(f.name);
            ASSERT_NE(w, nullptr);
            auto* edit = qobject_cast<QLineEdit*>(w);
            if (auto* box = qobject_cast<QComboBox*>(w)) edit = box->lineEdit();
            ASSERT_NE(edit, nullptr);
            const QString text = QString::number(++n) + "番";
            way.set(edit, text);
            EXPECT_EQ(edit->text(), text);
            EXPECT_EQ(QString::fromStdString(f.state()), text);
        }
    }
    // The last way's fifth field: the all-cars message follows it too.
    EXPECT_EQ(C().st.AllCarsMessage, "（全車へ：３２番）");

    // And the results file writes what the boxes show.
    auto set = [](QLineEdit* e, const QString& t) {
        QAccessible::queryAccessibleInterface(e)->setText(QAccessible::Value, t);
    };
    set(Find<QLineEdit>("Txt_Event"), "耐久 6h");
    set(Find<QComboBox>("Cmb_Tenki")->lineEdit(), "晴れ時々曇");
    set(Find<QLineEdit>("Txt_Kion"), "28");
    const QString path = dir_.filePath("result.txt");
    app_->dialogs().pushSaveAnswer(path.toStdString());
    Click("Btn_Write");
    const std::string head = Cp932ToUtf8(FileBytes(path)).substr(0, 80);
    EXPECT_TRUE(head.starts_with("イベント名:耐久 6h\r\n")) << head;
    EXPECT_NE(head.find("天気:晴れ時々曇\r\n気温:28\r\n"), std::string::npos) << head;
}

}  // namespace
}  // namespace velmora
