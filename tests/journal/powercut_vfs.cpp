#include "powercut_vfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
constexpr std::int64_t kSector = 512;

struct Pending {
    bool truncate = false;
    std::int64_t at = 0;  // offset, or the new size
    std::string bytes;
};
struct Inode {
    std::string durable;  // as of the file's last sync
    std::vector<Pending> pending;
};
struct FolderOp {
    std::string from, to;  // from empty: made; to empty: removed
    int inode = -1;
};

struct State {
    std::mutex mutex;
    sqlite3_vfs* base = nullptr;
    std::string folder;
    std::thread::id writer;
    std::vector<Inode> inodes;
    std::map<std::string, int> durableNames, names;  // name → inode
    std::vector<FolderOp> folderLog;                 // since the folder's last sync
    std::vector<DiskOpRecord> log;
    std::string phase;
    std::uint64_t cutAfter = 0, seed = 0;
    std::function<bool(const DiskOpRecord&)> cutAt;
    std::uint64_t cutAtLeft = 0;
    std::string into;
    bool cut = false;
} g;

struct File {
    sqlite3_file base;
    sqlite3_file* real;
    int inode;
    bool syncFolder;  // the OS layer syncs the folder at this file's first sync
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Apply(std::string& s, const Pending& p) {
    if (p.truncate) {
        s.resize(static_cast<std::size_t>(p.at));
        return;
    }
    const auto end = static_cast<std::size_t>(p.at) + p.bytes.size();
    if (s.size() < end) s.resize(end);
    s.replace(static_cast<std::size_t>(p.at), p.bytes.size(), p.bytes);
}

// What the disk holds of a file: every unsynced sector kept, dropped or torn (the new sector up
// to a point, then garbage, outside the written bytes too: no write is assumed to leave the
// rest of its sector alone).
std::string AfterCut(const Inode& f, std::mt19937_64& rng) {
    std::string s = f.durable;
    for (const Pending& p : f.pending) {
        if (p.truncate) {
            if (rng() % 2) Apply(s, p);
            continue;
        }
        std::string next = s;
        Apply(next, p);
        if (s.size() < next.size()) s.resize(next.size());
        const std::int64_t end = p.at + static_cast<std::int64_t>(p.bytes.size());
        for (std::int64_t sec = p.at / kSector * kSector; sec < end; sec += kSector) {
            const auto from = static_cast<std::size_t>(sec);
            const std::size_t len = std::min<std::size_t>(kSector, next.size() - from);
            switch (rng() % 5) {
                case 0:
                case 1:
                    s.replace(from, len, next, from, len);
                    break;
                case 2:
                case 3:
                    break;
                default: {
                    const std::size_t split = rng() % len;
                    s.replace(from, split, next, from, split);
                    for (std::size_t k = split; k < len; ++k)
                        s[from + k] = static_cast<char>(rng());
                }
            }
        }
    }
    return s;
}

// Called with the mutex held, after operation n.
void PowerFails() {
    g.cut = true;
    std::mt19937_64 rng(g.seed * 0x9E3779B97F4A7C15ULL + g.cutAfter);
    std::map<std::string, int> names = g.durableNames;
    const std::size_t kept = rng() % (g.folderLog.size() + 1);
    for (std::size_t k = 0; k < kept; ++k) {
        const FolderOp& op = g.folderLog[k];
        if (!op.from.empty()) names.erase(op.from);
        if (!op.to.empty()) names[op.to] = op.inode;
    }
    fs::create_directories(g.into);
    for (const auto& [name, inode] : names) {
        // The log's index is memory shared between connections: SQLite makes it anew.
        if (name.ends_with("-shm")) continue;
        std::ofstream out(g.into + "/" + fs::path(name).filename().string(), std::ios::binary);
        const std::string bytes = AfterCut(g.inodes[static_cast<std::size_t>(inode)], rng);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
}

// Counts one operation (it went through); the power fails right after the chosen one.
void Count(DiskOp op) {
    g.log.push_back({op, std::this_thread::get_id() == g.writer, g.phase});
    if (g.log.size() == g.cutAfter || (g.cutAt && g.cutAt(g.log.back()) && --g.cutAtLeft == 0)) {
        g.cutAfter = g.log.size();
        PowerFails();
    }
}

void SyncFolderLocked() {
    g.durableNames = g.names;
    g.folderLog.clear();
}

bool Followed(const std::string& path) { return path.rfind(g.folder + "/", 0) == 0; }

int InodeOf(const std::string& path, bool made) {
    if (made || !g.names.count(path)) {
        g.inodes.push_back({made ? std::string() : ReadAll(path), {}});
        const int id = static_cast<int>(g.inodes.size() - 1);
        g.names[path] = id;
        if (made)
            g.folderLog.push_back({{}, path, id});
        else
            g.durableNames[path] = id;
    }
    return g.names[path];
}

File* Of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

int Close(sqlite3_file* f) {
    const int rc = Of(f)->real->pMethods->xClose(Of(f)->real);
    Of(f)->real->pMethods = nullptr;
    return rc;
}
int Read(sqlite3_file* f, void* b, int n, sqlite3_int64 at) {
    return Of(f)->real->pMethods->xRead(Of(f)->real, b, n, at);
}
int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
    std::lock_guard lock(g.mutex);
    if (g.cut) return SQLITE_IOERR_WRITE;
    const int rc = Of(f)->real->pMethods->xWrite(Of(f)->real, b, n, at);
    if (rc == SQLITE_OK && Of(f)->inode >= 0) {
        g.inodes[static_cast<std::size_t>(Of(f)->inode)].pending.push_back(
            {false, at, std::string(static_cast<const char*>(b), static_cast<std::size_t>(n))});
        Count(DiskOp::Write);
    }
    return rc;
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    std::lock_guard lock(g.mutex);
    if (g.cut) return SQLITE_IOERR_TRUNCATE;
    const int rc = Of(f)->real->pMethods->xTruncate(Of(f)->real, size);
    if (rc == SQLITE_OK && Of(f)->inode >= 0) {
        g.inodes[static_cast<std::size_t>(Of(f)->inode)].pending.push_back({true, size, {}});
        Count(DiskOp::Truncate);
    }
    return rc;
}
// The real sync is left out: the layer decides what survives, and the test runs at memory speed.
int Sync(sqlite3_file* f, int) {
    std::lock_guard lock(g.mutex);
    if (g.cut) return SQLITE_IOERR_FSYNC;
    if (Of(f)->inode < 0) return SQLITE_OK;
    Inode& n = g.inodes[static_cast<std::size_t>(Of(f)->inode)];
    for (const Pending& p : n.pending) Apply(n.durable, p);
    n.pending.clear();
    if (Of(f)->syncFolder) SyncFolderLocked();
    Of(f)->syncFolder = false;
    Count(DiskOp::Sync);
    return SQLITE_OK;
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    return Of(f)->real->pMethods->xFileSize(Of(f)->real, size);
}
int Lock(sqlite3_file* f, int l) { return Of(f)->real->pMethods->xLock(Of(f)->real, l); }
int Unlock(sqlite3_file* f, int l) { return Of(f)->real->pMethods->xUnlock(Of(f)->real, l); }
int CheckLock(sqlite3_file* f, int* out) {
    return Of(f)->real->pMethods->xCheckReservedLock(Of(f)->real, out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
    return Of(f)->real->pMethods->xFileControl(Of(f)->real, op, arg);
}
int SectorSize(sqlite3_file* f) { return Of(f)->real->pMethods->xSectorSize(Of(f)->real); }
int Characteristics(sqlite3_file* f) {
    return Of(f)->real->pMethods->xDeviceCharacteristics(Of(f)->real);
}
int ShmMap(sqlite3_file* f, int i, int size, int extend, void volatile** p) {
    return Of(f)->real->pMethods->xShmMap(Of(f)->real, i, size, extend, p);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return Of(f)->real->pMethods->xShmLock(Of(f)->real, offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Of(f)->real->pMethods->xShmBarrier(Of(f)->real); }
int ShmUnmap(sqlite3_file* f, int del) {
    return Of(f)->real->pMethods->xShmUnmap(Of(f)->real, del);
}
int Fetch(sqlite3_file* f, sqlite3_int64 at, int n, void** p) {
    *p = nullptr;  // every read goes through xRead
    (void)f, (void)at, (void)n;
    return SQLITE_OK;
}
int Unfetch(sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; }

const sqlite3_io_methods kMethods = {
    3,        Close,     Read,        Write,      Truncate,        Sync,   FileSize, Lock,
    Unlock,   CheckLock, FileControl, SectorSize, Characteristics, ShmMap, ShmLock,  ShmBarrier,
    ShmUnmap, Fetch,     Unfetch};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    File* f = Of(file);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->real->pMethods = nullptr;
    f->inode = -1;
    f->syncFolder = false;
    file->pMethods = nullptr;
    const std::string path = name ? name : "";
    std::lock_guard lock(g.mutex);
    const bool followed = !path.empty() && Followed(path);
    const bool made = followed && (flags & SQLITE_OPEN_CREATE) && !fs::exists(path);
    if (made && g.cut) return SQLITE_CANTOPEN;
    const int rc = g.base->xOpen(g.base, name, f->real, flags, outFlags);
    if (rc != SQLITE_OK || !f->real->pMethods) return rc;
    file->pMethods = &kMethods;
    if (!followed) return rc;
    if (g.writer == std::thread::id()) g.writer = std::this_thread::get_id();
    f->inode = InodeOf(path, made);
    // As the operating system's layer does: a new log or rollback journal syncs its folder at
    // its first sync, so that its name outlives a power cut.
    f->syncFolder =
        made && (flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_SUPER_JOURNAL));
    if (made) Count(DiskOp::Create);
    return rc;
}

int Delete(sqlite3_vfs*, const char* name, int syncFolder) {
    std::lock_guard lock(g.mutex);
    if (g.cut) return SQLITE_IOERR_DELETE;
    const int rc = g.base->xDelete(g.base, name, 0);
    const std::string path = name;
    if (rc == SQLITE_OK && Followed(path) && g.names.count(path)) {
        g.folderLog.push_back({path, {}, g.names[path]});
        g.names.erase(path);
        if (syncFolder) SyncFolderLocked();
        Count(DiskOp::Delete);
    }
    return rc;
}

class Files final : public FileSystem {
  public:
    std::string Rename(const std::string& from, const std::string& to) override {
        std::lock_guard lock(g.mutex);
        if (g.cut) return "Input/output error";
        InodeOf(from, false);
        std::string why = PosixFileSystem().Rename(from, to);
        if (!why.empty()) return why;
        const int id = g.names[from];
        g.names.erase(from);
        g.names[to] = id;
        g.folderLog.push_back({from, to, id});
        Count(DiskOp::Rename);
        return {};
    }
    std::string SyncFolder(const std::string&) override {
        std::lock_guard lock(g.mutex);
        if (g.cut) return "Input/output error";
        SyncFolderLocked();
        Count(DiskOp::FolderSync);
        return {};
    }
    std::string Remove(const std::string& path) override {
        std::lock_guard lock(g.mutex);
        if (g.cut) return "Input/output error";
        std::string why = PosixFileSystem().Remove(path);
        if (why.empty() && g.names.count(path)) {
            g.folderLog.push_back({path, {}, g.names[path]});
            g.names.erase(path);
            Count(DiskOp::Delete);
        }
        return why;
    }
} gFiles;

sqlite3_vfs gVfs;

}  // namespace

