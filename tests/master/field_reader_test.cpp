#include "master/field_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::test {
namespace {

std::vector<std::string> Fields(std::string_view text) {
    std::vector<std::string> out;
    FieldReader r(text);
    while (!r.AtEnd()) out.push_back(r.Next());
    return out;
}

struct ReaderCase {
    const char* name;
    std::string text;
    std::vector<std::string> fields;
};

class FieldStream : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(FieldStream, SplitsAsExpected) {
    const ReaderCase& k = GetParam();
    EXPECT_EQ(Fields(k.text), k.fields) << k.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldStream,
    ::testing::Values(
        ReaderCase{"crlf", "A,B\r\nC,D\r\n", {"A", "B", "C", "D"}},
        ReaderCase{"lf, no final line end", "A,B\nC,D", {"A", "B", "C", "D"}},
        ReaderCase{"lone cr", "A,B\rC,D\r", {"A", "B", "C", "D"}},
        ReaderCase{"leading blanks skipped", "  A,\t B  ", {"A", "B  "}},
        ReaderCase{"quoted comma", "\"x,y\",z", {"x,y", "z"}},
        ReaderCase{"text after closing quote dropped", "\"q\" junk,z", {"q", "z"}},
        ReaderCase{"unterminated quote", "a,\"open", {"a", "open"}},
        ReaderCase{"quoted line break", "\"two\r\nlines\",x", {"two\r\nlines", "x"}},
        ReaderCase{"blank lines skipped", "A,B\r\n\r\n  \r\n\nC,D\r\n\r\n", {"A", "B", "C", "D"}},
        ReaderCase{"empty fields kept", "A,,B\r\nC,\r\nD", {"A", "", "B", "C", "", "D"}},
        ReaderCase{"empty text", "", {}}, ReaderCase{"only blank lines", "\r\n \r\n\t\n", {}},
        ReaderCase{
            "nul bytes are characters", std::string("a\0b,c", 5), {std::string("a\0b", 3), "c"}}));

TEST(FieldStream, JunkAlwaysEndsInOnePass) {
    std::string junk;
    for (int i = 0; i < 200000; ++i) junk.push_back(static_cast<char>((i * 7919) % 256));
    FieldReader r(junk);
    std::size_t fields = 0;
    while (!r.AtEnd()) {
        r.Next();
        ASSERT_LE(++fields, junk.size());
    }
    EXPECT_GT(fields, 0u);
    EXPECT_EQ(r.Next(), "");
}

}  // namespace
}  // namespace velmora::test
