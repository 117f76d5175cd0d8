#include "carlink/presence.h"

#include <string>

#include "carlink/protocol.h"
#include "core/encoding.h"

namespace velmora {

namespace {

// Longest text taken as a host address; real addresses and host names are far shorter.
constexpr std::size_t kMaxQueryLength = 255;

// A query is used unchanged as the host to answer to, so it must at least look like one:
// not empty, not absurdly long, no control characters (a line end included).
bool UsableHostText(std::string_view q) {
    if (q.empty() || q.size() > kMaxQueryLength) return false;
    for (char ch : q) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

}  // namespace

std::string StartPresenceResponder(Console& c) {
    return c.svc.net.Bind(SocketId::Presence, kPresenceLocalPort,
                          [&c](std::string_view d) { HandlePresenceQuery(c, d); });
}

void StopPresenceResponder(Console& c) { c.svc.net.Close(SocketId::Presence); }

void HandlePresenceQuery(Console& c, std::string_view datagram) {
    // The socket is closed for the whole run; this only guards a datagram already queued.
    if (c.st.Measuring()) return;
    const std::string q = Cp932ToUtf8(datagram);
    if (!UsableHostText(q)) return;

    std::string answer = "未登録";
    for (int s = 0; s < kPanelCount; ++s) {
        if (c.st.panels[s].Lbl_IP.caption == q) {
            answer = c.st.panels[s].Frm_Runner.caption;
            break;
        }
    }
    // The reply goes to the address named in the query, from the bound socket itself:
    // closing and rebinding around the send would lose any query arriving meanwhile.
    c.svc.net.Send(SocketId::Presence, q, kPresenceRemotePort, Utf8ToCp932(answer));
}

}  // namespace velmora
