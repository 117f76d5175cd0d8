// Inputs the fuzz targets found, kept as tests of the text rules they went through.
#include <gtest/gtest.h>

#include <string>

#include "core/text_rules.h"

namespace velmora {
namespace {

// Master files and lists are read back by the leading-number rule, so a number written with
// an exponent or with padding zeros did not survive an editor's OK.
TEST(ShortestFloatFound, WritesPlainDigitsThatReadBackAsShown) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {12345678.0f, "12345680"},  // 7 digits, then zeros instead of "1.234568e+07"
        {-12345678.0f, "-12345680"},
        {1e7f, "10000000"},
        {0.00001f, "0.00001"},  // was "1e-05", read back as 1
        {0.000015f, "0.000015"},
        {607.04001f, "607.04"},  // was "607.0400": 7 digits do not pin this float
        {3.4028235e38f, "340282300000000000000000000000000000000"},
        {0.0001f, "0.0001"},
        {40.0f, "40"},
        {12.5f, "12.5"},
        {0.5f, "0.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string text = ShortestFloat(c.value);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(text.find_first_of("eE"), std::string::npos);
        // What the grid shows is what the next load shows.
        EXPECT_EQ(ShortestFloat(static_cast<float>(LeadingNumber(text))), text);
    }
}

}  // namespace
}  // namespace velmora
