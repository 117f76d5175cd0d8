// velmora-udp-proxy: sits between simulated cars and the console on loopback and loses,
// duplicates and reorders datagrams in both directions, from a seed.
//
// For each slot i it owns two sockets:
//   car side      --car-address:(--car-port-base + 10·i)   the simulator sends here
//                                                           (velmora-carsim --host-port)
//   console side  --reply-address:(7012 + 10·i)            the console replies here, because
//                                                           the slot is registered with
//                                                           --reply-address
// Car datagrams go on to --console-address:(7011 + 10·i), replies to
// --car-address:(7012 + 10·i) where the simulator listens. Every datagram is logged to --log,
// one line each ("ev t=<µs> d=<c2h|h2c> s=<slot> id=<n> a=<fwd|drop|dup|hold|rel> lap=<n>",
// replies with " last=<ms>", the status block's last lap);
// the per-stream counts go to stdout when the proxy ends (SIGTERM, SIGINT or --max-seconds).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fault_plan.h"
#include "host_reply.h"
#include "options.h"

using namespace velmora::soak;
namespace carsim = velmora::carsim;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<bool> g_stop{false};
extern "C" void OnSignal(int) { g_stop = true; }

struct ProxyOptions {
    std::vector<int> slots{0, 1, 2};
    std::string carAddress = "127.0.0.1";
    std::string replyAddress = "127.0.0.2";
    std::string consoleAddress = "127.0.0.1";
    int carPortBase = 27011;
    FaultRates rates;
    int holdMs = 150;
    std::uint64_t seed = 1;
    int maxSeconds = 3600;
    std::string log = "/dev/null";
};

// The lap echo a car message starts with: three digits, as the simulator always sends.
std::optional<int> EchoOf(std::string_view carMessage) {
    if (carMessage.size() < 3) return std::nullopt;
    int v = 0;
    for (char ch : carMessage.substr(0, 3)) {
        if (ch < '0' || ch > '9') return std::nullopt;
        v = v * 10 + (ch - '0');
    }
    return v;
}

// The lap count of a reply's status block, read as the car reads it. The block is ASCII, so
// the raw CP932 bytes do; a reply without a block gives nothing.
std::optional<int> StatusLapOf(std::string_view reply) {
    const auto decoded = carsim::DecodeReply(reply);
    if (!decoded || !decoded->status) return std::nullopt;
    return static_cast<int>(decoded->status->lap);
}

std::optional<ProxyOptions> Parse(int argc, char** argv, std::string& error) {
    ProxyOptions o;
    for (int k = 1; k < argc; ++k) {
        const std::string name = argv[k];
        if (k + 1 >= argc) {
            error = name + " needs a value";
            return std::nullopt;
        }
        const std::string v = argv[++k];
        try {
            if (name == "--slots") {
                o.slots.clear();
                std::stringstream ss(v);
                for (std::string item; std::getline(ss, item, ',');)
                    o.slots.push_back(std::stoi(item));
            } else if (name == "--car-address") {
                o.carAddress = v;
            } else if (name == "--reply-address") {
                o.replyAddress = v;
            } else if (name == "--console-address") {
                o.consoleAddress = v;
            } else if (name == "--car-port-base") {
                o.carPortBase = std::stoi(v);
            } else if (name == "--loss") {
                o.rates.loss = std::stod(v);
            } else if (name == "--dup") {
                o.rates.dup = std::stod(v);
            } else if (name == "--reorder") {
                o.rates.reorder = std::stod(v);
            } else if (name == "--max-faults") {
                o.rates.maxFaults = std::stoll(v);
            } else if (name == "--max-consecutive-drops") {
                o.rates.maxConsecutiveDrops = std::stoi(v);
            } else if (name == "--hold-ms") {
                o.holdMs = std::stoi(v);
            } else if (name == "--seed") {
                o.seed = std::stoull(v);
            } else if (name == "--max-seconds") {
                o.maxSeconds = std::stoi(v);
            } else if (name == "--log") {
                o.log = v;
            } else {
                error = "unknown option " + name;
                return std::nullopt;
            }
        } catch (const std::exception&) {
            error = name + ": bad value \"" + v + "\"";
            return std::nullopt;
        }
    }
    for (const std::string* a : {&o.carAddress, &o.replyAddress, &o.consoleAddress})
        if (!carsim::IsLoopbackAddress(*a)) {
            error = *a + " is outside 127.0.0.0/8";
            return std::nullopt;
        }
    for (int s : o.slots)
        if (s < 0 || s > 4) {
            error = "slots are 0..4";
            return std::nullopt;
        }
    if (o.rates.loss < 0 || o.rates.dup < 0 || o.rates.reorder < 0 ||
        o.rates.loss + o.rates.dup + o.rates.reorder > 1) {
        error = "--loss, --dup and --reorder are probabilities adding up to at most 1";
        return std::nullopt;
    }
    return o;
}

