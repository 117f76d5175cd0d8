#include "journal/log_warmer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr std::int64_t kLogHeaderBytes = 32;
constexpr std::int64_t kFrameHeaderBytes = 24;

}  // namespace

LogRange LogRangeAhead(int frames, int pageSize) {
    if (pageSize <= 0 || frames < 0) return {};
    const std::int64_t frameBytes = kFrameHeaderBytes + pageSize;
    return {kLogHeaderBytes + frames * frameBytes, kLogWarmFrames * frameBytes};
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

void LogWarmer::Ahead(int frames, int pageSize) {
    const LogRange r = LogRangeAhead(frames, pageSize);
    if (r.length == 0 || !Open()) return;
    // Only a hint: the kernel starts the reads of pages it does not hold and returns.
    ::posix_fadvise(fd_, r.offset, r.length, POSIX_FADV_WILLNEED);
}

}  // namespace velmora
