#pragma once
// The folder operations the journal does outside SQLite: renaming a journal aside, syncing the
// folder so that a rename survives a power cut, and removing what a failed creation made.
// Production uses the operating system's; a test can put a layer in between that sees them.
#include <string>

namespace velmora {

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // Each returns "" on success, otherwise the system's reason.
    virtual std::string Rename(const std::string& from, const std::string& to) = 0;
    // Makes the folder's entries (names created, renamed or removed in it) durable.
    virtual std::string SyncFolder(const std::string& folder) = 0;
    virtual std::string Remove(const std::string& path) = 0;
};

// The operating system's (rename(2), fsync(2) of the folder, unlink(2)); it keeps no state.
FileSystem& PosixFileSystem();

}  // namespace velmora
