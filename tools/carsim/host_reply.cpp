#include "host_reply.h"

#include <cstdio>

namespace velmora::carsim {
namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Matches `pattern` where '9' stands for any digit and other characters stand for themselves.
bool Matches(std::string_view text, std::string_view pattern) {
    if (text.size() < pattern.size()) return false;
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        if (pattern[k] == '9' ? !IsDigit(text[k]) : text[k] != pattern[k]) return false;
    }
    return true;
}

std::int64_t Digits(std::string_view text) {
    std::int64_t v = 0;
    for (char ch : text) v = v * 10 + (ch - '0');
    return v;
}

constexpr std::string_view kDateAndTimes = "/99/9999:99:9999:99:99";
constexpr std::size_t kMsFields = 30;  // three 10-digit millisecond fields
constexpr std::size_t kYearDigits = 4;

// The lap count, the millisecond fields and the year form one run of digits; the run ends at
// the first '/' of the date, which fixes the width of the lap count (3 or more digits).
std::optional<std::pair<StatusInfo, std::size_t>> ParseStatus(std::string_view body) {
    std::size_t run = 0;
    while (run < body.size() && IsDigit(body[run])) ++run;
    if (run < 3 + kMsFields + kYearDigits) return std::nullopt;
    // An absurd run (a message of digits) must not overflow the lap count.
    const std::size_t lapDigits = run - kMsFields - kYearDigits;
    if (lapDigits > 12) return std::nullopt;
    if (!Matches(body.substr(run), kDateAndTimes)) return std::nullopt;

    StatusInfo s;
    std::size_t at = 0;
    s.lap = Digits(body.substr(at, lapDigits));
    at += lapDigits;
    s.lastMs = Digits(body.substr(at, 10));
    s.bestMs = Digits(body.substr(at + 10, 10));
    s.avgMs = Digits(body.substr(at + 20, 10));
    at += kMsFields;
    s.date = std::string(body.substr(at, 10));
    s.time = std::string(body.substr(at + 10, 8));
    s.end = std::string(body.substr(at + 18, 8));
    return std::pair{s, at + 26};
}

// Length of the UTF-8 sequence that starts with `lead` (1 for stray bytes).
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::optional<ReplyInfo> DecodeReply(std::string_view utf8) {
    if (utf8.empty()) return std::nullopt;
    ReplyInfo r;
    const std::size_t flagLen =
        std::min(SequenceLength(static_cast<unsigned char>(utf8[0])), utf8.size());
    r.flag = std::string(utf8.substr(0, flagLen));
    std::string_view body = utf8.substr(flagLen);
    if (auto parsed = ParseStatus(body)) {
        r.status = parsed->first;
        body.remove_prefix(parsed->second);
    }
    r.message = std::string(body);
    return r;
}

std::string Quote(std::string_view utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        const auto u = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\x%02X", u);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

std::string FormatReplyLine(const ReplyInfo& reply) {
    // The usual flags bare; anything else quoted so the line still splits at blanks.
    const bool plain = reply.flag == "N" || reply.flag == "C";
    std::string line = "reply flag=" + (plain ? reply.flag : Quote(reply.flag));
    if (const auto& s = reply.status) {
        line += " lap=" + std::to_string(s->lap) + " last_ms=" + std::to_string(s->lastMs) +
                " best_ms=" + std::to_string(s->bestMs) + " avg_ms=" + std::to_string(s->avgMs) +
                " date=" + s->date + " time=" + s->time + " end=" + s->end;
    }
    line += " msg=" + Quote(reply.message);
    return line;
}

}  // namespace velmora::carsim
