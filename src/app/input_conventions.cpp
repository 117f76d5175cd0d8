#include "app/input_conventions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

namespace velmora {

namespace {

void SelectAll(QObject* w) {
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // Caret to the start, then select to the end ("{Home}" then "+{End}").
        edit->setCursorPosition(0);
        edit->setSelection(0, static_cast<int>(edit->text().size()));
    }
}

// Window switches and pop-ups are not the crew moving between fields.
bool IsFieldChange(const QFocusEvent* e) {
    return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
}

}  // namespace

void InputConventions::Attach(QWidget* w, Field field) {
    fields_.insert(w, std::move(field));
    w->installEventFilter(this);
    connect(w, &QObject::destroyed, this, [this, w] { fields_.remove(w); });
}

bool InputConventions::eventFilter(QObject* watched, QEvent* event) {
    auto it = fields_.constFind(watched);
    if (it == fields_.constEnd()) return false;
    const Field& f = it.value();
    switch (event->type()) {
        case QEvent::FocusIn: {
            auto* fe = static_cast<QFocusEvent*>(event);
            if (f.selectAllOnEntry) {
                // After the mouse press has placed the caret, not before.
                QTimer::singleShot(0, watched, [watched] { SelectAll(watched); });
            }
            if (f.gotFocus && IsFieldChange(fe)) f.gotFocus();
            break;
        }
        case QEvent::FocusOut: {
            auto* fe = static_cast<QFocusEvent*>(event);
            if (f.lostFocus && IsFieldChange(fe)) f.lostFocus();
            break;
        }
        case QEvent::MouseButtonRelease:
            if (f.selectAllOnEntry) SelectAll(watched);
            break;
        case QEvent::KeyPress: {
            auto* ke = static_cast<QKeyEvent*>(event);
            if (f.enterMovesOn && (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) &&
                ke->modifiers() == Qt::NoModifier) {
                if (auto* box = qobject_cast<QComboBox*>(watched); box && box->view()->isVisible())
                    return false;  // Enter chooses in an open list
                QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
                QApplication::sendEvent(watched, &tab);
                return true;
            }
            break;
        }
        default:
            break;
    }
    return false;
}

}  // namespace velmora
