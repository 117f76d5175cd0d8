#include "app/rules_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/builder.h"
#include "rules/rule_settings.h"

namespace velmora {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

RulesDialog::RulesDialog(QWidget* parent, Console& view, EventSink sink)
    : QDialog(parent), view_(view), sink_(std::move(sink)) {
    setObjectName("Frm_Rules");
    setWindowTitle(QStringLiteral("走行規則"));
    const RuleSettings now = RuleSettingsOf(view_.st);
    const RuleTexts texts = FormatRuleFields(now.rules);

    auto* grid = new QGridLayout;
    int row = 0;
    for (const RuleFieldInfo& f : RuleFieldTable()) {
        auto* edit = new QLineEdit(Text(texts[static_cast<std::size_t>(f.field)]));
        edit->setObjectName(QStringLiteral("Txt_Rule_%1").arg(static_cast<int>(f.field)));
        edit->setAlignment(Qt::AlignRight);
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000.000")) +
                              16);
        fields_[static_cast<std::size_t>(f.field)] = edit;
        auto* caption = new QLabel(NameText(f.label));
        caption->setBuddy(edit);
        grid->addWidget(caption, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(new QLabel(NameText(f.unitText)), row, 2);
        ++row;
    }
    auto* hint = new QLabel(QStringLiteral("空欄は規則なし。時間は小数3桁まで。"));
    grid->addWidget(hint, row++, 0, 1, 3);

    auto message = [&](QLineEdit*& edit, const char* name, const char* caption,
                       const std::string& text) {
        edit = new QLineEdit(Text(text));
        edit->setObjectName(name);
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(20, QChar(0x3042))));
        grid->addWidget(new QLabel(QString::fromUtf8(caption)), row, 0);
        grid->addWidget(edit, row++, 1, 1, 2);
    };
    message(five_, "Txt_ChangeWarning5", "交代５分前の自動メッセージ", now.warnings.fiveMinutes);
    message(one_, "Txt_ChangeWarning1", "交代１分前の自動メッセージ", now.warnings.oneMinute);

    auto* ok = new QPushButton(QStringLiteral("登録"));
    ok->setObjectName("Btn_RulesOk");
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName("Btn_RulesCancel");
    connect(ok, &QPushButton::clicked, this, &RulesDialog::Register);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addLayout(buttons);
}

RulesDialog* RulesDialog::Open(QWidget* parent, Console& view, EventSink sink) {
    auto* d = new RulesDialog(parent, view, std::move(sink));
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setWindowModality(Qt::ApplicationModal);
    d->show();
    return d;
}

void RulesDialog::Register() {
    RuleTexts texts;
    for (std::size_t k = 0; k < kRuleFieldCount; ++k) texts[k] = fields_[k]->text().toStdString();
    const RuleDialogResult r =
        ReadRuleDialog(texts, five_->text().toStdString(), one_->text().toStdString());
    if (!r.settings) {
        view_.svc.dialogs.MessageBox(r.error, "", MessageButtons::Ok, MessageIcon::Critical);
        QLineEdit* wrong = field(r.field);
        wrong->setFocus(Qt::OtherFocusReason);
        wrong->selectAll();
        return;
    }
    if (!SaveRuleSettings(view_.paths.SettingsFilePath, *r.settings))
        view_.svc.dialogs.MessageBox(
            "走行規則を Velmora.ini に保存できません。この起動の間だけ有効です。", "",
            MessageButtons::Ok, MessageIcon::Critical);
    sink_([s = *r.settings](Console& c) { SetRuleSettings(c.st, s); });
    accept();
}

}  // namespace velmora
