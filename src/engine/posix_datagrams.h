#pragma once
// The console's UDP sockets with POSIX calls, read on the console's own thread. Each socket is
// bound exclusively on all IPv4 interfaces (a second program on the same port fails instead of
// sharing the cars' datagrams), and every datagram is stamped with the kernel's receive time
// (SO_TIMESTAMPNS) mapped onto the monotonic clock: a lap is timed by when its datagram
// arrived, not by when the console got to it. Host names resolve on a thread of their own.
//
// Threads: everything runs on the engine's thread except Release, which the journal's writer
// calls the moment a sync ends, so that a lap's held reply leaves without waiting for the
// engine to wake. The held replies, the descriptors they go out on and the record of what
// Release sent are shared under `sendMutex_`; a socket's descriptor is closed only after it
// has left that table, so Release never sends on a descriptor closed or reused meanwhile.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine_net.h"
#include "engine/held_replies.h"
#include "engine/name_resolver.h"

namespace velmora {

class PosixDatagrams : public EngineNet {
  public:
    explicit PosixDatagrams(MonotonicClock& mono);
    ~PosixDatagrams() override;
    PosixDatagrams(const PosixDatagrams&) = delete;
    PosixDatagrams& operator=(const PosixDatagrams&) = delete;

    std::string Bind(SocketId id, std::uint16_t localPort, DatagramHandler onDatagram) override;
    void Close(SocketId id) override;
    bool IsBound(SocketId id) const override;
    void Send(SocketId id, std::string_view host, std::uint16_t port,
              std::string_view bytes) override;
    void SendAfter(SocketId id, std::string_view host, std::uint16_t port, std::string_view bytes,
                   JournalTicket ticket) override;
    std::string LocalAddress() const override;

    // Binds `port` for `id` before anything can handle what arrives: datagrams are read and
    // stamped as usual and kept, until a Bind of the same id and port takes the socket over
    // (they are then handed on first, marked held) or EndCapture drops them.
    std::string Capture(SocketId id, std::uint16_t port);
    // Closes every socket still capturing and drops what it kept.
    void EndCapture();

    void AddPollFds(std::vector<pollfd>& fds) const override;
    void Read(std::vector<Arrived>& out) override;
    bool Dispatch(const Arrived& a) override;
    // Lets the replies held up to `ticket` leave and, on the engine's thread, logs what any
    // thread's Release sent and closes the sockets that were waiting for it.
    void Durable(JournalTicket ticket) override;
    // Any thread: the journal holds every commit up to `ticket`, so the replies waiting for
    // them leave now, in order on each socket. Their traffic is logged by the next Durable.
    void Release(JournalTicket ticket);
    void SetTrafficLog(std::function<void(const Traffic&)> log) override {
        traffic_ = std::move(log);
    }
    std::size_t Waiting(SocketId id) const;
    // Datagrams not sent because their host name did not resolve (yet).
    std::uint64_t Unresolved() const { return unresolved_; }

  private:
    struct Socket {
        int fd = -1;
        std::uint16_t port = 0;
        DatagramHandler handler;  // empty while capturing
        bool closing = false;     // closed for the console, open until its held replies left
        std::uint64_t generation = 0;
        std::int64_t lastArrivalNs = 0;
        std::vector<Arrived> kept;
    };
    std::string Open(SocketId id, std::uint16_t port);
    void CloseNow(SocketId id);
    void ReadSocket(SocketId id, Socket& s, std::int64_t monoNow, std::int64_t offset,
                    std::vector<Arrived>& out);
    // Engine's thread: hands what Release sent to the traffic log, in the order it left.
    void LogReleased();
    // With `sendMutex_` held. The moment it was sent, or nothing when it could not be.
    std::optional<std::int64_t> SendLocked(SocketId id, const std::string& host, std::uint16_t port,
                                           std::string_view bytes);

    struct Sent {
        SocketId id{};
        std::int64_t ns = 0;
        std::string bytes;
    };

    MonotonicClock& mono_;
    std::map<SocketId, Socket> sockets_;
    NameResolver names_;
    std::function<void(const Traffic&)> traffic_;
    std::uint64_t nextGeneration_ = 0;
    std::atomic<std::uint64_t> unresolved_ = 0;

    mutable std::mutex sendMutex_;
    HeldReplies held_;
    std::map<SocketId, int> sendFds_;
    std::vector<Sent> released_;  // sent by Release, not logged yet
    std::vector<char> buffers_;
    std::vector<char> controls_;
};

}  // namespace velmora
