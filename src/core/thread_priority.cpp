#include "core/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace velmora {

namespace {

// The nice value of a thread (Linux keeps one per thread); none when the system refused.
std::optional<int> NiceOf(id_t tid) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, tid);
    if (nice == -1 && errno != 0) return std::nullopt;
    return nice;
}

}  // namespace

bool LowerThisThreadsPriority() {
    const auto tid = static_cast<id_t>(::gettid());
    const std::optional<int> now = NiceOf(tid);
    if (!now) return false;
    // The first caller is still at the console's own priority: the base for every thread.
    static const int base = *now;
    const int target = std::min(19, base + kBackgroundNice);
    if (*now >= target) return true;
    return ::setpriority(PRIO_PROCESS, tid, target) == 0;
}

}  // namespace velmora
