#pragma once
// The "走行規則" dialog: one event's driving-time rules and the two driver-change warnings
// sent to the cars. It shows what the console holds; 登録 takes the texts only when every
// field is right (the first wrong one is named and gets the focus, nothing is saved), writes
// them into Velmora.ini and hands them to the console.
//
// Velmora.ini is written here, on the window's thread, like the window scale: the two never
// meet. The environment settings are written by the console's thread, but only from their
// own panel, which locks the console block (this dialog's button with it) while it is open.
#include <QDialog>
#include <QLineEdit>
#include <array>

#include "app/event_sink.h"
#include "rules/rule_fields.h"

namespace velmora {

class RulesDialog : public QDialog {
  public:
    // `view` is the window's copy of the console: its rules fill the fields, its dialog
    // service says what is wrong and its settings path is where the rules go.
    RulesDialog(QWidget* parent, Console& view, EventSink sink);

    // Opens the dialog over the window (application-modal) without waiting for it.
    static RulesDialog* Open(QWidget* parent, Console& view, EventSink sink);

    QLineEdit* field(RuleField f) const { return fields_[static_cast<std::size_t>(f)]; }
    QLineEdit* fiveMinutes() const { return five_; }
    QLineEdit* oneMinute() const { return one_; }

  private:
    void Register();

    Console& view_;
    EventSink sink_;
    std::array<QLineEdit*, kRuleFieldCount> fields_{};
    QLineEdit* five_ = nullptr;
    QLineEdit* one_ = nullptr;
};

}  // namespace velmora