PowerCutDisk::PowerCutDisk(std::string folder) {
    std::lock_guard lock(g.mutex);
    g.base = sqlite3_vfs_find("unix");
    g.folder = std::move(folder);
    gVfs = *g.base;
    gVfs.zName = "velmora-powercut";
    gVfs.szOsFile = static_cast<int>(sizeof(File)) + g.base->szOsFile;
    gVfs.xOpen = Open;
    gVfs.xDelete = Delete;
    gVfs.pNext = nullptr;
    sqlite3_vfs_register(&gVfs, 1);
}

PowerCutDisk::~PowerCutDisk() {
    sqlite3_vfs_unregister(&gVfs);
    std::lock_guard lock(g.mutex);
    g.inodes.clear();
    g.names.clear();
    g.durableNames.clear();
    g.folderLog.clear();
    g.log.clear();
    g.phase.clear();
    g.cutAfter = 0;
    g.cutAt = nullptr;
    g.writer = {};
    g.cut = false;
}

void PowerCutDisk::CutAfter(std::uint64_t n, std::uint64_t seed, std::string into) {
    std::lock_guard lock(g.mutex);
    g.cutAfter = n;
    g.seed = seed;
    g.into = std::move(into);
}

void PowerCutDisk::CutAtMatch(std::function<bool(const DiskOpRecord&)> at, std::uint64_t k,
                              std::uint64_t seed, std::string into) {
    std::lock_guard lock(g.mutex);
    g.cutAt = std::move(at);
    g.cutAtLeft = k;
    g.seed = seed;
    g.into = std::move(into);
}

void PowerCutDisk::CutNow(std::uint64_t seed, std::string into) {
    std::lock_guard lock(g.mutex);
    g.cutAfter = g.log.size();
    g.seed = seed;
    g.into = std::move(into);
    PowerFails();
}

bool PowerCutDisk::Cut() const {
    std::lock_guard lock(g.mutex);
    return g.cut;
}

std::vector<DiskOpRecord> PowerCutDisk::Log() const {
    std::lock_guard lock(g.mutex);
    return g.log;
}

void PowerCutDisk::SetPhase(std::string phase) {
    std::lock_guard lock(g.mutex);
    g.phase = std::move(phase);
}

FileSystem& PowerCutDisk::files() { return gFiles; }

}  // namespace velmora::test
