#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace velmora::fuzz {

void Fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "invariant failed: %s", what);
    if (!detail.empty())
        std::fprintf(stderr, " [%.*s]", static_cast<int>(detail.size()), detail.data());
    std::fprintf(stderr, "\n");
    __builtin_trap();
}

const std::string& ScratchFolder() {
    static const std::string folder = [] {
        // The file writes sync to disk; in memory that costs nothing, so prefer /dev/shm.
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = base / "velmora-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot create a scratch folder");
        return pattern;
    }();
    static const struct Cleanup {
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    } cleanup;
    return folder;
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    Check(static_cast<bool>(out), "cannot write a scratch file", path);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t CodePoints(std::string_view utf8) {
    std::size_t n = 0;
    for (char ch : utf8)
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++n;
    return n;
}

std::uint8_t ByteStream::Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
}

std::string_view ByteStream::Take(std::size_t n) {
    const std::string_view part = rest_.substr(0, n);
    rest_.remove_prefix(part.size());
    return part;
}

}  // namespace velmora::fuzz
