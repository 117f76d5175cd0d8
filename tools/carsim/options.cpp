#include "options.h"

#include <arpa/inet.h>

#include <charconv>
#include <map>

namespace velmora::carsim {
namespace {

struct IntRange {
    int Options::*field;
    int min;
    int max;
};

const std::map<std::string_view, IntRange>& IntOptions() {
    static const std::map<std::string_view, IntRange> table = {
        {"--slot", {&Options::slot, 0, 4}},
        {"--host-port", {&Options::hostPort, 0, 65'535}},
        {"--interval-ms", {&Options::intervalMs, 1, 60'000}},
        {"--in-range-ms", {&Options::inRangeMs, 1, 3'600'000}},
        {"--silence-ms", {&Options::silenceMs, 0, 3'600'000}},
        {"--laps", {&Options::laps, 0, 100'000}},
        {"--pit-every", {&Options::pitEvery, 1, 100'000}},
        {"--pit-ms", {&Options::pitMs, 1, 3'600'000}},
        {"--timeout-ms", {&Options::timeoutMs, 1, 600'000}},
        {"--max-seconds", {&Options::maxSeconds, 1, 86'400}},
    };
    return table;
}

const std::map<std::string_view, std::string Options::*>& TextOptions() {
    static const std::map<std::string_view, std::string Options::*> table = {
        {"--host", &Options::host},
        {"--bind", &Options::bind},
        {"--text", &Options::text},
    };
    return table;
}

const std::map<std::string_view, bool Options::*>& Flags() {
    static const std::map<std::string_view, bool Options::*> table = {
        {"--quiet", &Options::quiet},
        {"--allow-non-loopback", &Options::allowNonLoopback},
        {"--help", &Options::help},
        {"-h", &Options::help},
    };
    return table;
}

std::optional<int> ParseInt(std::string_view s) {
    int value = 0;
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, value);
    if (s.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::string CheckAddresses(const Options& o) {
    if (!IsIpv4Address(o.host))
        return "--host needs a numeric IPv4 address, got \"" + o.host + "\"";
    if (!IsIpv4Address(o.bind))
        return "--bind needs a numeric IPv4 address, got \"" + o.bind + "\"";
    if (o.allowNonLoopback) return {};
    if (!IsLoopbackAddress(o.host))
        return "--host " + o.host + " is outside 127.0.0.0/8 (add --allow-non-loopback)";
    // The console answers a presence query at the address named in it, so a query naming
    // another machine would make the console send there.
    if (o.presence && !IsLoopbackAddress(*o.presence))
        return "--presence " + *o.presence + " is outside 127.0.0.0/8 (add --allow-non-loopback)";
    return {};
}

}  // namespace

bool IsIpv4Address(std::string_view address) {
    in_addr out{};
    return inet_pton(AF_INET, std::string(address).c_str(), &out) == 1;
}

bool IsLoopbackAddress(std::string_view address) {
    in_addr out{};
    if (inet_pton(AF_INET, std::string(address).c_str(), &out) != 1) return false;
    return (ntohl(out.s_addr) >> 24) == 127;
}

ParseResult ParseOptions(const std::vector<std::string_view>& args) {
    ParseResult r;
    for (std::size_t k = 0; k < args.size(); ++k) {
        std::string_view name = args[k];
        std::optional<std::string_view> inlineValue;
        if (auto eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto takeValue = [&]() -> std::optional<std::string_view> {
            if (inlineValue) return inlineValue;
            if (k + 1 >= args.size()) return std::nullopt;
            return args[++k];
        };

        if (auto f = Flags().find(name); f != Flags().end()) {
            if (inlineValue) {
                r.error = std::string(name) + " takes no value";
                return r;
            }
            r.options.*(f->second) = true;
            continue;
        }
        const bool isPresence = name == "--presence";
        auto t = TextOptions().find(name);
        auto n = IntOptions().find(name);
        if (!isPresence && t == TextOptions().end() && n == IntOptions().end()) {
            r.error = "unknown option \"" + std::string(name) + "\"";
            return r;
        }
        auto value = takeValue();
        if (!value) {
            r.error = std::string(name) + " needs a value";
            return r;
        }
        if (isPresence) {
            r.options.presence = std::string(*value);
        } else if (t != TextOptions().end()) {
            r.options.*(t->second) = std::string(*value);
        } else {
            auto v = ParseInt(*value);
            if (!v || *v < n->second.min || *v > n->second.max) {
                r.error = std::string(name) + " needs a whole number from " +
                          std::to_string(n->second.min) + " to " + std::to_string(n->second.max) +
                          ", got \"" + std::string(*value) + "\"";
                return r;
            }
            r.options.*(n->second.field) = *v;
        }
    }
    if (r.options.help) return r;
    if ((r.options.pitEvery > 0) != (r.options.pitMs > 0)) {
        r.error = "--pit-every and --pit-ms go together: a stop every K laps, N ms long";
        return r;
    }
    r.error = CheckAddresses(r.options);
    return r;
}

std::string UsageText() {
    return "usage: velmora-carsim [options]\n"
           "Plays the PC in one car on the car link, on loopback.\n"
           "  --slot N            car slot 0..4 (default 0): binds 7012+10N, sends to 7011+10N\n"
           "  --host ADDR         console address (default 127.0.0.1, must be in 127.0.0.0/8)\n"
           "  --bind ADDR         own address to bind (default 127.0.0.1)\n"
           "  --host-port N       send to port N instead of 7011+10N (a relay in between)\n"
           "  --interval-ms N     between datagrams while in range (default 100)\n"
           "  --in-range-ms N     length of one pass near the pit (default 1000)\n"
           "  --silence-ms N      out of range on each lap, from the last datagram of a pass\n"
           "                      (default 3000; must exceed the console's silence setting)\n"
           "  --laps N            laps to drive; a final pass closes the last (default 3)\n"
           "  --pit-every K       stand in the pit after every K-th lap (with --pit-ms)\n"
           "  --pit-ms N          length of each stop, sending all along: one long pass\n"
           "  --text TEXT         crew text sent after the lap echo (UTF-8, sent as CP932)\n"
           "  --presence ADDR     ask the console which car ADDR is, print the answer, exit\n"
           "  --timeout-ms N      presence reply wait (default 2000)\n"
           "  --max-seconds N     stop after N seconds whatever happens (default 600)\n"
           "  --quiet             no per-reply lines\n"
           "  --allow-non-loopback  permit a console outside 127.0.0.0/8\n"
           "Exit codes: 0 done, 1 socket error, presence timeout, interrupted or --max-seconds\n"
           "reached, 2 bad options.\n";
}

}  // namespace velmora::carsim
