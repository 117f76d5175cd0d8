#include "core/encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

namespace velmora::test {
namespace {

// True when `s` is well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            len = 1, cp = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += len;
    }
    return true;
}

struct RoundTrip {
    std::string cp932;
    std::string utf8;
};

TEST(Encoding, Cp932CodesRoundTripWithTheirWindowsCharacters) {
    const std::vector<RoundTrip> cases = {
        {"\x81\x60", "～"},  // U+FF5E, not the wave dash of the JIS table
        {"\x81\x7C", "－"},  // U+FF0D
        {"\x81\x5F", "＼"},  // U+FF3C
        {"\x87\x40", "①"},
        {"\xFA\x40", "ⅰ"},  // U+2170
        {"\xB1", "ｱ"},      // half-width katakana, one byte
        {"\x5C", "\\"},     // the backslash stays a backslash, not a yen sign
        {"\x7E", "~"},
        {"\x8C\x76\x91\xAA\x8A\xC2\x8B\xAB\x90\xDD\x92\xE8", "計測環境設定"},
        {"\x82\xA0\x82\xC6\x82\x52\x8E\xFC", "あと３周"},
        {"1'23\"456", "1'23\"456"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},  // NULs pass through
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8) << c.utf8;
        int subs = -1;
        EXPECT_EQ(Utf8ToCp932(c.utf8, &subs), c.cp932) << c.utf8;
        EXPECT_EQ(subs, 0) << c.utf8;
    }
}

TEST(Encoding, NecSelectedIbmCodesReencodeAsIbmExtensions) {
    EXPECT_EQ(Cp932ToUtf8("\xED\x40"), "纊");  // U+7E8A
    EXPECT_EQ(Utf8ToCp932("纊"), "\xFA\x5C");
}

TEST(Encoding, CharactersWithAFallbackAreNotSubstitutions) {
    const std::vector<RoundTrip> cases = {
        {"\x5C", "¥"},       // U+00A5
        {"\x81\x60", "〜"},  // U+301C wave dash
        {"\x81\x7C", "−"},   // U+2212 minus sign
    };
    for (const auto& c : cases) {
        int subs = -1;
        EXPECT_EQ(Utf8ToCp932(c.utf8, &subs), c.cp932) << c.utf8;
        EXPECT_EQ(subs, 0) << c.utf8;
    }
}

TEST(Encoding, UnmappableCharactersBecomeOneQuestionMarkEachAndAreCounted) {
    struct Case {
        std::string utf8, cp932;
        int subs;
    };
    const std::vector<Case> cases = {
        {"é", "?", 1},
        {"😀", "?", 1},  // outside the BMP: one character, one mark
        {"a\xC3\xA9"
         "b😀c",
         "a?b?c", 2},
        {"\xFF", "?", 1},           // not UTF-8 at all
        {"\xE3\x81", "?", 1},       // cut-off sequence
        {"x\xC0\xAFy", "x??y", 2},  // overlong '/' is two bad bytes
        {"ヷ", "?", 1},
    };
    for (const auto& c : cases) {
        int subs = -1;
        EXPECT_EQ(Utf8ToCp932(c.utf8, &subs), c.cp932) << c.utf8;
        EXPECT_EQ(subs, c.subs) << c.utf8;
    }
    EXPECT_EQ(Utf8ToCp932("é"), "?");  // the count is optional
}

TEST(Encoding, BytesThatAreNotCp932DecodeToReplacementCharacters) {
    EXPECT_EQ(Cp932ToUtf8("\x80"), "\uFFFD");
    EXPECT_EQ(Cp932ToUtf8("\xA0"), "\uFFFD");
    EXPECT_EQ(Cp932ToUtf8("\xFD"), "\uFFFD");
    EXPECT_EQ(Cp932ToUtf8("ab\x82"), "ab\uFFFD");  // lead byte with no trail byte
    // A lead byte followed by a byte that cannot trail: the second byte is kept.
    EXPECT_EQ(Cp932ToUtf8("\x82\x20x"), "\uFFFD x");
}

TEST(Encoding, EmptyTextsStayEmpty) {
    int subs = -1;
    EXPECT_EQ(Utf8ToCp932("", &subs), "");
    EXPECT_EQ(subs, 0);
    EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(Encoding, ArbitraryBytesDecodeToValidUtf8AndEncodeWithoutFailing) {
    std::mt19937 rng(932);
    std::string junk(64 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(rng() & 0xFF);

    const std::string utf8 = Cp932ToUtf8(junk);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_FALSE(utf8.empty());

    int subs = 0;
    const std::string back = Utf8ToCp932(junk, &subs);  // the junk taken as broken UTF-8
    EXPECT_GT(subs, 0);
    EXPECT_FALSE(back.empty());
}

TEST(Encoding, ConvertersOnSeveralThreadsDoNotDisturbEachOther) {
    const std::string text = "あと３周でピットインです。¥〜é";
    const std::string expected = Utf8ToCp932(text);
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                int subs = 0;
                if (Utf8ToCp932(text, &subs) != expected || subs != 1) ++wrong[t];
                if (Cp932ToUtf8(expected) != "あと３周でピットインです。\\～?") ++wrong[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], 0);
}

}  // namespace
}  // namespace velmora::test
