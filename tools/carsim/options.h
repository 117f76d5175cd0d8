#pragma once
// Command-line options of velmora-carsim.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::carsim {

struct Options {
    int slot = 0;  // 0..4: car port 7012 + 10·slot, host port 7011 + 10·slot
    std::string host = "127.0.0.1";
    std::string bind = "127.0.0.1";
    int hostPort = 0;                     // console port to send to; 0: 7011 + 10·slot
    int intervalMs = 100;                 // between datagrams while in range
    int inRangeMs = 1000;                 // length of one pass near the pit
    int silenceMs = 3000;                 // out of range, once per lap
    int laps = 3;                         // laps to drive; a final pass closes the last one
    int pitEvery = 0;                     // a pit stop after every pitEvery-th lap; 0: none
    int pitMs = 0;                        // length of such a stop (one long pass)
    std::string text;                     // crew text after the lap echo, UTF-8
    std::optional<std::string> presence;  // presence query instead of laps
    int timeoutMs = 2000;                 // presence reply wait
    int maxSeconds = 600;                 // hard limit on the whole run
    bool quiet = false;                   // no per-reply lines
    bool allowNonLoopback = false;
    bool help = false;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line was good
    bool ok() const { return error.empty(); }
};

// Accepts "--name value" and "--name=value". `args` excludes the program name.
ParseResult ParseOptions(const std::vector<std::string_view>& args);

// True for a dotted IPv4 address inside 127.0.0.0/8.
bool IsLoopbackAddress(std::string_view address);
// True for a dotted IPv4 address (four decimal octets 0..255).
bool IsIpv4Address(std::string_view address);

std::string UsageText();

}  // namespace velmora::carsim
