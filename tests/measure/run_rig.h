#pragma once
// A console with car slots set up, driven through the real start and stop, the fake
// sockets and the fake timers.
#include <initializer_list>
#include <string>

#include "carlink/protocol.h"
#include "core/encoding.h"
#include "fakes/fakes.h"
#include "measure/measurement.h"

namespace velmora::test {

struct RunRig : FakeConsole {
    std::int64_t startNs = 0;

    explicit RunRig(std::initializer_list<int> slots) {
        for (int s : slots) {
            panel(s).Lbl_IP.caption = "127.0.0." + std::to_string(s + 1);
            panel(s).Frm_Runner.back = RegisteredColour;
        }
    }
    void Start() {
        startNs = mono.ns;
        StartMeasurement(console);
    }
    void StopYes() {
        dialogs.answers.push_back(MessageAnswer::Yes);
        StopMeasurement(console);
    }
    void AtTick(std::int64_t t) {
        mono.ns = startNs + t * (1'000'000'000LL / console.clock.TicksPerSecond);
    }
    bool Car(int i, std::string_view utf8) { return net.Deliver(CarSocket(i), Utf8ToCp932(utf8)); }
    bool Tick(int i) { return timers.Fire(TimerKey{TimerId::Lap, i}); }
};

}  // namespace velmora::test
