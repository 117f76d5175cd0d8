// The engine's sockets on loopback: the kernel's receive stamp is a datagram's arrival, binds are
// exclusive, a socket bound before anything handles it keeps what arrives until it is taken
// over, replies held for the journal leave in order, and names resolve without blocking.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/system_clocks.h"
#include "engine/posix_datagrams.h"

namespace velmora::test {
namespace {

// Ports away from the console's 7001-7052, in the test's own network namespace.
constexpr std::uint16_t kHost = 47111;
constexpr std::uint16_t kOther = 47121;
constexpr std::uint16_t kCar = 47112;

// A plain socket playing a car.
class Peer {
  public:
    explicit Peer(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = Address(port);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Peer() { ::close(fd_); }
    bool bound() const { return bound_; }
    void SendTo(std::uint16_t port, const std::string& bytes) {
        sockaddr_in a = Address(port);
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    // What arrived, waiting up to `ms`.
    std::optional<std::string> Receive(int ms) {
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        char buf[512];
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n < 0) return std::nullopt;
        return std::string(buf, static_cast<std::size_t>(n));
    }

  private:
    static sockaddr_in Address(std::uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }
    int fd_ = -1;
    bool bound_ = false;
};

struct Got {
    std::string bytes;
    std::int64_t ns;
    bool held;
};

// Reads until `count` datagrams were handed on or a second passed.
std::vector<Got> ReadAll(PosixDatagrams& net, std::vector<Got>& got, std::size_t count) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (got.size() < count && std::chrono::steady_clock::now() < until) {
        std::vector<EngineNet::Arrived> arrived;
        net.Read(arrived);
        for (const auto& a : arrived) net.Dispatch(a);
        if (got.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return got;
}

TEST(PosixDatagrams, TheKernelsReceiveStampIsTheArrivalHoweverLateTheRead) {
    SteadyClock mono;
    PosixDatagrams net(mono);
    std::vector<Got> got;
    ASSERT_EQ(net.Bind(SocketId::Car0, kHost,
                       [&](const Datagram& d) {
                           got.push_back({std::string(d.bytes), d.arrivalNs, d.held});
                       }),
              "");
    Peer car(kCar);
    ASSERT_TRUE(car.bound());
    // The kernel turns receive stamping on for the whole machine a moment after the first
    // socket asks for it (deferred work); until then a datagram is stamped when it is read.
    // A machine that never had a stamping socket open needs a few warm-up datagrams.
    for (int tries = 0; tries < 100; ++tries) {
        car.SendTo(kHost, "000");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::int64_t readAt = mono.NowNs();
        ReadAll(net, got, 1);
        const bool stamped = got.size() == 1 && readAt - got[0].ns >= 10'000'000;
        got.clear();
        if (stamped) break;
    }
    const std::int64_t before = mono.NowNs();
    car.SendTo(kHost, "001");  // on loopback the kernel stamps it within this call
    const std::int64_t after = mono.NowNs();
    // The console's thread is busy for a while before it reads.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ReadAll(net, got, 1);
    ASSERT_EQ(got.size(), 1u);
    const std::int64_t slack = 1'000'000;  // the mapping between the two clocks
    EXPECT_GE(got[0].ns, before - slack);
    EXPECT_LE(got[0].ns, after + slack);
    EXPECT_GE(mono.NowNs() - got[0].ns, 50'000'000);
    EXPECT_FALSE(got[0].held);
}

TEST(PosixDatagrams, ABindIsExclusiveAndCloseFreesThePort) {
    SteadyClock mono;
    PosixDatagrams net(mono);
    ASSERT_EQ(net.Bind(SocketId::Car0, kHost, [](const Datagram&) {}), "");
    const std::string reason = net.Bind(SocketId::Car1, kHost, [](const Datagram&) {});
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(net.IsBound(SocketId::Car1));
    net.Close(SocketId::Car0);
    EXPECT_FALSE(net.IsBound(SocketId::Car0));
    EXPECT_EQ(net.Bind(SocketId::Car1, kHost, [](const Datagram&) {}), "");
}

TEST(PosixDatagrams, WhatACaptureKeepsIsHandedOnFirstWhenTakenOverOrDropped) {
    SteadyClock mono;
    Peer car(kCar);
    for (bool takenOver : {true, false}) {
        SCOPED_TRACE(takenOver ? "taken over" : "dropped");
        PosixDatagrams net(mono);
        ASSERT_EQ(net.Capture(SocketId::Car0, kHost), "");
        EXPECT_FALSE(net.IsBound(SocketId::Car0));
        car.SendTo(kHost, "first");
        car.SendTo(kHost, "second");
        std::vector<EngineNet::Arrived> none;
        for (int k = 0; k < 50 && none.empty(); ++k) {
            net.Read(none);  // kept, not handed on
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_TRUE(none.empty());
        std::vector<Got> got;
        if (takenOver) {
            ASSERT_EQ(net.Bind(SocketId::Car0, kHost,
                               [&](const Datagram& d) {
                                   got.push_back({std::string(d.bytes), d.arrivalNs, d.held});
                               }),
                      "");
            car.SendTo(kHost, "live");
            ReadAll(net, got, 3);
            ASSERT_EQ(got.size(), 3u);
            EXPECT_EQ(got[0].bytes, "first");
            EXPECT_EQ(got[1].bytes, "second");
            EXPECT_TRUE(got[0].held && got[1].held);
            EXPECT_LE(got[0].ns, got[1].ns);
            EXPECT_EQ(got[2].bytes, "live");
            EXPECT_FALSE(got[2].held);
        } else {
            net.EndCapture();
            // The port is free again, and nothing kept comes back.
            PosixDatagrams other(mono);
            EXPECT_EQ(other.Bind(SocketId::Car0, kHost,
                                 [&](const Datagram& d) {
                                     got.push_back({std::string(d.bytes), d.arrivalNs, d.held});
                                 }),
                      "");
            ReadAll(other, got, 1);
            EXPECT_TRUE(got.empty());
        }
    }
}

TEST(PosixDatagrams, RepliesHeldForTheJournalLeaveInOrderAndHoldNoOtherSocket) {
    SteadyClock mono;
    PosixDatagrams net(mono);
    ASSERT_EQ(net.Bind(SocketId::Car0, kHost, [](const Datagram&) {}), "");
    ASSERT_EQ(net.Bind(SocketId::Car1, kOther, [](const Datagram&) {}), "");
    Peer car(kCar);
    net.SendAfter(SocketId::Car0, "127.0.0.1", kCar, "lap", 5);
    net.Send(SocketId::Car0, "127.0.0.1", kCar, "behind it");
    net.Send(SocketId::Car1, "127.0.0.1", kCar, "other car");
    EXPECT_EQ(car.Receive(500), "other car");
    EXPECT_EQ(net.Waiting(SocketId::Car0), 2u);
    net.Durable(4);
    EXPECT_EQ(net.Waiting(SocketId::Car0), 2u);
    // A socket closed meanwhile still lets its held replies go, then closes.
    net.Close(SocketId::Car0);
    EXPECT_FALSE(net.IsBound(SocketId::Car0));
    net.Durable(5);
    EXPECT_EQ(car.Receive(500), "lap");
    EXPECT_EQ(car.Receive(500), "behind it");
    EXPECT_EQ(net.Bind(SocketId::Car2, kHost, [](const Datagram&) {}), "");
}

// Car 0's socket, a car to hear it, and the replies the traffic record got, in order.
class ReleasedReplies : public ::testing::Test {
  protected:
    void SetUp() override {
        net.SetTrafficLog([this](const EngineNet::Traffic& t) {
            if (t.direction == EngineNet::Direction::Out) logged.emplace_back(t.bytes);
        });
        ASSERT_EQ(net.Bind(SocketId::Car0, kHost, [](const Datagram&) {}), "");
    }
    SteadyClock mono;
    PosixDatagrams net{mono};
    std::vector<std::string> logged;
    Peer car{kCar};
};

// The journal's writer lets a lap's reply go from its own thread as the sync ends; the engine
// logs it afterwards, before anything it sends later, and nothing overtakes it on the socket.
TEST_F(ReleasedReplies, LeaveAtOnceAndAreLoggedInOrder) {
    net.SendAfter(SocketId::Car0, "127.0.0.1", kCar, "lap", 3);
    net.Send(SocketId::Car0, "127.0.0.1", kCar, "behind it");
    std::thread([this] { net.Release(3); }).join();
    EXPECT_EQ(car.Receive(500), "lap");
    EXPECT_EQ(car.Receive(500), "behind it");
    EXPECT_EQ(net.Waiting(SocketId::Car0), 0u);
    EXPECT_TRUE(logged.empty());
    net.Send(SocketId::Car0, "127.0.0.1", kCar, "next");
    EXPECT_EQ(car.Receive(500), "next");
    net.Durable(3);
    EXPECT_EQ(logged, (std::vector<std::string>{"lap", "behind it", "next"}));
}

// The engine sends and holds while the writer releases: whatever the interleaving, the car
// hears every reply once, in the order it was sent, and the record has them in that order.
TEST_F(ReleasedReplies, KeepTheirOrderWhileAnotherThreadReleasesThem) {
    constexpr int kReplies = 100;
    std::thread writer([this] {
        for (int t = 1; t <= kReplies; ++t) net.Release(static_cast<JournalTicket>(t));
    });
    std::vector<std::string> sent;
    for (int k = 1; k <= kReplies; ++k) {
        sent.push_back(std::to_string(k));
        // Every third reply needs nothing durable; it still waits behind any held before it.
        const auto ticket = static_cast<JournalTicket>(k % 3 == 0 ? 0 : k);
        net.SendAfter(SocketId::Car0, "127.0.0.1", kCar, sent.back(), ticket);
    }
    writer.join();
    net.Durable(static_cast<JournalTicket>(kReplies));
    std::vector<std::string> heard;
    while (const auto got = car.Receive(200)) heard.push_back(*got);
    EXPECT_EQ(heard, sent);
    EXPECT_EQ(logged, sent);
}

TEST(PosixDatagrams, NamesResolveWithoutBlockingAndEmptyHostsAreDropped) {
    SteadyClock mono;
    PosixDatagrams net(mono);
    ASSERT_EQ(net.Bind(SocketId::Car1, kOther, [](const Datagram&) {}), "");
    Peer car(kCar);
    net.Send(SocketId::Car1, "", kCar, "x");
    EXPECT_EQ(net.Unresolved(), 0u);
    // The first datagram to a name goes while the lookup runs: dropped, never misdelivered.
    net.Send(SocketId::Car1, "localhost", kCar, "early");
    EXPECT_EQ(net.Unresolved(), 1u);
    std::optional<std::string> got;
    for (int k = 0; k < 100 && !got; ++k) {
        net.Send(SocketId::Car1, "localhost", kCar, "late");
        got = car.Receive(20);
    }
    EXPECT_EQ(got, "late");
}

}  // namespace
}  // namespace velmora::test
