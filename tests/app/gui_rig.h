#pragma once
// Shared rig of the overlay and run-tool GUI tests: the assembled console on a scratch folder,
// widgets found by object name, and grid cells typed through the view's own cell editor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <string>

#include "app/console_app.h"
#include "app/main_window.h"
#include "core/encoding.h"

// gtest shows QString values as text in failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace velmora::gui_test {

// Bytes of a file, empty when it cannot be read.
inline std::string FileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

inline bool WriteCp932(const QString& path, const std::string& utf8) {
    const std::string bytes = Utf8ToCp932(utf8);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

class ConsoleRig : public ::testing::Test {
  protected:
    // Master files to put in the folder before the console starts (UTF-8, written as CP932).
    virtual void PrepareFolder() {}

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        PrepareFolder();
        app_ = std::make_unique<ConsoleApp>(dir_.path());
        app_->dialogs().setNonInteractive(true);
        app_->setQuitAction([] {});
        QSignalSpy shown(app_.get(), &ConsoleApp::mainWindowShown);
        app_->start(std::chrono::milliseconds(0));
        ASSERT_TRUE(shown.wait(5000));
        w_ = app_->mainWindow();
    }

    template <class W>
    W* Find(const std::string& name) {
        return w_->findChild<W*>(QString::fromStdString(name));
    }

    // A click, then the window shows what the console made of it.
    void Click(const std::string& name) {
        auto* b = Find<QPushButton>(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
        ASSERT_TRUE(app_->sync()) << name;
    }

    // Makes (row, col) current, opens its cell editor and types `text` into it, then Enter
    // commits it, as the crew does. ASCII goes as key presses; other text as an input-method
    // commit (key presses cannot carry Japanese text).
    void TypeCell(const std::string& grid, int row, int col, const QString& text) {
        auto* view = Find<QTableView>(grid);
        ASSERT_NE(view, nullptr) << grid;
        const QModelIndex index = view->model()->index(row - 1, col - 1);
        view->setCurrentIndex(index);
        view->edit(index);
        auto* editor = OpenEditor<QLineEdit>(view);
        ASSERT_NE(editor, nullptr) << grid << " row " << row << " col " << col;
        editor->selectAll();
        bool ascii = true;
        for (QChar ch : text) ascii = ascii && ch.unicode() >= 0x20 && ch.unicode() < 0x7F;
        if (ascii && !text.isEmpty()) {
            QTest::keyClicks(editor, text);
        } else {
            editor->del();
            QInputMethodEvent commit;
            commit.setCommitString(text);
            QApplication::sendEvent(editor, &commit);
        }
        QTest::keyClick(editor, Qt::Key_Return);
        FlushClosedEditors();
        ASSERT_TRUE(app_->sync());
    }

    // Picks `choice` in the drop-down cell (row, col) and commits it.
    void ChooseInCell(const std::string& grid, int row, int col, const QString& choice,
                      QStringList* offered = nullptr) {
        auto* view = Find<QTableView>(grid);
        ASSERT_NE(view, nullptr) << grid;
        const QModelIndex index = view->model()->index(row - 1, col - 1);
        view->setCurrentIndex(index);
        view->edit(index);
        auto* box = OpenEditor<QComboBox>(view);
        ASSERT_NE(box, nullptr) << grid << " row " << row << " col " << col;
        if (offered) {
            offered->clear();
            for (int k = 0; k < box->count(); ++k) offered->push_back(box->itemText(k));
        }
        const int k = box->findText(choice);
        ASSERT_GE(k, 0) << choice.toStdString();
        box->setCurrentIndex(k);
        QTest::keyClick(box, Qt::Key_Return);
        FlushClosedEditors();
        ASSERT_TRUE(app_->sync());
    }

    // The cell editor the view has open (a closed one lingers until its deferred delete).
    template <class E>
    static E* OpenEditor(QTableView* view) {
        for (E* e : view->viewport()->findChildren<E*>())
            if (e->isVisible()) return e;
        return nullptr;
    }
    // Enter commits through a queued call; run it, then drop the closed editor.
    static void FlushClosedEditors() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString CellText(const std::string& grid, int row, int col) {
        app_->sync();
        auto* view = Find<QTableView>(grid);
        return view ? view->model()->index(row - 1, col - 1).data().toString() : QString();
    }

    QStringList ComboItems(const std::string& name) {
        app_->sync();
        QStringList out;
        if (auto* box = Find<QComboBox>(name))
            for (int k = 0; k < box->count(); ++k) out << box->itemText(k);
        return out;
    }

    // The console as the window shows it once everything the test did has been carried out.
    const Console& C() {
        EXPECT_TRUE(app_->sync());
        return app_->view();
    }
    // Changes the console's own state, as a test's set-up, and waits until the window shows it.
    void Change(const std::function<void(Console&)>& f) { ASSERT_TRUE(app_->run(f)); }

    QTemporaryDir dir_;
    std::unique_ptr<ConsoleApp> app_;
    MainWindow* w_ = nullptr;
};

}  // namespace velmora::gui_test
