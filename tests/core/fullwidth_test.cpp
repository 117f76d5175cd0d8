#include "core/fullwidth.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/encoding.h"

namespace velmora::test {
namespace {

std::string Utf8Of(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

TEST(FullWidth, SingleByteCharactersBecomeTheirDoubleByteForms) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"BOX", "ＢＯＸ"},
        {"rain", "ｒａｉｎ"},
        {"(全車へ:", "（全車へ："},
        {"a,b", "ａ，ｂ"},
        {" ", "\u3000"},
        {"\"\\~-", "＂＼～－"},
        {"0129", "０１２９"},
        {"ｶﾞ", "ガ"},
        {"ﾊﾟ", "パ"},
        {"ｳﾞ", "ヴ"},
        {"ｱｲｳ", "アイウ"},
        {"ｰ｡｢｣､･", "ー。「」、・"},
        {"ﾞ", "゛"},  // a lone voiced mark has nothing to combine with
        {"ﾟ", "゜"},
        {"ｱﾟ", "ア゜"},  // nor does a semi-voiced mark after ア
        {"ﾜﾞ", "ワ゛"},  // ヷ has no CP932 code
        {"ｦﾞ", "ヲ゛"},  // nor has ヺ
        {"全角ＡＢＣガ", "全角ＡＢＣガ"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ToFullWidth(c.in), c.out) << c.in;
}

TEST(FullWidth, EveryAsciiAndHalfWidthKatakanaResultEncodesToCp932) {
    std::vector<char32_t> inputs;
    for (char32_t c = 0x20; c <= 0x7E; ++c) inputs.push_back(c);
    for (char32_t c = 0xFF61; c <= 0xFF9F; ++c) inputs.push_back(c);
    for (char32_t c : inputs) {
        const std::string in = Utf8Of(c);
        const std::string out = ToFullWidth(in);
        int subs = -1;
        const std::string bytes = Utf8ToCp932(out, &subs);
        EXPECT_EQ(subs, 0) << "U+" << std::hex << static_cast<unsigned>(c);
        // Every result is double-byte only: no single-byte CP932 character is left.
        EXPECT_EQ(bytes.size() % 2, 0u) << "U+" << std::hex << static_cast<unsigned>(c);
        EXPECT_NE(out, in) << "U+" << std::hex << static_cast<unsigned>(c);
    }
    // Every half-width katakana followed by each voiced mark also stays encodable.
    for (char32_t c = 0xFF66; c <= 0xFF9D; ++c) {
        for (char32_t mark : {0xFF9E, 0xFF9F}) {
            int subs = -1;
            Utf8ToCp932(ToFullWidth(Utf8Of(c) + Utf8Of(mark)), &subs);
            EXPECT_EQ(subs, 0) << "U+" << std::hex << static_cast<unsigned>(c) << " + "
                               << static_cast<unsigned>(mark);
        }
    }
}

}  // namespace
}  // namespace velmora::test
