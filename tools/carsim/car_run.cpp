#include "car_run.h"

#include <algorithm>
#include <chrono>

#include "car_message.h"
#include "core/encoding.h"
#include "host_reply.h"
#include "lap_meter.h"
#include "pit_plan.h"
#include "udp_socket.h"

namespace velmora::carsim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

milliseconds Until(Clock::time_point t) {
    return std::max(milliseconds(0), std::chrono::ceil<milliseconds>(t - Clock::now()));
}

// Everything one lap run keeps between datagrams.
class LapRun {
  public:
    LapRun(const Options& o, Ports ports, std::ostream& out, std::ostream& err,
           const std::atomic<bool>& stop)
        : o_(o),
          ports_(ports),
          out_(out),
          err_(err),
          stop_(stop),
          deadline_(Clock::now() + std::chrono::seconds(o.maxSeconds)) {}

    int Run() {
        if (auto e = sock_.Bind(o_.bind, ports_.car); !e.empty()) {
            err_ << "carsim: cannot bind " << e << '\n';
            return kExitFailed;
        }
        int substitutions = 0;
        EncodeCarMessage(0, o_.text, &substitutions);
        if (substitutions > 0)
            err_ << "carsim: " << substitutions
                 << " character(s) of --text have no CP932 code and go out as '?'\n";

        bool complete = true;
        for (int pass = 1; pass <= o_.laps + 1 && complete; ++pass) {
            complete = DrivePass(pass);
            // Out of range: nothing is sent, late replies are still taken.
            if (complete && pass <= o_.laps)
                complete = Listen(lastSend_ + milliseconds(o_.silenceMs));
        }
        // Replies still on their way after the last datagram. The whole window, even once as
        // many replies as datagrams came: a duplicated reply can make up the count while the
        // last one is still held up on the way.
        const auto drainEnd = Clock::now() + milliseconds(std::clamp(4 * o_.intervalMs, 200, 1000));
        while (Clock::now() < std::min(drainEnd, deadline_) && !stop_)
            Take(sock_.Receive(Until(std::min(drainEnd, deadline_))));

        out_ << "summary sent=" << sent_ << " replies=" << replies_ << " laps=" << meter_.Laps()
             << '\n';
        out_.flush();
        if (!complete) {
            err_ << (stop_ ? "carsim: interrupted\n" : "carsim: stopped by --max-seconds\n");
            return kExitFailed;
        }
        return kExitOk;
    }

  private:
    // One pass in range: a datagram every --interval-ms for --in-range-ms, or for --pit-ms
    // when the car stands in the pit. False when cut short by the deadline or a signal.
    bool DrivePass(int pass) {
        if (Clock::now() >= deadline_ || stop_) return false;
        // The pass, and so the lap, begins with its first datagram: the time read just before
        // that send. The output is written after it, so a slow reader of the output (or this
        // process preempted while writing it) cannot come between the reading and the send.
        const auto start = Send();
        if (auto lap = meter_.PassStarted(start))
            out_ << "lap n=" << meter_.Laps() << " ms=" << *lap << '\n';
        out_ << "pass n=" << pass << " t_ns="
             << std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch())
                    .count()
             << '\n';
        if (IsPitStop(o_, pass)) out_ << "pit lap=" << pass - 1 << " ms=" << o_.pitMs << '\n';
        out_.flush();
        const auto end = start + milliseconds(PassLengthMs(o_, pass));
        for (auto next = start;;) {
            next += milliseconds(o_.intervalMs);
            // After a stall, carry on at the normal rate instead of catching up in a burst.
            next = std::max(next, Clock::now());
            if (next >= end) break;
            if (!Listen(next)) return false;
            Send();
        }
        return true;
    }

    // Sends one datagram; returns the time read just before it went.
    Clock::time_point Send() {
        const std::string bytes = EncodeCarMessage(echo_.Lap(), o_.text);
        lastSend_ = Clock::now();
        if (auto e = sock_.SendTo(o_.host, ports_.host, bytes); !e.empty()) {
            err_ << "carsim: send to " << e << '\n';
            return lastSend_;
        }
        ++sent_;
        return lastSend_;
    }

    // Takes replies until `until`. False when the deadline or a signal came first.
    bool Listen(Clock::time_point until) {
        while (Clock::now() < until) {
            if (stop_ || Clock::now() >= deadline_) return false;
            Take(sock_.Receive(Until(std::min(until, deadline_))));
        }
        return true;
    }

    void Take(const std::optional<std::string>& datagram) {
        if (!datagram) return;
        ++replies_;
        auto reply = DecodeReply(Cp932ToUtf8(*datagram));
        if (!reply) {
            if (!o_.quiet) out_ << "reply empty\n";
            return;
        }
        echo_.Adopt(*reply);
        // Written out at once: a program reading the output sees a reply as the car gets it.
        if (!o_.quiet) out_ << FormatReplyLine(*reply) << '\n' << std::flush;
    }

    const Options& o_;
    Ports ports_;
    std::ostream& out_;
    std::ostream& err_;
    const std::atomic<bool>& stop_;
    const Clock::time_point deadline_;
    UdpSocket sock_;
    EchoKeeper echo_;
    LapMeter meter_;
    Clock::time_point lastSend_{};
    long long sent_ = 0;
    long long replies_ = 0;
};

}  // namespace

int RunLaps(const Options& o, Ports ports, std::ostream& out, std::ostream& err,
            const std::atomic<bool>& stop) {
    return LapRun(o, ports, out, err, stop).Run();
}

int RunPresence(const Options& o, Ports ports, std::ostream& out, std::ostream& err,
                const std::atomic<bool>& stop) {
    UdpSocket sock;
    if (auto e = sock.Bind(o.bind, ports.car); !e.empty()) {
        err << "carsim: cannot bind " << e << '\n';
        return kExitFailed;
    }
    if (auto e = sock.SendTo(o.host, ports.host, Utf8ToCp932(*o.presence)); !e.empty()) {
        err << "carsim: send to " << e << '\n';
        return kExitFailed;
    }
    const auto end = Clock::now() + milliseconds(std::min(o.timeoutMs, o.maxSeconds * 1000));
    while (Clock::now() < end && !stop) {
        if (auto reply = sock.Receive(Until(end))) {
            out << "presence reply=" << Quote(Cp932ToUtf8(*reply)) << '\n';
            return kExitOk;
        }
    }
    err << "carsim: no presence reply within " << o.timeoutMs << " ms\n";
    return kExitFailed;
}

}  // namespace velmora::carsim
