#include "core/text_rules.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace velmora::test {
namespace {

TEST(TextRules, LeadingNumberTakesTheNumberAtTheStart) {
    struct Case {
        std::string text;
        double value;
    };
    const std::vector<Case> cases = {
        {"12abc", 12},
        {"10.5", 10.5},
        {"abc", 0},
        {" -3", -3},
        {"", 0},
        {" -1.5x", -1.5},
        {"+4", 4},
        {"\t7", 7},
        {"1e5", 1},
        {"-", 0},
        {".", 0},
        {".5", 0.5},
        {"5.", 5},
        {"1.2.3", 1.2},
        {"１２", 0},
        {"--1", 0},
        {"0x1A", 0},
        {"12 34", 12},
        {"1" + std::string(400, '0'), 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << c.text;
}

TEST(TextRules, WholeNumbersRoundHalvesToEven) {
    struct Case {
        double in, out;
    };
    const std::vector<Case> rounding = {{2.5, 2}, {3.5, 4},   {-2.5, -2}, {0.5, 0},
                                        {1.5, 2}, {10.6, 11}, {-0.4, 0},  {7, 7}};
    for (const auto& c : rounding) EXPECT_DOUBLE_EQ(RoundHalfEven(c.in), c.out) << c.in;
    EXPECT_DOUBLE_EQ(RoundHalfEven(std::nan("")), 0);

    struct Text {
        std::string text;
        std::int32_t value;
    };
    const std::vector<Text> whole = {
        {"10.5", 10},
        {"10.6", 11},
        {"11.5", 12},
        {"-2.5", -2},
        {"12abc", 12},
        {"abc", 0},
        {"99999999999", std::numeric_limits<std::int32_t>::max()},
        {"-99999999999", std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto& c : whole) EXPECT_EQ(WholeNumber(c.text), c.value) << c.text;
}

TEST(TextRules, NumbersReadTheSameInAnyLocale) {
    // The shell runs under the user's locale; a comma locale must not change the rule.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    const double v = LeadingNumber("10.5");
    const std::int32_t w = WholeNumber("10.6");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(v, 10.5);
    EXPECT_EQ(w, 11);
}

TEST(TextRules, IsNumericNeedsTheWholeTextToBeANumber) {
    struct Case {
        std::string text;
        bool numeric;
    };
    const std::vector<Case> cases = {
        {"", false},    {"1.5", true},    {"1a", false}, {" 7 ", true}, {"-3", true},
        {"+3", true},   {"1e3", true},    {"1e", false}, {"-", false},  {".", false},
        {"abc", false}, {"1.2.3", false}, {" ", false},  {"１", false}, {"1e999", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsNumeric(c.text), c.numeric) << c.text;
    double out = -1;
    EXPECT_TRUE(ParseNumber(" 2.25 ", out));
    EXPECT_DOUBLE_EQ(out, 2.25);
    out = -1;
    EXPECT_FALSE(ParseNumber("2x", out));
    EXPECT_DOUBLE_EQ(out, -1);  // untouched on failure
}

TEST(TextRules, FullWidthDigitsAndCarLabels) {
    EXPECT_EQ(FullWidthNumber(0), "０");
    EXPECT_EQ(FullWidthNumber(12), "１２");
    EXPECT_EQ(FullWidthNumber(9876543210), "９８７６５４３２１０");
    EXPECT_EQ(FullWidthNumber(-3), "－３");
    const std::vector<std::string> labels = {"１号車", "２号車", "３号車", "４号車", "５号車"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(CarLabel(i), labels[static_cast<std::size_t>(i)]);
}

TEST(TextRules, TrimAndReplace) {
    EXPECT_EQ(Trim(" \t a b \t"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(ReplaceAll("a,b,,c", ",", " "), "a b  c");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
}

}  // namespace
}  // namespace velmora::test
