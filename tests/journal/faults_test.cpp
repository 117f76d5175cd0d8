// A journal that cannot be written never stops the race: the crew is told once, with the
// path and the reason, every car is still answered, and once the fault has gone the journal
// is whole again and the crew is told that too. Full and read-only disks are small tmpfs
// mounts (root only: skipped elsewhere) or, without root, an SQLite VFS that fails on demand.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fault_vfs.h"
#include "journal/journal_file.h"
#include "journal_rig.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class SmallDisk {
  public:
    SmallDisk(const std::string& dir, const char* options) : dir_(dir) {
        mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, options) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount(dir_.c_str());
    }
    bool mounted() const { return mounted_; }
    void Fill() {
        std::ofstream out(dir_ + "/filler", std::ios::binary);
        const std::string block(512, 'x');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size())) && out.flush()) {
        }
    }
    void Free() { fs::remove(dir_ + "/filler"); }

  private:
    std::string dir_;
    bool mounted_ = false;
};

// The race goes on: car 0 drives a lap, and its reply carries the new count.
void ExpectTheRaceGoesOn(JournalRig& rig, std::int64_t tick, const std::string& count) {
    rig.AtTick(tick);
    rig.Tick(0);
    ASSERT_TRUE(rig.runner(0).AwayFlag);
    const std::size_t sent = rig.net.sent.size();
    rig.CarAt(0, tick + 5'000);
    ASSERT_EQ(rig.net.sent.size(), sent + 1);
    EXPECT_EQ(rig.net.sent.back().bytes.substr(0, 4), "N" + count);
}

void ExpectOneReport(const JournalRig& rig, const std::string& reason) {
    ASSERT_EQ(rig.faults.size(), 1u);
    EXPECT_EQ(
        rig.faults[0].rfind(
            "走行記録ファイルに書き込めません。記録なしで計測を続けます。\n" + rig.path + "\n(", 0),
        0u)
        << rig.faults[0];
    EXPECT_NE(rig.faults[0].find(reason), std::string::npos) << rig.faults[0];
}

// Once the fault has gone (and the retry time has passed), the journal holds the race whole.
void ExpectWholeAgain(JournalRig& rig) {
    rig.mono.AdvanceMs(30'000);
    rig.console.CommitJournal();
    ASSERT_TRUE(rig.journal->Writing());
    EXPECT_EQ(rig.faults.back(), "走行記録ファイルへの記録を再開しました。\n" + rig.path);
    rig.Flush();
    rig.journal.reset();
    rig.console.journal = nullptr;
    RestartedConsole back(rig.path, rig.wall.realMs);
    ASSERT_TRUE(back.restored.ok) << back.restored.error;
    back.Resume();
    SystemClockTick(rig.console);
    for (const std::string& d : Differences(rig.console, back.console)) ADD_FAILURE() << d;
}

TEST(JournalFaults, AFolderInThePlaceOfTheFile) {
    TempFolder dir;
    JournalRig rig(dir.File("VelmoraJournal.db"));
    fs::create_directory(rig.path);
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 2, 1000, 31'000);
    ExpectOneReport(rig, "Is a directory");
    ExpectTheRaceGoesOn(rig, 100'000, "003");
    EXPECT_EQ(rig.faults.size(), 1u);  // once, however often it fails
    fs::remove(rig.path);
    ExpectWholeAgain(rig);
}

TEST(JournalFaults, AReadOnlyFolder) {
    TempFolder dir;
    const std::string folder = dir.File("ro");
    fs::create_directory(folder);
    SmallDisk disk(folder, "size=256k,mode=0555");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    JournalRig rig(folder + "/VelmoraJournal.db");
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 1, 1000, 31'000);
    ExpectOneReport(rig, "unable to open");
    ExpectTheRaceGoesOn(rig, 70'000, "002");
    EXPECT_EQ(rig.faults.size(), 1u);
    ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT, "mode=0755"), 0);
    ExpectWholeAgain(rig);
}

TEST(JournalFaults, AFullDisk) {
    TempFolder dir;
    const std::string folder = dir.File("small");
    fs::create_directory(folder);
    SmallDisk disk(folder, "size=512k");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    JournalRig rig(folder + "/VelmoraJournal.db");
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 1, 1000, 31'000);
    ASSERT_TRUE(rig.faults.empty());
    disk.Fill();
    // Laps go on while nothing can be written; every reply still goes out.
    for (int lap = 2; lap <= 6; ++lap)
        ExpectTheRaceGoesOn(rig, 32'000 + lap * 20'000, "00" + std::to_string(lap));
    ExpectOneReport(rig, "full");
    disk.Free();
    ExpectWholeAgain(rig);
}

TEST(JournalFaults, TheFileRemovedWhileTheRaceRuns) {
    TempFolder dir;
    JournalRig rig(dir.File("VelmoraJournal.db"));
    rig.PrepareRace();
    rig.Start();
    rig.DriveLaps(0, 1, 1000, 31'000);
    fs::remove(rig.path);
    fs::remove(rig.path + "-wal");
    fs::remove(rig.path + "-shm");
    ExpectTheRaceGoesOn(rig, 60'000, "002");
    ExpectOneReport(rig, "moved, removed or replaced");
    // The retry starts a new file and writes the whole race into it.
    ExpectWholeAgain(rig);
}

TEST(JournalFaults, ACreationThatFailsLeavesNothingBehindAndHeals) {
    struct Case {
        const char* what;
        DiskFaults faults;
        const char* reason;
    };
    const Case cases[] = {
        {"a full disk", {.logFull = true, .fileFull = true}, "full"},
        {"the disk full between the switch to the log and the tables", {.logFull = true}, "full"},
        {"the log cannot be created", {.logCannotOpen = true}, "unable to open"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TempFolder dir;
        JournalRig rig(dir.File("VelmoraJournal.db"));
        // A file at the path is set aside by the creation, and must stay as it was.
        std::ofstream(rig.path) << "an older race";
        {
            ScopedDiskFaults faults(k.faults);
            rig.PrepareRace();
            rig.Start();
            rig.DriveLaps(0, 1, 1000, 31'000);
            for (int retry = 0; retry < 3; ++retry) {
                rig.mono.AdvanceMs(30'000);
                rig.console.CommitJournal();
            }
            ExpectOneReport(rig, k.reason);
            const std::vector<std::string> left = dir.Entries();
            ASSERT_EQ(left.size(), 1u) << testing::PrintToString(left);
            EXPECT_EQ(Slurp(dir.File(left[0])), "an older race");
        }
        ExpectWholeAgain(rig);
    }
}

TEST(JournalFaults, AnEndWhoseLogCannotGoIntoTheFileSaysToKeepTheLog) {
    for (const bool full : {false, true}) {
        SCOPED_TRACE(full ? "disk full at End" : "a clean End");
        TempFolder dir;
        JournalRig rig(dir.File("VelmoraJournal.db"));
        rig.PrepareRace();
        ScopedDiskFaults faults({.fileFull = full});
        const std::string told = rig.journal->Finish();
        EXPECT_EQ(CheckJournal(rig.path).found, JournalFound::Finished);
        EXPECT_EQ(fs::exists(rig.path + "-wal"), full);
        if (full) {
            EXPECT_EQ(told.rfind("走行記録ファイルを１つにまとめられませんでした。", 0), 0u)
                << told;
            EXPECT_NE(told.find(rig.path + "-wal\n"), std::string::npos) << told;
        } else {
            EXPECT_EQ(told, "");
        }
    }
}

}  // namespace
}  // namespace velmora::test