sockaddr_in Address(const std::string& a, int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, a.c_str(), &sa.sin_addr);
    return sa;
}

int BoundSocket(const std::string& a, int port, std::string& error) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in sa = Address(a, port);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        error = a + ":" + std::to_string(port) + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

// One direction of one slot: where its datagrams come from and go to.
struct Stream {
    Direction dir;
    int slot;
    int inFd;   // receives
    int outFd;  // sends
    sockaddr_in to;
    long long nextId = 0;
    long long delivered = 0;
    struct Held {
        std::string bytes;
        long long id;
        Clock::time_point due;
    };
    std::optional<Held> held;
};

class Proxy {
  public:
    Proxy(const ProxyOptions& o, std::FILE* log)
        : o_(o), log_(log), plan_(o.rates, o.seed), start_(Clock::now()) {}

    bool Open(std::string& error) {
        for (int s : o_.slots) {
            const int carFd = BoundSocket(o_.carAddress, o_.carPortBase + 10 * s, error);
            if (carFd < 0) return false;
            fds_.push_back(carFd);
            const int consoleFd = BoundSocket(o_.replyAddress, 7012 + 10 * s, error);
            if (consoleFd < 0) return false;
            fds_.push_back(consoleFd);
            streams_.push_back({Direction::CarToHost,
                                s,
                                carFd,
                                consoleFd,
                                Address(o_.consoleAddress, 7011 + 10 * s),
                                0,
                                0,
                                {}});
            streams_.push_back({Direction::HostToCar,
                                s,
                                consoleFd,
                                carFd,
                                Address(o_.carAddress, 7012 + 10 * s),
                                0,
                                0,
                                {}});
            carLap_[s] = -1;
        }
        return true;
    }

    ~Proxy() {
        for (int fd : fds_) ::close(fd);
    }

    void Run() {
        const auto end = start_ + std::chrono::seconds(o_.maxSeconds);
        std::vector<pollfd> pfds;
        for (const Stream& st : streams_) pfds.push_back({st.inFd, POLLIN, 0});
        std::vector<char> buf(65536);
        while (!g_stop && Clock::now() < end) {
            ReleaseDue();
            if (::poll(pfds.data(), pfds.size(), NextWaitMs(end)) <= 0) continue;
            for (std::size_t k = 0; k < pfds.size(); ++k) {
                if (!(pfds[k].revents & POLLIN)) continue;
                const ssize_t n = ::recv(pfds[k].fd, buf.data(), buf.size(), 0);
                if (n >= 0) Take(streams_[k], std::string(buf.data(), static_cast<size_t>(n)));
            }
        }
        for (Stream& st : streams_)
            if (st.held) Release(st);
    }

    void PrintSummary(std::ostream& out) {
        for (Stream& st : streams_) {
            const FaultCounts& c = plan_.Counts(st.dir, st.slot);
            out << "proxy " << DirectionName(st.dir) << " slot=" << st.slot
                << " received=" << c.received << " delivered=" << st.delivered
                << " dropped=" << c.dropped << " duplicated=" << c.duplicated
                << " reordered=" << c.reordered << '\n';
        }
        for (const auto& [slot, laps] : lostNewLaps_) {
            out << "proxy lost-new-lap slot=" << slot << " laps=";
            const char* sep = "";
            for (int lap : laps) out << std::exchange(sep, ",") << lap;
            out << '\n';
        }
        out.flush();
    }

