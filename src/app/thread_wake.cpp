#include "app/thread_wake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace velmora {

ThreadWake::ThreadWake(QObject* parent)
    : QObject(parent), fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        std::uint64_t count = 0;
        (void)!::read(fd_, &count, sizeof count);
        emit raised();
    });
}

ThreadWake::~ThreadWake() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
}

void ThreadWake::Raise() {
    if (fd_ < 0) {
        // No eventfd (out of descriptors): the queued signal still gets there, through Qt's lock.
        QMetaObject::invokeMethod(this, &ThreadWake::raised, Qt::QueuedConnection);
        return;
    }
    const std::uint64_t one = 1;
    (void)!::write(fd_, &one, sizeof one);
}

}  // namespace velmora
