#include "analysis/message_record.h"

#include <charconv>

namespace velmora {

namespace {

constexpr std::string_view kSeparator = ", ";

}  // namespace

MessageRecord SplitMessageRecord(std::string_view record, std::string_view splitCell) {
    std::size_t at = std::string_view::npos;
    std::size_t kept = 0;
    const char* end = splitCell.data() + splitCell.size();
    const auto [ptr, ec] = std::from_chars(splitCell.data(), end, kept);
    if (!splitCell.empty() && ec == std::errc() && ptr == end && kept <= record.size() &&
        record.substr(kept, kSeparator.size()) == kSeparator)
        at = kept;
    if (at == std::string_view::npos) at = record.find(kSeparator);
    if (at == std::string_view::npos) return {std::string(record), {}};
    return {std::string(record.substr(0, at)), std::string(record.substr(at + kSeparator.size()))};
}

}  // namespace velmora