  private:
    long long Micros() const {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   Clock::now().time_since_epoch())
            .count();
    }

    static std::optional<int> LapOf(const Stream& st, std::string_view bytes) {
        return st.dir == Direction::CarToHost ? EchoOf(bytes) : StatusLapOf(bytes);
    }

    // `tUs`: when it happened; a datagram sent is logged with the moment just before the send,
    // which on loopback is when the other side's kernel stamps its arrival.
    void Log(const Stream& st, long long id, std::string_view action, std::string_view bytes,
             long long tUs = -1) {
        const std::optional<int> lap = LapOf(st, bytes);
        long long last = -1;
        if (st.dir == Direction::HostToCar)
            if (const auto reply = carsim::DecodeReply(bytes); reply && reply->status)
                last = reply->status->lastMs;
        std::fprintf(log_, "ev t=%lld d=%s s=%d id=%lld a=%.*s lap=%d last=%lld\n",
                     tUs >= 0 ? tUs : Micros(), DirectionName(st.dir).data(), st.slot, id,
                     static_cast<int>(action.size()), action.data(), lap ? *lap : -1, last);
    }

    void Send(Stream& st, long long id, std::string_view action, const std::string& bytes) {
        const long long t = Micros();
        ::sendto(st.outFd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&st.to),
                 sizeof st.to);
        ++st.delivered;
        Log(st, id, action, bytes, t);
        if (st.dir == Direction::HostToCar)
            if (auto lap = StatusLapOf(bytes)) carLap_[st.slot] = *lap;
    }

    void Release(Stream& st) {
        Stream::Held h = std::move(*st.held);
        st.held.reset();
        Send(st, h.id, "rel", h.bytes);
    }

    void Take(Stream& st, std::string bytes) {
        const long long id = st.nextId++;
        const Fate fate = plan_.Decide(st.dir, st.slot, !st.held);
        switch (fate) {
            case Fate::Drop:
                Log(st, id, "drop", bytes);
                if (st.dir == Direction::HostToCar)
                    if (auto lap = StatusLapOf(bytes); lap && *lap != carLap_[st.slot]) {
                        // The car never saw this count yet: it will echo the old one again.
                        std::fprintf(log_, "note lost-new-lap s=%d lap=%d\n", st.slot, *lap);
                        lostNewLaps_[st.slot].insert(*lap);
                    }
                return;
            case Fate::Hold:
                Log(st, id, "hold", bytes);
                st.held = Stream::Held{std::move(bytes), id,
                                       Clock::now() + std::chrono::milliseconds(o_.holdMs)};
                return;
            case Fate::Duplicate:
                Send(st, id, "fwd", bytes);
                Send(st, id, "dup", bytes);
                break;
            case Fate::Forward:
                Send(st, id, "fwd", bytes);
                break;
        }
        // The held datagram goes on after the one that overtook it.
        if (st.held) Release(st);
    }

    void ReleaseDue() {
        const auto now = Clock::now();
        for (Stream& st : streams_)
            if (st.held && st.held->due <= now) Release(st);
    }

    int NextWaitMs(Clock::time_point end) const {
        Clock::time_point next = std::min(end, Clock::now() + std::chrono::milliseconds(200));
        for (const Stream& st : streams_)
            if (st.held) next = std::min(next, st.held->due);
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
        return static_cast<int>(std::max<long long>(0, ms));
    }

    const ProxyOptions& o_;
    std::FILE* log_;
    FaultPlan plan_;
    Clock::time_point start_;
    std::vector<int> fds_;
    std::vector<Stream> streams_;
    std::map<int, int> carLap_;  // last status lap delivered to each car
    std::map<int, std::set<int>> lostNewLaps_;
};

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<ProxyOptions> o = Parse(argc, argv, error);
    if (!o) {
        std::cerr << "velmora-udp-proxy: " << error << '\n';
        return 2;
    }
    std::FILE* log = std::fopen(o->log.c_str(), "w");
    if (!log) {
        std::cerr << "velmora-udp-proxy: cannot write " << o->log << '\n';
        return 1;
    }
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    int rc = 0;
    {
        Proxy proxy(*o, log);
        if (!proxy.Open(error)) {
            std::cerr << "velmora-udp-proxy: cannot bind " << error << '\n';
            rc = 1;
        } else {
            std::cout << "proxy ready" << std::endl;
            proxy.Run();
            std::fflush(log);
            proxy.PrintSummary(std::cout);
        }
    }
    std::fclose(log);
    return rc;
}
