#pragma once
// A wake-up another thread raises for this one without taking any lock this thread may hold.
// Posting a Qt event takes the receiving thread's event-queue lock; the engine, publishing at
// up to a hundred snapshots a second, waited on it whenever the window's thread (which gives
// way to the engine for a core) was preempted holding it. Raising this is one write to an
// eventfd; raisings before the wake is taken merge into one.
#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace velmora {

class ThreadWake : public QObject {
    Q_OBJECT
  public:
    explicit ThreadWake(QObject* parent = nullptr);
    ~ThreadWake() override;
    ThreadWake(const ThreadWake&) = delete;
    ThreadWake& operator=(const ThreadWake&) = delete;

    // Any thread.
    void Raise();

  signals:
    // On the thread this object lives on, once for any number of raisings before it.
    void raised();

  private:
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace velmora
