#pragma once
// A console with some slots taking part in a running measurement, set up by hand (the
// measurement control lives above the car link), and helpers to talk as the cars.
#include <initializer_list>
#include <string>
#include <vector>

#include "carlink/protocol.h"
#include "core/encoding.h"
#include "fakes/fakes.h"

namespace velmora::test {

struct LinkRig : FakeConsole {
    std::int64_t startNs = 0;

    explicit LinkRig(std::initializer_list<int> slots) {
        for (int s : slots) {
            panel(s).Lbl_IP.caption = "127.0.0." + std::to_string(s + 1);
            panel(s).Frm_Runner.back = RegisteredColour;
            ++st().LastMeasuredSlot;
        }
        st().main.Btn_Start.caption = "Stop";
        startNs = mono.ns;
        console.ticks.Start(console.clock.TicksPerSecond);
    }
    void AtTick(std::int64_t t) {
        mono.ns = startNs + t * (1'000'000'000LL / console.clock.TicksPerSecond);
    }
    void Car(int i, std::string_view utf8) { HandleCarMessage(console, i, Utf8ToCp932(utf8)); }
    std::string LastReply() const { return Cp932ToUtf8(net.sent.back().bytes); }
};

}  // namespace velmora::test
