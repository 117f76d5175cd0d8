#pragma once
// Test doubles for the platform services. Nothing here blocks or sleeps: tests answer
// dialogs from a queue, fire timers by hand, deliver datagrams by hand and set the clocks.
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/services.h"

namespace velmora::test {

class FakeDialogs : public DialogService {
  public:
    struct Shown {
        std::string text, title;
        MessageButtons buttons;
        MessageIcon icon;
    };
    struct Asked {
        std::string prompt, title, defaultText;
    };

    // Answers given in order; an empty queue answers No (the default button) or Ok.
    std::deque<MessageAnswer> answers;
    std::deque<std::string> inputs;     // input box answers; empty queue = Cancel ("")
    std::deque<std::string> savePaths;  // save dialog answers; empty queue = cancelled
    std::vector<Shown> shown;
    std::vector<Asked> asked;
    int beeps = 0;

    MessageAnswer MessageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                             MessageIcon icon) override;
    std::string InputBox(std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;
    std::string SaveFileDialog(std::string_view title, std::string_view filter) override;
    void Beep() override { ++beeps; }

    std::string lastSaveTitle, lastSaveFilter;
};

class FakeTimers : public TimerService {
  public:
    struct Entry {
        int intervalMs;
        std::function<void()> onTick;
    };
    void Start(TimerKey key, int intervalMs, std::function<void()> onTick) override;
    void Stop(TimerKey key) override;
    bool IsRunning(TimerKey key) const override;
    int Interval(TimerKey key) const;
    // Runs the timer's handler once; returns false when the timer is not running.
    bool Fire(TimerKey key);

  private:
    std::vector<std::pair<TimerKey, Entry>> running_;
    std::vector<std::pair<TimerKey, Entry>>::iterator Find(TimerKey key);
};

class FakeNet : public DatagramService {
  public:
    struct Sent {
        SocketId id;
        std::string host;
        std::uint16_t port;
        std::string bytes;
    };
    std::map<SocketId, std::uint16_t> boundPorts;
    std::vector<Sent> sent;
    std::map<std::uint16_t, std::string> failBind;  // port → error text
    std::string localAddress = "127.0.0.1";
    // Runs as each datagram goes out, e.g. to look at what was stored before it.
    std::function<void(const Sent&)> onSend;

    // Stamps delivered datagrams with this clock's reading (0 without one).
    const MonotonicClock* clock = nullptr;
    // The journal ticket of every reply sent with SendAfter, in order.
    std::vector<JournalTicket> tickets;

    std::string Bind(SocketId id, std::uint16_t localPort, DatagramHandler onDatagram) override;
    void Close(SocketId id) override;
    bool IsBound(SocketId id) const override { return boundPorts.count(id) != 0; }
    void Send(SocketId id, std::string_view host, std::uint16_t port,
              std::string_view bytes) override;
    void SendAfter(SocketId id, std::string_view host, std::uint16_t port, std::string_view bytes,
                   JournalTicket ticket) override;
    std::string LocalAddress() const override { return localAddress; }

    // Delivers one datagram to a bound socket, arrived now; false when it is not bound.
    bool Deliver(SocketId id, std::string_view bytes);
    // The same, arrived at monotonic instant `arrivalNs`.
    bool DeliverAt(SocketId id, std::string_view bytes, std::int64_t arrivalNs);

  private:
    std::map<SocketId, DatagramHandler> handlers_;
};

class FakeWallClock : public WallClock {
  public:
    LocalTime now = FromCivil({2026, 12, 7, 14, 5, 9});
    std::int64_t realMs = 1'796'652'309'000;  // 2026-12-07 14:05:09 UTC
    LocalTime Now() const override { return now; }
    std::int64_t RealNowMs() const override { return realMs; }
    void Set(const CivilTime& c) { now = FromCivil(c); }
};

// Atomic: the journal's writer thread reads it while a test on its own thread moves it on.
class FakeMonotonic : public MonotonicClock {
  public:
    std::atomic<std::int64_t> ns{1'000'000'000};
    std::string originId;  // none unless a test sets one
    std::int64_t NowNs() const override { return ns; }
    std::string OriginId() const override { return originId; }
    void AdvanceMs(std::int64_t ms) { ns += ms * 1'000'000; }
};

// A console wired to fakes, with the design state and the start-up state applied.
struct FakeConsole {
    FakeDialogs dialogs;
    FakeTimers timers;
    FakeNet net;
    FakeWallClock wall;
    FakeMonotonic mono;
    Console console{Services{dialogs, timers, net, wall, mono}};

    FakeConsole();
    ConsoleState& st() { return console.st; }
    RunnerState& runner(int i) { return console.st.runners[static_cast<std::size_t>(i)]; }
    PanelState& panel(int i) { return console.st.panels[static_cast<std::size_t>(i)]; }
};

}  // namespace velmora::test
