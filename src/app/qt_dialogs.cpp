#include "app/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace velmora {

namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Dialogs take the text size of the window's canvas, so they grow with the window's scale.
void TakeWindowFont(QWidget* dialog, QWidget* parent) {
    if (parent == nullptr) return;
    if (auto* canvas = parent->findChild<QWidget*>(QStringLiteral("Canvas")))
        dialog->setFont(canvas->font());
}

QString TitleOr(std::string_view title) {
    return title.empty() ? QString::fromUtf8(QtDialogs::kDefaultTitle) : Q(title);
}

}  // namespace

MessageAnswer QtDialogs::MessageBox(std::string_view text, std::string_view title,
                                    MessageButtons buttons, MessageIcon icon) {
    requests_.push_back({Kind::Message, std::string(text), std::string(title), {}, buttons, icon});
    if (!messageAnswers_.empty()) {
        const MessageAnswer a = messageAnswers_.front();
        messageAnswers_.pop_front();
        return a;
    }
    const bool yesNo = buttons == MessageButtons::YesNo;
    if (nonInteractive_) return yesNo ? MessageAnswer::No : MessageAnswer::Ok;

    QMessageBox box(parent_);
    TakeWindowFont(&box, parent_);
    box.setWindowTitle(TitleOr(title));
    box.setText(Q(text));
    box.setIcon(icon == MessageIcon::Critical      ? QMessageBox::Critical
                : icon == MessageIcon::Information ? QMessageBox::Information
                                                   : QMessageBox::NoIcon);
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // No is the default: an Enter press never confirms a stop, delete or end by accident.
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int r = box.exec();
    if (!yesNo) return MessageAnswer::Ok;
    return r == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

std::string QtDialogs::InputBox(std::string_view prompt, std::string_view title,
                                std::string_view defaultText) {
    requests_.push_back(
        {Kind::Input, std::string(prompt), std::string(title), std::string(defaultText)});
    if (!inputAnswers_.empty()) {
        std::string a = std::move(inputAnswers_.front());
        inputAnswers_.pop_front();
        return a;
    }
    if (nonInteractive_) return "";
    QInputDialog dialog(parent_);
    TakeWindowFont(&dialog, parent_);
    dialog.setWindowTitle(TitleOr(title));
    dialog.setLabelText(Q(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(Q(defaultText));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue().toStdString() : std::string();
}

std::string QtDialogs::SaveFileDialog(std::string_view title, std::string_view filter) {
    requests_.push_back({Kind::Save, std::string(title), {}, std::string(filter)});
    if (!saveAnswers_.empty()) {
        std::string a = std::move(saveAnswers_.front());
        saveAnswers_.pop_front();
        return a;
    }
    if (nonInteractive_) return "";
    // Qt's own dialog rather than the platform's, so that it is the same everywhere and in
    // Japanese wherever the Qt translations are installed.
    const QString filters = Q(QtFilter(filter));
    QFileDialog dialog(parent_, Q(title));
    TakeWindowFont(&dialog, parent_);
    dialog.setObjectName(QStringLiteral("ComDilg"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filters);
    // A name typed without an extension gets the one of the chosen filter (".txt").
    auto suffix = [](const QString& f) { return Q(DefaultSuffix(f.toStdString())); };
    dialog.setDefaultSuffix(suffix(filters.section(QStringLiteral(";;"), 0, 0)));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, suffix](const QString& f) { dialog.setDefaultSuffix(suffix(f)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
    return dialog.selectedFiles().constFirst().toStdString();
}

std::string QtDialogs::DefaultSuffix(std::string_view qtFilter) {
    // "テキストデータ (*.txt)" → "txt"; "(*.*)", "(*)" or no pattern → none.
    const QString f = Q(qtFilter);
    const qsizetype open = f.lastIndexOf(QLatin1Char('('));
    const qsizetype close = f.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open) return {};
    const QString first = f.mid(open + 1, close - open - 1).section(QLatin1Char(' '), 0, 0);
    if (!first.startsWith(QStringLiteral("*."))) return {};
    const QString ext = first.mid(2);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')))
        return {};
    return ext.toStdString();
}

void QtDialogs::Beep() {
    ++beeps_;
    QApplication::beep();
}

std::string QtDialogs::QtFilter(std::string_view filter) {
    // Pairs of description and pattern; a description without a pattern shows everything.
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString& desc = parts[i];
        QString pat = i + 1 < parts.size() ? parts[i + 1] : QString();
        if (desc.isEmpty() && pat.isEmpty()) continue;
        pat.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (pat.isEmpty()) pat = QStringLiteral("*");
        // A description that already names its pattern ("Text (*.txt)") is kept as it is.
        if (desc.endsWith(QStringLiteral("(%1)").arg(pat)))
            out << desc;
        else
            out << QStringLiteral("%1 (%2)").arg(desc, pat);
    }
    return out.join(QStringLiteral(";;")).toStdString();
}

}  // namespace velmora
