#include "carlink/car_message.h"

namespace velmora {

namespace {

// Byte offset just past the first `n` code points of `s` (or s.size() when shorter); a
// continuation byte never starts a character, so malformed input cannot run past the end.
std::size_t SkipCharacters(std::string_view s, std::size_t n, std::size_t& counted) {
    std::size_t pos = 0;
    counted = 0;
    while (pos < s.size() && counted < n) {
        ++pos;
        while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) ++pos;
        ++counted;
    }
    return pos;
}

}  // namespace

CarMessageParts SplitCarMessage(std::string_view utf8, std::size_t echoWidth) {
    CarMessageParts parts;
    const std::size_t cut = SkipCharacters(utf8, echoWidth, parts.characters);
    parts.echo = utf8.substr(0, cut);
    parts.crewText = utf8.substr(cut);
    return parts;
}

std::size_t EchoWidth(long long lapCount) {
    std::size_t digits = 1;
    for (long long v = lapCount < 0 ? -lapCount : lapCount; v >= 10; v /= 10) ++digits;
    return digits < 3 ? 3 : digits;
}

}  // namespace velmora
