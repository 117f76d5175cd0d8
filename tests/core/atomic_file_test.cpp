#include "core/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "temp_folder.h"

namespace velmora::test {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(AtomicFile, WritesANewFileAndReplacesAnOldOne) {
    TempFolder dir;
    const std::string path = dir.File("a.ini");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "first\r\n", &error)) << error;
    EXPECT_EQ(Slurp(path), "first\r\n");
    EXPECT_EQ(ModeOf(path), 0644u);

    ASSERT_TRUE(WriteFileAtomically(path, std::string("x\0y", 3), &error)) << error;
    EXPECT_EQ(Slurp(path), std::string("x\0y", 3));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.ini"});  // no temporary left
}

TEST(AtomicFile, AnExistingFileKeepsItsPermissions) {
    TempFolder dir;
    const std::string path = dir.File("a.ini");
    ASSERT_TRUE(WriteFileAtomically(path, "old"));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "new"));
    EXPECT_EQ(ModeOf(path), 0600u);
}

TEST(AtomicFile, AnEmptyContentGivesAnEmptyFile) {
    TempFolder dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("e"), ""));
    std::string out = "junk";
    EXPECT_TRUE(ReadWholeFile(dir.File("e"), out));
    EXPECT_EQ(out, "");
}

TEST(AtomicFile, FailuresSayWhyAndLeaveNothingBehind) {
    TempFolder dir;
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir.File("missing/a.ini"), "x", &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    std::filesystem::create_directory(dir.File("sub"));
    error.clear();
    EXPECT_FALSE(WriteFileAtomically(dir.File("sub"), "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));

    EXPECT_FALSE(WriteFileAtomically("", "x", &error));
    EXPECT_FALSE(WriteFileAtomically(dir.File("missing/b"), "x"));  // the reason is optional
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"sub"});
}

TEST(AtomicFile, AWriteThatFailsMidwayLeavesTheOldContent) {
    TempFolder dir;
    const std::string path = dir.File("a.ini");
    ASSERT_TRUE(WriteFileAtomically(path, "old content"));

    // A file size limit makes write() fail part way, even for root.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool ok = WriteFileAtomically(path, std::string(10000, 'n'), &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(Slurp(path), "old content");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.ini"});
}

TEST(AtomicFile, AReadOnlyFolderRefusesTheWrite) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    TempFolder dir;
    const std::string path = dir.File("a.ini");
    ASSERT_TRUE(WriteFileAtomically(path, "old"));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, "new", &error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(Slurp(path), "old");
}

TEST(AtomicFile, ReadWholeFileReadsUpToTheLimit) {
    TempFolder dir;
    const std::string path = dir.File("big");
    const std::string bytes(200000, 'b');
    ASSERT_TRUE(WriteFileAtomically(path, bytes));
    std::string out;
    ASSERT_TRUE(ReadWholeFile(path, out));
    EXPECT_EQ(out, bytes);
    ASSERT_TRUE(ReadWholeFile(path, out, 1000));
    EXPECT_EQ(out.size(), 1000u);

    EXPECT_FALSE(ReadWholeFile(dir.File("none"), out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(ReadWholeFile(dir.path(), out));  // a folder is not a file
}

}  // namespace
}  // namespace velmora::test
