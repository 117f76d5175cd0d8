#include "engine/posix_datagrams.h"

#include "engine/clock_offset.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace velmora {

namespace {

// Datagrams read per call, and the room for one: a car's datagram is well under a hundred
// bytes; anything longer than this is cut (and is not a car's datagram anyway).
constexpr int kBatch = 32;
constexpr std::size_t kRoom = 4096;
constexpr std::size_t kControlRoom = CMSG_SPACE(sizeof(timespec));

bool IsCarSocket(SocketId id) { return id != SocketId::Presence; }

std::int64_t Ns(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t RealNowNs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return Ns(t);
}

std::string ErrorText(int error) {
    const std::string text = std::strerror(error);
    return text.empty() ? "error " + std::to_string(error) : text;
}

}  // namespace

PosixDatagrams::PosixDatagrams(MonotonicClock& mono)
    : mono_(mono), buffers_(kBatch * kRoom), controls_(kBatch * kControlRoom) {}

PosixDatagrams::~PosixDatagrams() {
    for (auto& [id, s] : sockets_)
        if (s.fd >= 0) ::close(s.fd);
}

std::string PosixDatagrams::Open(SocketId id, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return ErrorText(errno);
    // The kernel stamps each datagram as it is received, in CLOCK_REALTIME.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(port);
    // No SO_REUSEADDR: a second console on the same port must fail here.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        const int error = errno;
        ::close(fd);
        return ErrorText(error);
    }
    {
        std::lock_guard lock(sendMutex_);
        sendFds_[id] = fd;
    }
    Socket& s = sockets_[id];
    s = Socket{};
    s.fd = fd;
    s.port = port;
    s.generation = ++nextGeneration_;
    return "";
}

std::string PosixDatagrams::Capture(SocketId id, std::uint16_t port) {
    CloseNow(id);
    return Open(id, port);
}

void PosixDatagrams::EndCapture() {
    std::vector<SocketId> capturing;
    for (const auto& [id, s] : sockets_)
        if (!s.handler && !s.closing) capturing.push_back(id);
    for (SocketId id : capturing) CloseNow(id);
}

std::string PosixDatagrams::Bind(SocketId id, std::uint16_t localPort, DatagramHandler onDatagram) {
    auto it = sockets_.find(id);
    // Taking over a socket on the same port: one that captured since the start (what it kept
    // is handed on first), or one closed a moment ago whose replies still wait.
    if (it != sockets_.end() && it->second.port == localPort &&
        (!it->second.handler || it->second.closing)) {
        Socket& s = it->second;
        const bool captured = !s.handler;
        s.handler = std::move(onDatagram);
        s.closing = false;
        if (captured)
            for (Arrived& a : s.kept) a.held = true;
        else
            s.generation = ++nextGeneration_;
        return "";
    }
    CloseNow(id);
    if (std::string error = Open(id, localPort); !error.empty()) return error;
    sockets_[id].handler = std::move(onDatagram);
    return "";
}

void PosixDatagrams::Close(SocketId id) {
    auto it = sockets_.find(id);
    if (it == sockets_.end()) return;
    if (Waiting(id) != 0 && it->second.handler) {
        // Nothing more is handled, but the replies the journal still holds back will go.
        it->second.closing = true;
        it->second.kept.clear();
        return;
    }
    CloseNow(id);
}

void PosixDatagrams::CloseNow(SocketId id) {
    auto it = sockets_.find(id);
    if (it == sockets_.end()) return;
    {
        std::lock_guard lock(sendMutex_);
        sendFds_.erase(id);
        held_.Drop(id);
    }
    if (it->second.fd >= 0) ::close(it->second.fd);
    sockets_.erase(it);
}

bool PosixDatagrams::IsBound(SocketId id) const {
    const auto it = sockets_.find(id);
    return it != sockets_.end() && it->second.handler && !it->second.closing;
}

void PosixDatagrams::AddPollFds(std::vector<pollfd>& fds) const {
    for (const auto& [id, s] : sockets_)
        if (!s.closing) fds.push_back(pollfd{s.fd, POLLIN, 0});
}

void PosixDatagrams::Read(std::vector<Arrived>& out) {
    const std::size_t first = out.size();
    // The receive stamps are on the real-time clock: map them through the offset between the
    // two clocks now. A step of the real-time clock (NTP) shifts at most the datagrams already
    // waiting, and those are kept in order and never later than their reading below.
    const ClockOffset clocks =
        ReadClockOffset([] { return RealNowNs(); }, [this] { return mono_.NowNs(); });
    for (auto& [id, s] : sockets_) {
        if (s.closing) continue;
        ReadSocket(id, s, clocks.monoNowNs, clocks.offsetNs, out);
    }
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                     [](const Arrived& a, const Arrived& b) { return a.arrivalNs < b.arrivalNs; });
}

