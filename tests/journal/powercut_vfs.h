#pragma once
// A power cut without pulling a plug: an SQLite VFS over the operating system's that remembers,
// per file, what was written since that file's last sync, and per folder which names were
// made, renamed or removed since the folder's last sync. Files are written through as usual;
// at the chosen operation the layer writes, into another folder, what a disk could hold after
// the power failed there: each unsynced 512-byte sector kept, dropped or torn, and the folder's
// unsynced changes kept up to a point (a journaling file system keeps them in order). From
// then on every write fails, as on a machine without power.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "journal/file_system.h"

namespace velmora::test {

enum class DiskOp { Write, Sync, Truncate, Create, Delete, Rename, FolderSync };

struct DiskOpRecord {
    DiskOp op;
    bool writerThread;  // the thread that opened the journal first; false: another (the
                        // checkpointer's)
    std::string phase;  // the test's label at the time
};

class PowerCutDisk {
  public:
    // Installs the VFS as the default while it lives; files under `folder` are followed.
    explicit PowerCutDisk(std::string folder);
    ~PowerCutDisk();
    PowerCutDisk(const PowerCutDisk&) = delete;
    PowerCutDisk& operator=(const PowerCutDisk&) = delete;

    // The power fails right after operation `n` (1 = the first); what the disk then holds is
    // written to `into`, chosen by `seed`. 0: never.
    void CutAfter(std::uint64_t n, std::uint64_t seed, std::string into);
    // The power fails right after the k-th operation `at` picks (k = 1: the first): a moment
    // of a kind, wherever the threads' timing puts it.
    void CutAtMatch(std::function<bool(const DiskOpRecord&)> at, std::uint64_t k,
                    std::uint64_t seed, std::string into);
    // The power fails now.
    void CutNow(std::uint64_t seed, std::string into);
    bool Cut() const;
    // Every operation so far, in order (for choosing where to cut).
    std::vector<DiskOpRecord> Log() const;
    void SetPhase(std::string phase);
    // What the journal's folder operations go through, seen by the layer.
    FileSystem& files();
};

}  // namespace velmora::test
