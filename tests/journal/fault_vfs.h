#pragma once
// Disk faults without root: an SQLite VFS over the default one that fails on demand. Installed
// as the default VFS, it reaches every connection the journal opens.
#include <functional>

namespace velmora::test {

struct DiskFaults {
    bool logCannotOpen = false;  // the -wal file cannot be created
    bool logFull = false;        // writes to the -wal file fail as on a full disk
    bool fileFull = false;       // writes to the database file fail as on a full disk
    // Runs on the syncing thread before each sync of a -wal file (to count or hold syncs).
    std::function<void()> onLogSync = nullptr;
};

// Installs the VFS (once) and sets the faults it plays from now on; {} plays none.
void SetDiskFaults(const DiskFaults& faults);

// Plays `faults` for its lifetime.
struct ScopedDiskFaults {
    explicit ScopedDiskFaults(const DiskFaults& faults) { SetDiskFaults(faults); }
    ~ScopedDiskFaults() { SetDiskFaults({}); }
};

}  // namespace velmora::test
