#pragma once
// Reads the master files as a stream of comma-separated fields.
#include <string>
#include <string_view>

namespace velmora {

// A field ends at a comma or a line end (CR LF, LF or CR); leading blanks are skipped; a
// field that starts with a double quote runs to the next double quote, both dropped, and
// anything between that quote and the field's end is discarded. Lines holding nothing but
// blanks are skipped, so a stray blank line never shifts the records after it. Every call
// consumes at least one character, so a read over any text ends.
class FieldReader {
  public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    // True when no field is left.
    bool AtEnd();
    // The next field; "" at the end.
    std::string Next();

  private:
    void SkipBlankLines();
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace velmora
