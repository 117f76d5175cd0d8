#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace velmora {

namespace {

std::string Reason(const char* what, int err) {
    return std::string(what) + ": " + std::strerror(err);
}

bool Fail(std::string* error, std::string reason) {
    if (error != nullptr) *error = std::move(reason);
    return false;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Closes and removes the temporary file unless it has been renamed into place.
class TempFile {
  public:
    explicit TempFile(std::string pattern) : name_(std::move(pattern)) {
        std::vector<char> buf(name_.begin(), name_.end());
        buf.push_back('\0');
        fd_ = ::mkstemp(buf.data());
        opened_ = fd_ >= 0;
        if (opened_) name_.assign(buf.data());
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_ && opened_) ::unlink(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Opened() const { return opened_; }
    int fd() const { return fd_; }
    const std::string& name() const { return name_; }
    // Closes the descriptor; false (errno set) when the data could not be written out.
    bool Close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }
    void Committed() { committed_ = true; }

  private:
    std::string name_;
    int fd_ = -1;
    bool opened_ = false;
    bool committed_ = false;
};

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    if (path.empty()) return Fail(error, "No file name given");

    // An existing file keeps its permissions; a new one is readable by everybody.
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Fail(error, Reason(path.c_str(), EISDIR));
        mode = st.st_mode & 07777;
    }

    TempFile temp(path + ".tmpXXXXXX");
    if (!temp.Opened())
        return Fail(error, Reason(("Cannot create a file in " + FolderOf(path)).c_str(), errno));
    if (::fchmod(temp.fd(), mode) != 0) return Fail(error, Reason("Cannot set permissions", errno));
    if (!WriteAll(temp.fd(), bytes))
        return Fail(error, Reason(("Cannot write " + temp.name()).c_str(), errno));
    // The data must be on disk before the rename makes it the file's content.
    if (::fsync(temp.fd()) != 0)
        return Fail(error, Reason(("Cannot flush " + temp.name()).c_str(), errno));
    if (!temp.Close()) return Fail(error, Reason(("Cannot close " + temp.name()).c_str(), errno));
    if (::rename(temp.name().c_str(), path.c_str()) != 0)
        return Fail(error, Reason(("Cannot replace " + path).c_str(), errno));
    temp.Committed();

    // Make the rename itself durable; a failure here no longer endangers the content.
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        out.reserve(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), maxBytes));
    char buf[64 * 1024];
    bool ok = true;
    while (out.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buf, maxBytes - out.size());
        const ssize_t n = ::read(fd, buf, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}

}  // namespace velmora
