#pragma once
// Shared pieces of the fuzz targets: invariant checks that stop the run where libFuzzer
// sees them, a private scratch folder, and small readers of the fuzzer's byte stream.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::fuzz {

// Prints `what` and traps, so libFuzzer records the input as a crash.
[[noreturn]] void Fail(const char* what, std::string_view detail = {});

inline void Check(bool ok, const char* what, std::string_view detail = {}) {
    if (!ok) Fail(what, detail);
}

// A folder under the system temp folder that lives as long as the process.
const std::string& ScratchFolder();

// Writes `bytes` to `path`, replacing it; traps when the file cannot be written.
void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);

// Number of code points in valid UTF-8 text (continuation bytes are not counted).
std::size_t CodePoints(std::string_view utf8);

// Consumes the fuzzer's input from the front: bytes, then nothing (0) once it runs out.
class ByteStream {
  public:
    ByteStream(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}
    bool Empty() const { return rest_.empty(); }
    std::uint8_t Byte();
    std::string_view Take(std::size_t n);

  private:
    std::string_view rest_;
};

}  // namespace velmora::fuzz
