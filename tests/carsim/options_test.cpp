#include <gtest/gtest.h>

#include "lap_meter.h"
#include "options.h"
#include "pit_plan.h"

namespace velmora::carsim {
namespace {

ParseResult Parse(std::initializer_list<std::string_view> args) { return ParseOptions(args); }

TEST(ParseOptions, DefaultsPlayCarOneOnLoopback) {
    auto r = Parse({});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.slot, 0);
    EXPECT_EQ(r.options.host, "127.0.0.1");
    EXPECT_EQ(r.options.intervalMs, 100);
    EXPECT_EQ(r.options.inRangeMs, 1000);
    EXPECT_EQ(r.options.silenceMs, 3000);
    EXPECT_EQ(r.options.laps, 3);
    EXPECT_EQ(r.options.timeoutMs, 2000);
    EXPECT_EQ(r.options.maxSeconds, 600);
    EXPECT_FALSE(r.options.presence);
}

TEST(ParseOptions, TakesSeparateAndInlineValues) {
    auto r = Parse({"--slot=2", "--silence-ms", "12000", "--laps=5", "--text", "ピット 1", "--host",
                    "127.0.0.2", "--quiet", "--in-range-ms=500", "--interval-ms", "50",
                    "--host-port=17021"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.slot, 2);
    EXPECT_EQ(r.options.silenceMs, 12000);
    EXPECT_EQ(r.options.laps, 5);
    EXPECT_EQ(r.options.text, "ピット 1");
    EXPECT_EQ(r.options.host, "127.0.0.2");
    EXPECT_TRUE(r.options.quiet);
    EXPECT_EQ(r.options.inRangeMs, 500);
    EXPECT_EQ(r.options.intervalMs, 50);
    EXPECT_EQ(r.options.hostPort, 17021);
}

TEST(ParseOptions, PresenceQueryOnLoopback) {
    auto r = Parse({"--presence", "127.0.0.1", "--timeout-ms", "300"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.presence, "127.0.0.1");
    EXPECT_EQ(r.options.timeoutMs, 300);
}

struct BadCase {
    std::vector<std::string_view> args;
    std::string_view errorPart;
};

TEST(ParseOptions, RejectsBadCommandLinesWithAReason) {
    const BadCase cases[] = {
        {{"--slot", "5"}, "--slot needs a whole number from 0 to 4"},
        {{"--slot", "-1"}, "--slot"},
        {{"--slot", "1x"}, "got \"1x\""},
        {{"--slot", ""}, "--slot"},
        {{"--laps"}, "--laps needs a value"},
        {{"--interval-ms", "0"}, "--interval-ms"},
        {{"--in-range-ms", "0"}, "--in-range-ms"},
        {{"--max-seconds", "99999999999"}, "--max-seconds"},
        {{"--speed", "3"}, "unknown option \"--speed\""},
        {{"slot"}, "unknown option"},
        {{"--quiet=yes"}, "--quiet takes no value"},
        {{"--host-port", "65536"}, "--host-port needs a whole number from 0 to 65535"},
        {{"--host", "localhost"}, "numeric IPv4"},
        {{"--host", "127.0.0.256"}, "numeric IPv4"},
        {{"--bind", "::1"}, "--bind needs a numeric IPv4"},
        {{"--host", "192.168.1.20"}, "outside 127.0.0.0/8"},
        {{"--host", "128.0.0.1"}, "outside 127.0.0.0/8"},
        // The console answers at the address in the query: that must stay on loopback too.
        {{"--presence", "192.168.1.20"}, "--presence 192.168.1.20 is outside"},
        {{"--pit-every", "2"}, "--pit-every and --pit-ms go together"},
        {{"--pit-ms", "90000"}, "--pit-every and --pit-ms go together"},
        {{"--pit-every", "0", "--pit-ms", "5"}, "--pit-every needs a whole number from 1"},
    };
    for (const auto& c : cases) {
        auto r = ParseOptions(c.args);
        EXPECT_FALSE(r.ok()) << c.args[0];
        EXPECT_NE(r.error.find(c.errorPart), std::string::npos) << r.error;
    }
}

TEST(ParseOptions, OtherNetworksOnlyWhenAskedFor) {
    auto r = Parse({"--host", "192.168.1.20", "--allow-non-loopback"});
    EXPECT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(Parse({"--help", "--host", "10.0.0.1"}).options.help);
}

TEST(PitPlan, StandsAfterEveryKthLapButNeverAtTheStartOrTheFinish) {
    struct Case {
        int laps, every;
        std::vector<int> stops;  // passes that are stops, of passes 1 .. laps + 1
    };
    const Case cases[] = {
        {5, 2, {3, 5}},  // after laps 2 and 4
        {4, 2, {3}},     // pass 5 closes the final lap
        {3, 1, {2, 3}}, {3, 3, {}}, {3, 0, {}},
    };
    for (const Case& c : cases) {
        Options o;
        o.laps = c.laps;
        o.pitEvery = c.every;
        o.pitMs = 90'000;
        std::vector<int> stops;
        for (int pass = 1; pass <= c.laps + 1; ++pass) {
            EXPECT_EQ(PassLengthMs(o, pass), IsPitStop(o, pass) ? 90'000 : o.inRangeMs);
            if (IsPitStop(o, pass)) stops.push_back(pass);
        }
        EXPECT_EQ(stops, c.stops) << c.laps << " laps, every " << c.every;
    }
    auto r = Parse({"--pit-every=2", "--pit-ms", "90000"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.pitEvery, 2);
    EXPECT_EQ(r.options.pitMs, 90'000);
}

TEST(LoopbackAddress, WholeSlashEightOnly) {
    EXPECT_TRUE(IsLoopbackAddress("127.0.0.1"));
    EXPECT_TRUE(IsLoopbackAddress("127.255.255.254"));
    EXPECT_FALSE(IsLoopbackAddress("126.255.255.255"));
    EXPECT_FALSE(IsLoopbackAddress("0.0.0.0"));
    EXPECT_FALSE(IsLoopbackAddress("127.1"));
    EXPECT_FALSE(IsLoopbackAddress(""));
}

TEST(LapMeter, TimesFromOnePassStartToTheNext) {
    using namespace std::chrono;
    LapMeter m;
    const LapMeter::Clock::time_point t0{seconds(100)};
    EXPECT_FALSE(m.PassStarted(t0));
    EXPECT_EQ(m.PassStarted(t0 + microseconds(2'000'999)), 2000);  // truncated to whole ms
    EXPECT_EQ(m.PassStarted(t0 + milliseconds(3500)), 1499);
    EXPECT_EQ(m.Laps(), 2);
}

}  // namespace
}  // namespace velmora::carsim