void PosixDatagrams::ReadSocket(SocketId id, Socket& s, std::int64_t monoNow, std::int64_t offset,
                                std::vector<Arrived>& out) {
    if (s.handler && !s.kept.empty()) {
        for (Arrived& a : s.kept) out.push_back(std::move(a));
        s.kept.clear();
    }
    std::vector<Arrived>& into = s.handler ? out : s.kept;
    mmsghdr msgs[kBatch];
    iovec iovs[kBatch];
    while (true) {
        for (int k = 0; k < kBatch; ++k) {
            iovs[k] = iovec{buffers_.data() + k * kRoom, kRoom};
            msgs[k] = mmsghdr{};
            msgs[k].msg_hdr.msg_iov = &iovs[k];
            msgs[k].msg_hdr.msg_iovlen = 1;
            msgs[k].msg_hdr.msg_control = controls_.data() + k * kControlRoom;
            msgs[k].msg_hdr.msg_controllen = kControlRoom;
        }
        const int n = ::recvmmsg(s.fd, msgs, kBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0) return;
        // What arrived after the clocks were read (the thread may have been preempted since)
        // keeps its own stamp: only a stamp beyond this reading is taken back to it.
        monoNow = std::max(monoNow, mono_.NowNs());
        for (int k = 0; k < n; ++k) {
            std::int64_t arrival = monoNow;
            for (cmsghdr* c = CMSG_FIRSTHDR(&msgs[k].msg_hdr); c != nullptr;
                 c = CMSG_NXTHDR(&msgs[k].msg_hdr, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec t{};
                    std::memcpy(&t, CMSG_DATA(c), sizeof t);
                    arrival = Ns(t) + offset;
                }
            }
            // In order per socket, and never in the future.
            arrival = std::clamp(arrival, std::min(s.lastArrivalNs, monoNow), monoNow);
            s.lastArrivalNs = arrival;
            const std::size_t size = std::min<std::size_t>(msgs[k].msg_len, kRoom);
            into.push_back(Arrived{id, arrival, std::string(buffers_.data() + k * kRoom, size),
                                   false, s.generation});
        }
        if (n < kBatch) return;
    }
}

bool PosixDatagrams::Dispatch(const Arrived& a) {
    const auto it = sockets_.find(a.id);
    if (it == sockets_.end() || it->second.closing || !it->second.handler ||
        it->second.generation != a.generation)
        return false;
    if (traffic_ && IsCarSocket(a.id)) traffic_(Traffic{Direction::In, a.id, a.arrivalNs, a.bytes});
    // A copy: the handler may close or bind its own socket again.
    const DatagramHandler handler = it->second.handler;
    handler(Datagram{a.bytes, a.arrivalNs, a.held});
    return true;
}

void PosixDatagrams::Send(SocketId id, std::string_view host, std::uint16_t port,
                          std::string_view bytes) {
    SendAfter(id, host, port, bytes, 0);
}

void PosixDatagrams::SendAfter(SocketId id, std::string_view host, std::uint16_t port,
                               std::string_view bytes, JournalTicket ticket) {
    const auto it = sockets_.find(id);
    if (it == sockets_.end() || it->second.closing) return;
    std::optional<std::int64_t> sentNs;
    {
        // Under the lock, so that a reply sent now cannot overtake one Release is sending.
        std::lock_guard lock(sendMutex_);
        if (held_.MustWait(id, ticket)) {
            held_.Hold(id, HeldReplies::Reply{std::string(host), port, std::string(bytes), ticket});
            return;
        }
        sentNs = SendLocked(id, std::string(host), port, bytes);
    }
    if (!sentNs || !IsCarSocket(id)) return;
    // What Release sent before it goes in the record first.
    LogReleased();
    if (traffic_) traffic_(Traffic{Direction::Out, id, *sentNs, bytes});
}

void PosixDatagrams::Release(JournalTicket ticket) {
    std::lock_guard lock(sendMutex_);
    held_.Release(ticket, [this](SocketId id, const HeldReplies::Reply& r) {
        if (const auto sentNs = SendLocked(id, r.host, r.port, r.bytes); sentNs && IsCarSocket(id))
            released_.push_back(Sent{id, *sentNs, r.bytes});
    });
}

void PosixDatagrams::Durable(JournalTicket ticket) {
    Release(ticket);
    LogReleased();
    // A socket closed while its replies waited goes once they have left.
    std::vector<SocketId> done;
    for (const auto& [id, s] : sockets_)
        if (s.closing && Waiting(id) == 0) done.push_back(id);
    for (SocketId id : done) CloseNow(id);
}

void PosixDatagrams::LogReleased() {
    std::vector<Sent> sent;
    {
        std::lock_guard lock(sendMutex_);
        sent.swap(released_);
    }
    if (traffic_)
        for (const Sent& r : sent) traffic_(Traffic{Direction::Out, r.id, r.ns, r.bytes});
}

std::size_t PosixDatagrams::Waiting(SocketId id) const {
    std::lock_guard lock(sendMutex_);
    return held_.Waiting(id);
}

std::optional<std::int64_t> PosixDatagrams::SendLocked(SocketId id, const std::string& host,
                                                       std::uint16_t port, std::string_view bytes) {
    const auto fd = sendFds_.find(id);
    if (fd == sendFds_.end() || host.empty()) return std::nullopt;
    const std::optional<in_addr> address = names_.Lookup(host);
    if (!address) {
        ++unresolved_;
        return std::nullopt;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = *address;
    to.sin_port = htons(port);
    // Stamped before the send: on loopback the send wakes the receiver, which may take this
    // core before the call returns.
    const std::int64_t sentNs = mono_.NowNs();
    // A full send buffer or an unreachable car loses this reply as the wireless link would;
    // the car asks again with its next datagram.
    ::sendto(fd->second, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
    return sentNs;
}

std::string PosixDatagrams::LocalAddress() const {
    ifaddrs* list = nullptr;
    std::string found = "127.0.0.1";
    if (::getifaddrs(&list) != 0) return found;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        if ((a->ifa_flags & IFF_UP) == 0 || (a->ifa_flags & IFF_LOOPBACK) != 0) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) {
            found = text;
            break;
        }
    }
    ::freeifaddrs(list);
    return found;
}

}  // namespace velmora
