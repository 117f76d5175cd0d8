// A results file saved onto a full disk: a tiny tmpfs mounted for the test (needs root; the
// test skips elsewhere). The crew must be told, the old file must survive whole, no temporary
// file may be left on the full disk, and once space is free the same data saves completely.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/encoding.h"
#include "fakes/fakes.h"
#include "results/results_file.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class SmallDisk {
  public:
    explicit SmallDisk(const char* size) {
        dir_ = fs::temp_directory_path() / ("velmora_fulldisk_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        const std::string options = std::string("size=") + size;
        mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount(dir_.c_str());
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    bool mounted() const { return mounted_; }
    const fs::path& dir() const { return dir_; }

    // Writes a filler file until the disk refuses more bytes.
    void Fill() {
        std::ofstream out(dir_ / "filler", std::ios::binary);
        const std::string block(512, 'x');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size())) && out.flush()) {
        }
    }
    void Free() { fs::remove(dir_ / "filler"); }

  private:
    fs::path dir_;
    bool mounted_ = false;
};

TEST(ResultsOnAFullDisk, TheCrewIsToldAndTheOldFileSurvives) {
    SmallDisk disk("64k");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";

    FakeConsole f;
    // Three cars, 300 laps each: far more than the disk has room for.
    for (int s = 0; s < 3; ++s) {
        PanelState& p = f.panel(s);
        p.Lbl_IP.caption = "127.0.0.1";
        Grid& g = p.Spd_LapTime;
        g.SetRowCount(300);
        for (int row = 1; row <= 300; ++row) {
            g.SetCell(row, 1, "1'02\"345");
            g.SetCell(row, 2, "山田");
            g.SetCell(row, 5, "（全車へ：ｒａｉｎ）, 了解");
        }
    }
    const fs::path file = disk.dir() / "results.txt";
    const std::string old = "イベント名:前回\r\n";
    { std::ofstream(file, std::ios::binary) << old; }
    disk.Fill();

    f.dialogs.savePaths.push_back(file.string());
    WriteResults(f.console);
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(
        f.dialogs.shown[0].text.rfind("走行結果を書き込めませんでした。\n" + file.string(), 0), 0u)
        << f.dialogs.shown[0].text;
    EXPECT_EQ(f.dialogs.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(ReadBytes(file), old);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(disk.dir())) left.push_back(e.path().filename());
    EXPECT_EQ(left.size(), 2u) << "a temporary file was left on the full disk";

    // Nothing recorded was lost: with room again the same state saves whole.
    disk.Free();
    f.dialogs.shown.clear();
    f.dialogs.savePaths.push_back(file.string());
    WriteResults(f.console);
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(ReadBytes(file), Utf8ToCp932(BuildResultsText(f.st())));
}

}  // namespace
}  // namespace velmora::test
