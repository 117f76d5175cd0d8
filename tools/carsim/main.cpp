// velmora-carsim: plays the PC in one car against a console on loopback.
#include <atomic>
#include <csignal>
#include <iostream>
#include <vector>

#include "car_run.h"
#include "options.h"

namespace {
std::atomic<bool> g_stop{false};
extern "C" void OnSignal(int) { g_stop = true; }
}  // namespace

int main(int argc, char** argv) {
    using namespace velmora::carsim;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseOptions(args);
    if (parsed.options.help) {
        std::cout << UsageText();
        return kExitOk;
    }
    if (!parsed.ok()) {
        std::cerr << "velmora-carsim: " << parsed.error << "\n" << UsageText();
        return kExitBadOptions;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const Options& o = parsed.options;
    if (o.presence) return RunPresence(o, kPresencePorts, std::cout, std::cerr, g_stop);
    Ports ports = SlotPorts(o.slot);
    if (o.hostPort != 0) ports.host = static_cast<std::uint16_t>(o.hostPort);
    return RunLaps(o, ports, std::cout, std::cerr, g_stop);
}
