#pragma once
// Keeps the part of the write-ahead log the next commits will write in the system's page
// cache. A frame is a 24-byte header and a page, so frames straddle the file's 4 KiB pages,
// and a file page that is not in the cache must be read from the disk before part of it can
// be written: one synchronous read after another inside the commit, before its sync begins.
// The log is written over from its start after each checkpoint, so the pages a commit writes
// were last touched a whole cycle earlier, minutes ago: long enough for a machine short of
// memory, or one whose host reclaims idle cache, to have dropped them. Asking the kernel to
// read them ahead, after a write whose replies have gone, takes those reads off the next lap.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace velmora {

// A byte range of the log.
struct LogRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    bool operator==(const LogRange&) const = default;
};

// The frames read ahead of the log's end: several commits' worth (a lap's commit writes 15 to
// 20 frames, with the padding after its last one).
inline constexpr int kLogWarmFrames = 128;

// What the next commits write after one that left `frames` frames of `pageSize` in the log
// (empty for no page size). With 0 frames, the log's start, where writing begins again once a
// checkpoint has copied the whole log back.
LogRange LogRangeAhead(int frames, int pageSize);

class LogWarmer {
  public:
    explicit LogWarmer(std::string logPath) : path_(std::move(logPath)) {}
    ~LogWarmer();
    LogWarmer(const LogWarmer&) = delete;
    LogWarmer& operator=(const LogWarmer&) = delete;

    // Asks the kernel to read LogRangeAhead into its cache without waiting for it. Nothing
    // happens while the log does not exist; a log deleted and made again is opened anew.
    void Ahead(int frames, int pageSize);

  private:
    bool Open();

    std::string path_;
    int fd_ = -1;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

}  // namespace velmora
