// The standard dialogs are Japanese and carry exactly the titles the console asks for: real
// boxes are shown, read and closed from a timer, so nothing waits for a person.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "gui_rig.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;

class DialogsTest : public ConsoleRig {
  protected:
    void SetUp() override {
        ConsoleRig::SetUp();
        app_->dialogs().setNonInteractive(false);  // really show them
    }
    // Runs `inspect` on the modal dialog once it is up; `inspect` must close it.
    template <class D>
    void WhenShown(std::function<void(D*)> inspect) {
        QTimer::singleShot(0, [inspect] {
            auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            inspect(d);
        });
    }
    static QStringList Texts(const QList<QAbstractButton*>& buttons) {
        QStringList out;
        for (QAbstractButton* b : buttons) out << b->text();
        out.sort();
        return out;
    }
};

TEST_F(DialogsTest, MessageBoxesHaveJapaneseButtonsAndExactlyTheirTitle) {
    struct Case {
        MessageButtons buttons;
        const char* title;
        QString shownTitle;
        QStringList texts;
        MessageAnswer answer;
    } cases[] = {
        {MessageButtons::YesNo,
         "消去確認",
         "消去確認",
         {"いいえ(&N)", "はい(&Y)"},
         MessageAnswer::No},
        {MessageButtons::YesNo,
         "Stop確認",
         "Stop確認",
         {"いいえ(&N)", "はい(&Y)"},
         MessageAnswer::No},
        // No title: the application's default title, nothing appended.
        {MessageButtons::Ok, "", QtDialogs::kDefaultTitle, {"OK"}, MessageAnswer::Ok},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.title);
        QString title, defaultText;
        QStringList texts;
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            texts = Texts(box->buttons());
            defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
            // Enter takes the default button: No on a question, OK on a note.
            QTest::keyClick(box, Qt::Key_Return);
        });
        const MessageAnswer a =
            app_->dialogs().MessageBox("text", k.title, k.buttons, MessageIcon::Critical);
        EXPECT_EQ(title, k.shownTitle);
        EXPECT_EQ(texts, k.texts);
        EXPECT_EQ(a, k.answer);
        if (k.buttons == MessageButtons::YesNo) {
            EXPECT_EQ(defaultText, "いいえ(&N)");
        }
    }
    // Qt appends the display name to titles when one is set; none is.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

TEST_F(DialogsTest, InputBoxIsJapaneseAndReturnsWhatWasTyped) {
    w_->ResizeToScale(1.5);
    QString title;
    QStringList texts;
    double pointSize = 0;
    WhenShown<QInputDialog>([&](QInputDialog* d) {
        title = d->windowTitle();
        pointSize = d->font().pointSizeF();
        auto* box = d->findChild<QDialogButtonBox*>();
        ASSERT_NE(box, nullptr);
        texts = Texts(box->buttons());
        d->setTextValue("127.0.0.9");
        box->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(app_->dialogs().InputBox("prompt", "ＩＰ設定", "127.0.0.1"), "127.0.0.9");
    EXPECT_EQ(title, "ＩＰ設定");
    EXPECT_EQ(texts, QStringList({"OK", "キャンセル"}));
    EXPECT_NEAR(pointSize, 9 * 1.5, 1e-9);  // as large as the window's text
}

TEST_F(DialogsTest, SaveDialogIsQtsOwnInJapaneseAndAddsTxtUnderTheTextFilter) {
    struct Case {
        const char* typed;
        int filter;  // 0 text files, 1 all files
        const char* saved;
    } cases[] = {
        {"result", 0, "result.txt"},
        {"result.csv", 0, "result.csv"},
        {"result", 1, "result"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        QString title, nameLabel;
        QStringList filters;
        WhenShown<QFileDialog>([&](QFileDialog* d) {
            title = d->windowTitle();
            filters = d->nameFilters();
            EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
            auto* label = d->findChild<QLabel*>("fileNameLabel");
            nameLabel = label ? label->text() : QString();
            auto* types = d->findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(types, nullptr);
            // As a choice of the crew, which the combo reports both ways.
            types->setCurrentIndex(k.filter);
            emit types->activated(k.filter);
            emit types->textActivated(types->itemText(k.filter));
            d->findChild<QLineEdit*>("fileNameEdit")->setText(dir_.filePath(k.typed));
            auto* box = d->findChild<QDialogButtonBox*>("buttonBox");
            ASSERT_NE(box, nullptr);
            box->button(QDialogButtonBox::Save)->click();
        });
        const std::string path = app_->dialogs().SaveFileDialog(
            "ファイル書込", "テキストデータ (*.txt)|*.txt|全てのファイル (*.*)|*.*");
        EXPECT_EQ(QString::fromStdString(path), dir_.filePath(k.saved));
        EXPECT_EQ(title, "ファイル書込");
        EXPECT_EQ(nameLabel, "ファイル名(&N):");
        EXPECT_EQ(filters, QStringList({"テキストデータ (*.txt)", "全てのファイル (*.*)"}));
    }
}

TEST(QtDialogsSuffix, OnlyAConcreteExtensionIsAdded) {
    const std::pair<const char*, const char*> cases[] = {
        {"テキストデータ (*.txt)", "txt"},
        {"Logs (*.log *.txt)", "log"},
        {"全て (*.*)", ""},
        {"All (*)", ""},
        {"Odd (*.t?t)", ""},
        {"", ""},
    };
    for (const auto& [filter, suffix] : cases)
        EXPECT_EQ(QtDialogs::DefaultSuffix(filter), suffix) << filter;
}

}  // namespace
}  // namespace velmora
