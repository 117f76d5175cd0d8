#include "teamview/view_key.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>

namespace velmora {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

}  // namespace

std::string Base64Url(const std::uint8_t* bytes, std::size_t n) {
    std::string out;
    out.reserve((n * 4 + 2) / 3);
    for (std::size_t i = 0; i < n; i += 3) {
        const std::uint32_t b0 = bytes[i];
        const std::uint32_t b1 = i + 1 < n ? bytes[i + 1] : 0;
        const std::uint32_t b2 = i + 2 < n ? bytes[i + 2] : 0;
        const std::uint32_t v = (b0 << 16) | (b1 << 8) | b2;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        if (i + 1 < n) out += kAlphabet[(v >> 6) & 63];
        if (i + 2 < n) out += kAlphabet[v & 63];
    }
    return out;
}

std::string NewViewKey() {
    std::array<std::uint8_t, kViewKeyBytes> bits{};
    std::size_t got = 0;
    while (got < bits.size()) {
        const ssize_t n = ::getrandom(bits.data() + got, bits.size() - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("no random bytes from the system");
        }
        got += static_cast<std::size_t>(n);
    }
    return Base64Url(bits.data(), bits.size());
}

bool IsViewKey(std::string_view text) {
    if (text.size() != kViewKeyChars) return false;
    for (char c : text)
        if (kAlphabet.find(c) == std::string_view::npos) return false;
    // 22 characters hold 132 bits: the last one's low four bits are padding and must be zero.
    return (kAlphabet.find(text.back()) & 15) == 0;
}

}  // namespace velmora
