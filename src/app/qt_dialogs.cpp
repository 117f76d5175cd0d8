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

QString TitleOr(std::string_view title) {
    return title.empty() ? QApplication::applicationDisplayName() : Q(title);
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
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, TitleOr(title), Q(prompt),
                                               QLineEdit::Normal, Q(defaultText), &ok);
    return ok ? text.toStdString() : std::string();
}

std::string QtDialogs::SaveFileDialog(std::string_view title, std::string_view filter) {
    requests_.push_back({Kind::Save, std::string(title), {}, std::string(filter)});
    if (!saveAnswers_.empty()) {
        std::string a = std::move(saveAnswers_.front());
        saveAnswers_.pop_front();
        return a;
    }
    if (nonInteractive_) return "";
    const QString path =
        QFileDialog::getSaveFileName(parent_, Q(title), QString(), Q(QtFilter(filter)));
    return path.toStdString();
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
