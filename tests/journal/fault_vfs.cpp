#include "fault_vfs.h"

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>

namespace velmora::test {
namespace {

std::atomic<bool> gLogCannotOpen{false}, gLogFull{false}, gFileFull{false};
sqlite3_vfs* gBase = nullptr;
// A file keeps the base VFS's own struct; only its methods are swapped for a copy whose writes
// fail on demand. The base has one set of methods for databases and one for the other files.
struct Patched {
    const sqlite3_io_methods* real = nullptr;
    sqlite3_io_methods copy{};
} gDatabase, gOther;
std::mutex gMutex;
std::set<sqlite3_file*> gLogs;  // files of gOther that are logs
std::function<void()> gOnLogSync;

bool Full(sqlite3_file* f) {
    std::lock_guard lock(gMutex);
    return gLogs.count(f) ? gLogFull.load() : gFileFull.load();
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    const bool log = (flags & SQLITE_OPEN_WAL) != 0;
    if (log && gLogCannotOpen) return SQLITE_CANTOPEN;
    const int rc = gBase->xOpen(gBase, name, file, flags, outFlags);
    if (rc != SQLITE_OK || !file->pMethods) return rc;
    std::lock_guard lock(gMutex);
    Patched& p = (flags & SQLITE_OPEN_MAIN_DB) ? gDatabase : gOther;
    if (!p.real) {
        p.real = file->pMethods;
        p.copy = *p.real;
        p.copy.xWrite = [](sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
            const Patched& self = f->pMethods == &gDatabase.copy ? gDatabase : gOther;
            return Full(f) ? SQLITE_FULL : self.real->xWrite(f, b, n, at);
        };
        p.copy.xSync = [](sqlite3_file* f, int flags) {
            const Patched& self = f->pMethods == &gDatabase.copy ? gDatabase : gOther;
            std::unique_lock lock(gMutex);
            const std::function<void()> hook = gLogs.count(f) ? gOnLogSync : nullptr;
            lock.unlock();
            if (hook) hook();
            return self.real->xSync(f, flags);
        };
        p.copy.xClose = [](sqlite3_file* f) {
            const Patched& self = f->pMethods == &gDatabase.copy ? gDatabase : gOther;
            std::unique_lock lock(gMutex);
            gLogs.erase(f);
            lock.unlock();
            return self.real->xClose(f);
        };
    }
    if (file->pMethods != p.real) return rc;  // not the methods seen first: left alone
    file->pMethods = &p.copy;
    if (log) gLogs.insert(file);
    return rc;
}

}  // namespace

void SetDiskFaults(const DiskFaults& faults) {
    static sqlite3_vfs vfs = [] {
        gBase = sqlite3_vfs_find(nullptr);
        sqlite3_vfs v = *gBase;
        v.zName = "velmora-faults";
        v.xOpen = Open;
        v.pNext = nullptr;
        return v;
    }();
    static const int registered = sqlite3_vfs_register(&vfs, 1);
    (void)registered;
    gLogCannotOpen = faults.logCannotOpen;
    gLogFull = faults.logFull;
    gFileFull = faults.fileFull;
    std::lock_guard lock(gMutex);
    gOnLogSync = faults.onLogSync;
}

}  // namespace velmora::test
