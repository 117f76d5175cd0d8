#include "carlink/presence.h"

#include <string>

#include "carlink/protocol.h"
#include "core/encoding.h"

namespace velmora {

namespace {

// Longest text taken as a host address; real addresses and host names are far shorter.
constexpr std::size_t kMaxQueryLength = 255;

// The address to answer must at least look like one: not empty, not absurdly long, no
// control characters.
bool UsableHostText(std::string_view q) {
    if (q.empty() || q.size() > kMaxQueryLength) return false;
    for (char ch : q) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

// The query without the blanks and line ends a car PC may send after its address.
std::string_view WithoutLineEnd(std::string_view q) {
    while (!q.empty() &&
           (q.back() == ' ' || q.back() == '\t' || q.back() == '\r' || q.back() == '\n'))
        q.remove_suffix(1);
    return q;
}

}  // namespace

std::string StartPresenceResponder(Console& c) {
    return c.svc.net.Bind(SocketId::Presence, kPresenceLocalPort,
                          [&c](const Datagram& d) { HandlePresenceQuery(c, d.bytes); });
}

void StopPresenceResponder(Console& c) { c.svc.net.Close(SocketId::Presence); }

void HandlePresenceQuery(Console& c, std::string_view datagram) {
    // The socket is closed for the whole run; this only guards a datagram already queued.
    if (c.st.Measuring()) return;
    const std::string q = Cp932ToUtf8(datagram);
    // The match stays exact text (a trailing blank or line end is "未登録"), but the answer
    // still goes to the address the query names.
    const std::string_view to = WithoutLineEnd(q);
    if (!UsableHostText(to)) return;

    std::string answer = "未登録";
    for (int s = 0; s < kPanelCount; ++s) {
        if (c.st.panels[s].Lbl_IP.caption == q) {
            answer = c.st.panels[s].Frm_Runner.caption;
            break;
        }
    }
    // The reply goes to the address named in the query, from the bound socket itself:
    // closing and rebinding around the send would lose any query arriving meanwhile.
    c.svc.net.Send(SocketId::Presence, to, kPresenceRemotePort, Utf8ToCp932(answer));
}

}  // namespace velmora
