// The "走行規則" dialog through its widgets: a wrong field is named and nothing is saved, right
// rules reach Velmora.ini, the console and the car panel, and the dialog shows them again.
#include <QPointer>

#include "app/rules_dialog.h"
#include "gui_rig.h"
#include "rules/rule_settings.h"

namespace velmora::gui_test {
namespace {

class RulesDialogTest : public ConsoleRig {
  protected:
    RulesDialog* Open() {
        Click("Btn_Rules");
        auto* d = w_->findChild<RulesDialog*>("Frm_Rules");
        return d && d->isVisible() ? d : nullptr;
    }
    void Ok(RulesDialog* d) {
        d->findChild<QPushButton*>("Btn_RulesOk")->click();
        ASSERT_TRUE(app_->sync());
    }
    std::string Ini() { return Cp932ToUtf8(FileBytes(dir_.filePath("Velmora.ini"))); }
};

TEST_F(RulesDialogTest, AWrongFieldSavesNothingRightRulesReachTheFileTheConsoleAndThePanel) {
    const std::string firstRun = Ini();
    QPointer<RulesDialog> d = Open();
    ASSERT_TRUE(d);
    EXPECT_EQ(Find<QPushButton>("Btn_Rules")->text(), "走行規則");
    EXPECT_EQ(d->fiveMinutes()->text(), "あと5分でドライバー交代です");
    d->field(RuleField::MaxStint)->setText("2");
    d->field(RuleField::MinStop)->setText("１分");
    d->fiveMinutes()->setText("five, soon");
    app_->dialogs().clearRequests();
    Ok(d);
    ASSERT_EQ(app_->dialogs().requests().size(), 1u);
    EXPECT_EQ(app_->dialogs().requests()[0].text,
              "「最短ピット停止」は数で入れてください（空欄は規則なし）。");
    EXPECT_TRUE(d && d->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), d->field(RuleField::MinStop));
    EXPECT_EQ(Ini(), firstRun);
    EXPECT_EQ(RuleSettingsOf(C().st), RuleSettings{});

    d->field(RuleField::MinStop)->setText("90");
    Ok(d);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(d);
    const std::string saved = Ini();
    EXPECT_EQ(saved.substr(0, firstRun.size()), firstRun);
    EXPECT_NE(saved.find("最長連続走行（分）=2\r\n"), std::string::npos);
    EXPECT_NE(saved.find("最短ピット停止（秒）=90\r\n"), std::string::npos);
    EXPECT_NE(saved.find("交代５分前の自動メッセージ=five  soon\r\n"), std::string::npos);
    EXPECT_EQ(RuleSettingsOf(C().st).rules.maxStintMs, 120'000);

    // A set-up panel shows the time its driver may drive, with the five-minute colour.
    app_->dialogs().pushInputAnswer("127.0.0.1");
    Click("Btn_ClientNoSet_0");
    EXPECT_EQ(Find<QLabel>("Lbl_ChangeDue_0")->text(), "交代まで 2分");
    EXPECT_TRUE(Find<QLabel>("Lbl_ChangeDue_0")->isVisible());
    EXPECT_FALSE(Find<QLabel>("Lbl_ChangeDue_1")->isVisible());

    d = Open();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->field(RuleField::MaxStint)->text(), "2");
    EXPECT_EQ(d->fiveMinutes()->text(), "five  soon");
    d->findChild<QPushButton*>("Btn_RulesCancel")->click();
}

}  // namespace
}  // namespace velmora::gui_test
