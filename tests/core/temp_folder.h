#pragma once
// A fresh folder under the system temporary folder, removed with everything in it.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/atomic_file.h"

namespace velmora::test {

class TempFolder {
  public:
    TempFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/velmora_core_XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) != nullptr) path_ = buf.data();
    }
    ~TempFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
    // Names of everything in the folder, to check that no temporary file is left behind.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            names.push_back(e.path().filename().string());
        return names;
    }

  private:
    std::string path_;
};

inline std::string Slurp(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

}  // namespace velmora::test
