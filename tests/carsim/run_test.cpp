// The simulator's loop against a small console stand-in on loopback ports of its own.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "car_message.h"
#include "car_run.h"
#include "udp_socket.h"

namespace velmora::carsim {
namespace {

using namespace std::chrono;

// Ports of their own, one pair per test, so ctest -j can run the tests side by side.
constexpr Ports kPorts{47612, 47611};
constexpr Ports kQuietPorts{47622, 47621};
constexpr Ports kStopPorts{47632, 47631};
constexpr Ports kBusyPorts{47642, 47641};
constexpr Ports kPitPorts{47652, 47651};
const std::string kTail = "0000083450000008123000000825002026/12/0714:05:0900:00:00";

// Answers every datagram; counts a lap when a datagram follows a gap longer than
// `lapGap`, and from then on sends the count in a status block like the console does.
struct StandIn {
    UdpSocket sock;
    std::vector<std::string> received;
    std::thread thread;

    explicit StandIn(milliseconds lapGap, Ports ports = kPorts) {
        EXPECT_EQ(sock.Bind("127.0.0.1", ports.host), "");
        thread = std::thread([this, lapGap, ports] {
            int lap = 0;
            auto last = steady_clock::now();
            while (auto d = sock.Receive(milliseconds(600))) {
                const auto now = steady_clock::now();
                if (!received.empty() && now - last > lapGap) ++lap;
                last = now;
                received.push_back(*d);
                const std::string block = lap > 0 ? FormatLapEcho(lap) + kTail : "";
                sock.SendTo("127.0.0.1", ports.car, "N" + block + "ok");
            }
        });
    }
    void Join() {
        if (thread.joinable()) thread.join();
    }
    ~StandIn() { Join(); }
};

TEST(RunLaps, EchoesTheCountOfTheLastStatusBlockAndCountsEveryReply) {
    StandIn console(milliseconds(150));
    Options o;
    o.laps = 2;
    o.inRangeMs = 60;
    o.intervalMs = 20;
    o.silenceMs = 300;
    o.text = "ピット";
    std::ostringstream out, err;
    std::atomic<bool> stop{false};
    EXPECT_EQ(RunLaps(o, kPorts, out, err, stop), kExitOk) << err.str();
    console.Join();  // the stand-in stops once the car is quiet

    // Three passes of three datagrams; each pass but the first echoes the lap the
    // previous pass was told about.
    ASSERT_EQ(console.received.size(), 9u) << out.str();
    const std::string pitto = "\x83\x73\x83\x62\x83\x67";
    const char* echoes[] = {"000", "000", "000", "000", "001", "001", "001", "002", "002"};
    for (std::size_t k = 0; k < 9; ++k) EXPECT_EQ(console.received[k], echoes[k] + pitto) << k;
    const std::string text = out.str();
    EXPECT_NE(text.find("lap n=1 ms="), std::string::npos);
    EXPECT_NE(text.find("lap n=2 ms="), std::string::npos);
    EXPECT_NE(text.find("reply flag=N lap=2 last_ms=83450"), std::string::npos);
    EXPECT_NE(text.find("pass n=3 t_ns="), std::string::npos);
    EXPECT_NE(text.find("summary sent=9 replies=9 laps=2\n"), std::string::npos) << text;
    EXPECT_EQ(err.str(), "");
}

TEST(RunLaps, AStopIsOneLongPassThatKeepsSending) {
    StandIn console(milliseconds(150), kPitPorts);
    Options o;
    o.laps = 3;
    o.inRangeMs = 60;
    o.intervalMs = 20;
    o.silenceMs = 300;
    o.pitEvery = 2;
    o.pitMs = 240;
    o.quiet = true;
    std::ostringstream out, err;
    std::atomic<bool> stop{false};
    EXPECT_EQ(RunLaps(o, kPitPorts, out, err, stop), kExitOk) << err.str();
    console.Join();

    // Passes of 3, 3, 12 (standing after lap 2) and 3 datagrams; the stand-in, which counts a
    // lap after each silence, counted three laps and no more: the car never fell silent while
    // it stood. Lap 3 holds the stop: to its last datagram, then the silence.
    const std::string text = out.str();
    EXPECT_EQ(console.received.size(), 21u) << text;
    EXPECT_EQ(console.received.back().substr(0, 3), "003");
    EXPECT_NE(text.find("pass n=3 t_ns="), std::string::npos);
    EXPECT_NE(text.find("pit lap=2 ms=240\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("pit lap=1"), std::string::npos);
    EXPECT_EQ(text.find("pit lap=3"), std::string::npos);
    const auto lap3 = text.find("lap n=3 ms=");
    ASSERT_NE(lap3, std::string::npos);
    EXPECT_GE(std::stoi(text.substr(lap3 + 11)), o.pitMs - o.intervalMs + o.silenceMs);
    EXPECT_NE(text.find("summary sent=21 replies=21 laps=3\n"), std::string::npos) << text;
}

TEST(RunLaps, ReportsRepliesThatNeverCame) {
    Options o;  // nobody listens on the host port
    o.laps = 0;
    o.inRangeMs = 50;
    o.intervalMs = 20;
    o.quiet = true;
    std::ostringstream out, err;
    std::atomic<bool> stop{false};
    EXPECT_EQ(RunLaps(o, kQuietPorts, out, err, stop), kExitOk);
    EXPECT_NE(out.str().find("summary sent=3 replies=0 laps=0"), std::string::npos) << out.str();
}

TEST(RunLaps, StopsAtOnceWhenAskedAndSaysSo) {
    Options o;
    o.quiet = true;
    std::ostringstream out, err;
    std::atomic<bool> stop{true};
    EXPECT_EQ(RunLaps(o, kStopPorts, out, err, stop), kExitFailed);
    EXPECT_NE(out.str().find("summary sent=0 replies=0 laps=0"), std::string::npos);
    EXPECT_NE(err.str().find("interrupted"), std::string::npos);
}

TEST(RunLaps, APortInUseIsAFailureNotASilentShare) {
    UdpSocket other;
    ASSERT_EQ(other.Bind("127.0.0.1", kBusyPorts.car), "");
    Options o;
    std::ostringstream out, err;
    std::atomic<bool> stop{false};
    EXPECT_EQ(RunLaps(o, kBusyPorts, out, err, stop), kExitFailed);
    EXPECT_NE(err.str().find("cannot bind 127.0.0.1:47642"), std::string::npos) << err.str();
}

TEST(RunPresence, PrintsTheAnswerOrTimesOut) {
    constexpr Ports presence{47602, 47601};
    UdpSocket responder;
    ASSERT_EQ(responder.Bind("127.0.0.1", presence.host), "");
    std::thread answer([&] {
        if (auto q = responder.Receive(milliseconds(2000)))
            responder.SendTo(*q, presence.car, "\x82\x51\x8d\x86\x8e\xd4");  // "２号車"
    });
    Options o;
    o.presence = "127.0.0.1";
    std::ostringstream out, err;
    std::atomic<bool> stop{false};
    EXPECT_EQ(RunPresence(o, presence, out, err, stop), kExitOk) << err.str();
    answer.join();
    EXPECT_EQ(out.str(), "presence reply=\"２号車\"\n");

    o.timeoutMs = 50;  // nobody answers now
    out.str("");
    EXPECT_EQ(RunPresence(o, presence, out, err, stop), kExitFailed);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("no presence reply within 50 ms"), std::string::npos);
}

}  // namespace
}  // namespace velmora::carsim
