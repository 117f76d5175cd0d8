// The team view's request path: what a request is answered, from its method and target, and
// what the server sends a page (server-sent event framing, the send queue and the connection
// table under arbitrary sequences of events).
//
// Input: byte 0 picks the key the server holds (0: the fixed key, 1: none, else a key made
// of the next 22 bytes); then the method up to the first '\n' and the target up to the next;
// the rest drives the send queue and connection table, two bytes an event.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "teamview/connection_table.h"
#include "teamview/event_stream.h"
#include "teamview/page_send_queue.h"
#include "teamview/request_gate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    using namespace velmora::fuzz;
    ByteStream in(data, size);
    const std::uint8_t keyKind = in.Byte();
    std::string key = "AAECAwQFBgcICQoLDA0ODw";
    if (keyKind == 1) key.clear();
    if (keyKind > 1) key = std::string(in.Take(22));

    std::string method, target;
    for (std::string* part : {&method, &target})
        while (!in.Empty()) {
            const char c = static_cast<char>(in.Byte());
            if (c == '\n') break;
            *part += c;
        }

    const TeamRequest r = ClassifyTeamRequest(method, target, key);
    const std::string_view query = target.find('?') == std::string::npos
                                       ? ""
                                       : std::string_view(target).substr(target.find('?') + 1);
    const std::string_view given = KeyFromQuery(query.substr(0, query.find('#')));
    // Nothing but the one right key gets past the gate, and an empty key lets nobody in.
    if (r != TeamRequest::Forbidden) {
        Check(!key.empty() && given == key, "a request without the right key got in", target);
        Check(r == TeamRequest::MethodNotAllowed || method == "GET",
              "a method other than GET served");
    } else {
        Check(key.empty() || given != key, "the right key was refused", target);
    }
    Check(ConstantTimeEqual(target, target), "a text differs from itself");

    // The framed event holds the data's lines, each on a "data: " line, and ends the event once.
    const std::string event = SseEvent("state", target);
    Check(event.size() >= 2 && event.compare(event.size() - 2, 2, "\n\n") == 0, "event not ended");
    Check(event.find("\n\n") == event.size() - 2, "an event ended early", target);
    Check(event.find('\r') == std::string::npos, "a CR inside an event");

    PageSendQueue queue(1000, 5000, 0);
    ConnectionTable table(8, 1000);
    std::int64_t now = 0;
    std::size_t queued = 0;
    bool sentWhileOwed = false;
    while (!in.Empty()) {
        const std::uint8_t op = in.Byte();
        const std::uint8_t arg = in.Byte();
        now += arg;
        switch (op % 6) {
            case 0:
                if (queue.Offer(queued, now)) queued += 300;
                break;
            case 1:
                queued -= std::min<std::size_t>(queued, arg * 10u);
                if (queue.Drained(queued, now)) {
                    sentWhileOwed = queued > 1000;
                    queued += 300;
                }
                break;
            case 2:
                table.Admit(arg % 16, now);
                break;
            case 3:
                table.Answered(arg % 16, now);
                break;
            case 4:
                table.Streaming(arg % 16);
                break;
            default:
                table.Closed(arg % 16);
                break;
        }
        Check(!sentWhileOwed, "a state went to a page over its bound");
        Check(queued <= 1300, "a page's queue grew past its bound and one state");
        Check(table.Open() <= table.Limit(), "more connections than the limit");
        Check(table.Streams() <= table.Open(), "more streams than connections");
        for (std::uint64_t id : table.Overdue(now)) Check(id < 16, "an unknown connection overdue");
    }
    return 0;
}
