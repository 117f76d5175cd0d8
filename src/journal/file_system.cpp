#include "journal/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmora {

namespace {

std::string Reason() { return std::strerror(errno); }

class Posix final : public FileSystem {
  public:
    std::string Rename(const std::string& from, const std::string& to) override {
        return std::rename(from.c_str(), to.c_str()) == 0 ? std::string() : Reason();
    }
    std::string SyncFolder(const std::string& folder) override {
        const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return Reason();
        const bool ok = ::fsync(fd) == 0;
        const std::string reason = ok ? std::string() : Reason();
        ::close(fd);
        return reason;
    }
    std::string Remove(const std::string& path) override {
        return ::unlink(path.c_str()) == 0 || errno == ENOENT ? std::string() : Reason();
    }
};

}  // namespace

FileSystem& PosixFileSystem() {
    static Posix posix;
    return posix;
}

}  // namespace velmora
