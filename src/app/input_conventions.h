#pragma once
// The window's input conventions as one event filter: select-all on entry, Enter moves on,
// and the per-field focus actions (got focus / lost focus).
#include <QHash>
#include <QObject>
#include <QWidget>
#include <functional>

namespace velmora {

class InputConventions : public QObject {
  public:
    struct Field {
        bool selectAllOnEntry = false;
        bool enterMovesOn = false;
        std::function<void()> gotFocus;
        std::function<void()> lostFocus;
    };

    explicit InputConventions(QObject* parent = nullptr) : QObject(parent) {}
    void Attach(QWidget* w, Field field);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QHash<QObject*, Field> fields_;
};

}  // namespace velmora
