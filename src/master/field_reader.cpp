#include "master/field_reader.h"

namespace velmora {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

void FieldReader::SkipBlankLines() {
    // Only at the start of a line: skip it when it holds nothing but blanks.
    while (pos_ < text_.size()) {
        std::size_t p = pos_;
        while (p < text_.size() && IsBlank(text_[p])) ++p;
        if (p == text_.size()) {
            pos_ = p;
            return;
        }
        if (!IsLineEnd(text_[p])) return;
        pos_ = p + 1;
        if (text_[p] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    }
}

bool FieldReader::AtEnd() {
    if (pos_ == 0 || (pos_ <= text_.size() && IsLineEnd(text_[pos_ - 1]))) SkipBlankLines();
    return pos_ >= text_.size();
}

std::string FieldReader::Next() {
    if (AtEnd()) return {};
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;

    std::string field;
    if (pos_ < text_.size() && text_[pos_] == '"') {
        const std::size_t close = text_.find('"', pos_ + 1);
        const std::size_t end = close == std::string_view::npos ? text_.size() : close;
        field.assign(text_.substr(pos_ + 1, end - pos_ - 1));
        pos_ = close == std::string_view::npos ? text_.size() : close + 1;
        while (pos_ < text_.size() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
    } else {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
        field.assign(text_.substr(start, pos_ - start));
    }

    // Consume the separator: a comma, or one line end (CR LF counts as one).
    if (pos_ < text_.size()) {
        const char sep = text_[pos_++];
        if (sep == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    }
    return field;
}

}  // namespace velmora
