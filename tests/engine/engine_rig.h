#pragma once
// The engine with fake clocks and sockets: the test says what arrived and when, runs the
// engine's rounds by hand and sees every reply with the journal ticket it waited for.
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/encoding.h"
#include "core/window_state.h"
#include "engine/engine.h"
#include "engine/held_replies.h"
#include "fakes/fakes.h"
#include "measure/measurement.h"

namespace velmora::test {

class FakeEngineNet : public EngineNet {
  public:
    struct Sent {
        SocketId id;
        std::string bytes;
    };
    std::vector<Sent> sent;                   // in the order they left
    std::function<void(const Sent&)> onSend;  // runs as each one leaves

    void Arrive(SocketId id, std::string bytes, std::int64_t ns, bool held = false) {
        queue_.push_back({id, ns, std::move(bytes), held, generation_[id]});
    }
    std::size_t Waiting(SocketId id) const { return held_.Waiting(id); }

    std::string Bind(SocketId id, std::uint16_t, DatagramHandler onDatagram) override {
        handlers_[id] = std::move(onDatagram);
        ++generation_[id];
        return {};
    }
    void Close(SocketId id) override { handlers_.erase(id); }
    bool IsBound(SocketId id) const override { return handlers_.count(id) != 0; }
    void Send(SocketId id, std::string_view host, std::uint16_t port,
              std::string_view bytes) override {
        SendAfter(id, host, port, bytes, 0);
    }
    void SendAfter(SocketId id, std::string_view host, std::uint16_t port, std::string_view bytes,
                   JournalTicket ticket) override {
        if (held_.MustWait(id, ticket))
            held_.Hold(id, {std::string(host), port, std::string(bytes), ticket});
        else
            Leave({id, std::string(bytes)});
    }
    std::string LocalAddress() const override { return "127.0.0.1"; }
    void AddPollFds(std::vector<pollfd>&) const override {}
    void Read(std::vector<Arrived>& out) override {
        std::stable_sort(queue_.begin(), queue_.end(), [](const Arrived& a, const Arrived& b) {
            return a.arrivalNs < b.arrivalNs;
        });
        for (Arrived& a : queue_) out.push_back(std::move(a));
        queue_.clear();
    }
    bool Dispatch(const Arrived& a) override {
        const auto it = handlers_.find(a.id);
        if (it == handlers_.end() || generation_[a.id] != a.generation) return false;
        if (log_) log_(Traffic{Direction::In, a.id, a.arrivalNs, a.bytes});
        const DatagramHandler h = it->second;
        h(Datagram{a.bytes, a.arrivalNs, a.held});
        return true;
    }
    void Durable(JournalTicket ticket) override {
        held_.Release(ticket, [this](SocketId id, const HeldReplies::Reply& r) {
            Leave({id, r.bytes});
        });
    }
    void SetTrafficLog(std::function<void(const Traffic&)> log) override { log_ = std::move(log); }

  private:
    void Leave(Sent s) {
        sent.push_back(std::move(s));
        if (onSend) onSend(sent.back());
    }

    std::vector<Arrived> queue_;
    std::map<SocketId, DatagramHandler> handlers_;
    std::map<SocketId, std::uint64_t> generation_;
    HeldReplies held_;
    std::function<void(const Traffic&)> log_;
};

// A console on the engine, slots set up with 127.0.0.x, the silence 10 s at 1/1000.
struct EngineRig {
    FakeDialogs dialogs;
    FakeMonotonic mono;
    FakeWallClock wall;
    FakeEngineNet net;
    std::unique_ptr<Engine> engine;
    EngineTimers timers{mono, [this] { engine->AfterEvent(); }};
    Console console{Services{dialogs, timers, net, wall, mono}};
    std::int64_t startNs = 0;

    explicit EngineRig(std::initializer_list<int> slots) {
        console.DeriveClock();
        ApplyDesignState(console);
        MainWindowStartupState(console);
        for (int s : slots) {
            console.st.panels[s].Lbl_IP.caption = "127.0.0." + std::to_string(s + 1);
            console.st.panels[s].Frm_Runner.back = RegisteredColour;
        }
        engine = std::make_unique<Engine>(console, net, timers, mono);
    }
    ~EngineRig() { engine->SetJournal(nullptr); }

    void Start() {
        startNs = mono.ns;
        engine->Post([](Console& c) { StartMeasurement(c); });
        engine->Round(false);
    }
    std::int64_t Ns(std::int64_t ms) const { return startNs + ms * 1'000'000; }
    // The engine gets to work at `ms` after the start: whatever arrived meanwhile, every
    // timer due, the commands queued.
    void RoundAt(std::int64_t ms) {
        mono.ns = Ns(ms);
        engine->Round(false);
    }
    void Car(int i, std::string_view utf8, std::int64_t arrivalMs) {
        net.Arrive(CarSocket(i), Utf8ToCp932(utf8), Ns(arrivalMs));
    }
    const Grid& Laps(int i) const { return console.st.panels[i].Spd_LapTime; }
    // The reply last sent to car i, decoded.
    std::string LastReply(int i) const {
        for (auto it = net.sent.rbegin(); it != net.sent.rend(); ++it)
            if (it->id == CarSocket(i)) return Cp932ToUtf8(it->bytes);
        return {};
    }
};

}  // namespace velmora::test
