// Presence queries against a console whose slots hold fixed loopback addresses, the query
// text itself, or nothing.
//
// Input: byte 0 holds the knobs (bit 0: a measurement runs; bits 1-6: per slot, two bits
// choosing none / a fixed address / the query's own text / the query with a blank after
// it), the rest is the datagram.
#include <cstdint>
#include <string>

#include "carlink/presence.h"
#include "carlink/protocol.h"
#include "core/encoding.h"
#include "core/text_rules.h"
#include "fakes/fakes.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    using namespace velmora::fuzz;
    ByteStream in(data, size);
    const std::uint8_t knobs = in.Byte();
    const std::string_view datagram = in.Take(size);
    const std::string query = Cp932ToUtf8(datagram);
    // The address the answer goes to: the query without trailing blanks and line ends.
    std::string address = query;
    while (!address.empty() &&
           std::string_view(" \t\r\n").find(address.back()) != std::string_view::npos)
        address.pop_back();

    test::FakeConsole fc;
    const bool measuring = (knobs & 1) != 0;
    if (measuring) fc.st().main.Btn_Start.caption = "Stop";
    for (int s = 0; s < kPanelCount; ++s) {
        std::string& registered = fc.panel(s).Lbl_IP.caption;
        switch ((knobs >> (1 + 2 * s)) & 3) {
            case 1:
                registered = "127.0.0." + std::to_string(s + 1);
                break;
            case 2:
                registered = query;
                break;
            case 3:
                registered = query + " ";
                break;
            default:
                registered.clear();
                break;
        }
    }
    const std::string before[] = {fc.panel(0).Lbl_IP.caption, fc.panel(1).Lbl_IP.caption,
                                  fc.panel(2).Lbl_IP.caption};

    HandlePresenceQuery(fc.console, datagram);

    for (int s = 0; s < kPanelCount; ++s)
        Check(fc.panel(s).Lbl_IP.caption == before[s], "a query changed a registered address");
    Check(fc.net.sent.size() <= 1, "more than one presence reply");
    if (measuring) {
        Check(fc.net.sent.empty(), "presence reply during a measurement");
        return 0;
    }
    if (fc.net.sent.empty()) {
        // Only a query that cannot name a host is dropped.
        bool usable = !address.empty() && address.size() <= 255;
        for (char ch : address) {
            const auto u = static_cast<unsigned char>(ch);
            usable = usable && u >= 0x20 && u != 0x7F;
        }
        Check(!usable, "a usable query got no answer", query);
        return 0;
    }

    const auto& reply = fc.net.sent.front();
    Check(reply.id == SocketId::Presence, "presence reply on a car socket");
    Check(reply.port == kPresenceRemotePort, "presence reply to the wrong port");
    Check(reply.host == address, "presence reply not sent to the queried address", reply.host);
    std::string expected = "未登録";
    for (int s = 0; s < kPanelCount; ++s) {
        if (fc.panel(s).Lbl_IP.caption == query) {
            expected = CarLabel(s);
            break;
        }
    }
    Check(Cp932ToUtf8(reply.bytes) == expected, "wrong presence answer", Cp932ToUtf8(reply.bytes));
    return 0;
}
