#pragma once
// Decoding the console's replies: flag, optional status block, message part.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::carsim {

// The status block: lap count (3 or more digits), three millisecond fields, date, time of
// day and planned end.
struct StatusInfo {
    std::int64_t lap = 0;
    std::int64_t lastMs = 0;
    std::int64_t bestMs = 0;
    std::int64_t avgMs = 0;
    std::string date;  // yyyy/mm/dd
    std::string time;  // HH:NN:SS
    std::string end;   // HH:NN:SS
};

struct ReplyInfo {
    std::string flag;  // "N" or "C" from a sound console; whatever came otherwise
    std::optional<StatusInfo> status;
    std::string message;  // UTF-8
};

// `utf8` is the decoded datagram. An empty datagram gives nullopt.
std::optional<ReplyInfo> DecodeReply(std::string_view utf8);

// `reply flag=N lap=3 last_ms=... best_ms=... avg_ms=... date=... time=... end=... msg="..."`;
// without a status block: `reply flag=N msg="..."`.
std::string FormatReplyLine(const ReplyInfo& reply);

// Double-quoted, with \" \\ \r \n \t and \xNN for other control bytes, so one reply stays one
// line whatever the console sent.
std::string Quote(std::string_view utf8);

}  // namespace velmora::carsim
