#include <gtest/gtest.h>

#include "analysis/csv.h"
#include "core/encoding.h"

namespace velmora {
namespace {

TEST(CsvField, QuotesOnlyWhatASpreadsheetWouldMisread) {
    struct Case {
        const char* text;
        const char* field;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {" blanks kept ", " blanks kept "},
        {"a,b", "\"a,b\""},
        {"ＢＯＸ, 給油", "\"ＢＯＸ, 給油\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"cr\rlf\r\n", "\"cr\rlf\r\n\""},
        {"1'23\"456", "\"1'23\"\"456\""},  // every lap-time text carries a quote
        {"①Ⅰ～㈱", "①Ⅰ～㈱"},
    };
    for (const Case& k : cases) EXPECT_EQ(CsvField(k.text), k.field) << k.text;
}

TEST(CsvField, CharactersOnlyCp932HasStayUtf8ByteForByte) {
    // ① Ⅰ ～ as CP932 would read as other characters in a UTF-8 spreadsheet; the export is
    // UTF-8, so they must pass through unchanged (and still round-trip through CP932).
    const std::string text = "①Ⅰ～";
    EXPECT_EQ(CsvField(text), "\xE2\x91\xA0\xE2\x85\xA0\xEF\xBD\x9E");
    EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(CsvField(text))), text);
}

TEST(AppendCsvRecord, JoinsWithCommasAndEndsWithCrLf) {
    std::string out;
    AppendCsvRecord(out, {"a", "", "b,c"});
    AppendCsvRecord(out, {});
    AppendCsvRecord(out, {"x\r\ny"});
    EXPECT_EQ(out, "a,,\"b,c\"\r\n\r\n\"x\r\ny\"\r\n");
}

}  // namespace
}  // namespace velmora
