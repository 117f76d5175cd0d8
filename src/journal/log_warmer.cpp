#include "journal/log_warmer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr std::int64_t kLogHeaderBytes = 32;
constexpr std::int64_t kFrameHeaderBytes = 24;

}  // namespace

std::vector<LogRange> LogRangesAhead(int frames, int pageSize, bool rewound) {
    if (pageSize <= 0 || frames < 0) return {};
    const std::int64_t frameBytes = kFrameHeaderBytes + pageSize;
    const std::int64_t ahead = kLogWarmFrames * frameBytes;
    const std::int64_t end = kLogHeaderBytes + frames * frameBytes;
    if (!rewound) return {{end, ahead}};
    // The start again, and the end too: a checkpoint that could not copy every frame (a
    // reader still on them) leaves the log to go on growing.
    if (end <= kLogHeaderBytes + ahead) return {{0, end + ahead}};
    return {{0, kLogHeaderBytes + ahead}, {end, ahead}};
}

LogWarmer::~LogWarmer() {
    if (fd_ >= 0) ::close(fd_);
}

bool LogWarmer::Open() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return false;
    if (fd_ >= 0 && st.st_dev == dev_ && st.st_ino == ino_) return true;
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    if (::fstat(fd_, &st) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    return true;
}

void LogWarmer::Ahead(int frames, int pageSize, bool rewound) {
    if (!Open()) return;
    // Only a hint: the kernel starts the reads of pages it does not hold and returns.
    for (const LogRange& r : LogRangesAhead(frames, pageSize, rewound))
        ::posix_fadvise(fd_, r.offset, r.length, POSIX_FADV_WILLNEED);
}

}  // namespace velmora
