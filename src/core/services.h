#pragma once
// Platform services the core needs, as small interfaces. The shell implements them with Qt;
// tests use the fakes under tests/fakes, which fire timers and deliver datagrams by hand.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/wall_time.h"

namespace velmora {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Information, Critical };
enum class MessageAnswer { Ok, Yes, No };

// Modal dialogs and the system beep. Every Yes/No box has No as its default button.
class DialogService {
  public:
    virtual ~DialogService() = default;
    // An empty title means the application's default title.
    virtual MessageAnswer MessageBox(std::string_view text, std::string_view title,
                                     MessageButtons buttons, MessageIcon icon) = 0;
    // Returns the typed text; Cancel returns "".
    virtual std::string InputBox(std::string_view prompt, std::string_view title,
                                 std::string_view defaultText) = 0;
    // Returns the chosen path, or "" when the user cancelled. `filter` is in the form
    // "description|pattern|description|pattern".
    virtual std::string SaveFileDialog(std::string_view title, std::string_view filter) = 0;
    virtual void Beep() = 0;
};

// Which timer: the window-wide ones, or a per-car one with its slot index.
enum class TimerId { System, NoInputBlk, OtherLap, Lap, DriverInfo, GasBlk, MessBlk };

struct TimerKey {
    TimerId id;
    int slot = 0;  // only for the per-car timers
    friend bool operator==(const TimerKey&, const TimerKey&) = default;
};

// Repeating timers on the user-interface thread. Starting a running timer keeps it running
// with the new interval and handler; stopping a stopped one does nothing.
class TimerService {
  public:
    virtual ~TimerService() = default;
    virtual void Start(TimerKey key, int intervalMs, std::function<void()> onTick) = 0;
    virtual void Stop(TimerKey key) = 0;
    virtual bool IsRunning(TimerKey key) const = 0;
};

// The console's UDP sockets: one per car slot and the presence socket.
enum class SocketId { Car0, Car1, Car2, Car3, Car4, Presence };

constexpr SocketId CarSocket(int slot) { return static_cast<SocketId>(slot); }

// One received datagram: its raw bytes and when it arrived, on the MonotonicClock (the kernel's
// receive stamp where the platform has one). Everything that depends on when a car was heard
// takes this instant, not the moment the datagram happened to be handled.
struct Datagram {
    std::string_view bytes;
    std::int64_t arrivalNs = 0;
    // Kept unhandled for a while (the ports were open before the console could act on what
    // came in): no timer ran meanwhile, so the handler catches up on what time alone does.
    bool held = false;
};
using DatagramHandler = std::function<void(const Datagram&)>;

// A commit of the race journal that a reply must wait for; 0 = nothing to wait for.
using JournalTicket = std::uint64_t;

// Datagram sockets. Received datagrams arrive on the console's thread through the handler
// given to Bind, one call per datagram, in order of arrival.
class DatagramService {
  public:
    virtual ~DatagramService() = default;
    // Returns "" on success, otherwise the platform's reason (e.g. "address already in use").
    virtual std::string Bind(SocketId id, std::uint16_t localPort, DatagramHandler onDatagram) = 0;
    virtual void Close(SocketId id) = 0;
    virtual bool IsBound(SocketId id) const = 0;
    // Sends one datagram. `host` is text as the crew typed it; the service resolves names
    // without blocking and drops what it cannot resolve.
    virtual void Send(SocketId id, std::string_view host, std::uint16_t port,
                      std::string_view bytes) = 0;
    // Like Send, but the datagram leaves only once journal commit `ticket` is on the disk, and
    // every later datagram on the same socket waits behind it. Where commits are durable when
    // they return (ticket 0, or a journal on the caller's thread) this is Send.
    virtual void SendAfter(SocketId id, std::string_view host, std::uint16_t port,
                           std::string_view bytes, JournalTicket ticket) {
        (void)ticket;
        Send(id, host, port, bytes);
    }
    // The host's own address as the sockets report it, for "IP : ".
    virtual std::string LocalAddress() const = 0;
};

// The local wall clock, read for times of day and dates the crew sees, and to carry the tick
// counter of a running measurement across a restart of the machine.
class WallClock {
  public:
    virtual ~WallClock() = default;
    virtual LocalTime Now() const = 0;
    // Real time in milliseconds since the Unix epoch (UTC): unlike the monotonic clock it
    // means the same instant after the program, or the machine, started again.
    virtual std::int64_t RealNowMs() const = 0;
};

// A monotonic clock in nanoseconds from an arbitrary origin; the tick counter is derived
// from it so that lap times never drift with the load on the user-interface thread.
class MonotonicClock {
  public:
    virtual ~MonotonicClock() = default;
    virtual std::int64_t NowNs() const = 0;
    // Names the clock's origin: readings taken under the same non-empty id, by this program
    // or a later start of it, are on one time line (the system's monotonic clock keeps its
    // origin until the machine starts again). Empty when nothing says so.
    virtual std::string OriginId() const { return {}; }
};

struct Services {
    DialogService& dialogs;
    TimerService& timers;
    DatagramService& net;
    WallClock& wall;
    MonotonicClock& mono;
};

}  // namespace velmora
