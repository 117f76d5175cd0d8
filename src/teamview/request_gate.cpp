#include "teamview/request_gate.h"

#include <cstddef>

namespace velmora {

std::string_view KeyFromQuery(std::string_view query) {
    std::string_view found;
    int count = 0;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view field = query.substr(0, amp);
        if (field.starts_with("k=")) {
            found = field.substr(2);
            ++count;
        } else if (field == "k") {
            ++count;
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return count == 1 ? found : std::string_view{};
}

bool ConstantTimeEqual(std::string_view a, std::string_view b) {
    // Every byte of `a` is looked at whatever `b` holds; a length difference counts as a
    // difference without ending the loop early.
    unsigned diff = a.size() == b.size() ? 0u : 1u;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0u;
        diff |= static_cast<unsigned char>(a[i]) ^ y;
    }
    return diff == 0;
}

TeamRequest ClassifyTeamRequest(std::string_view method, std::string_view target,
                                std::string_view key) {
    const std::size_t q = target.find('?');
    const std::string_view path = target.substr(0, q);
    const std::string_view query = q == std::string_view::npos ? "" : target.substr(q + 1);
    const std::string_view given = KeyFromQuery(query.substr(0, query.find('#')));
    // An empty key (the view was never given one) lets nobody in.
    if (key.empty() || !ConstantTimeEqual(key, given)) return TeamRequest::Forbidden;
    if (method != "GET") return TeamRequest::MethodNotAllowed;
    if (path == "/") return TeamRequest::Page;
    if (path == "/api/state") return TeamRequest::State;
    if (path == "/api/events") return TeamRequest::Events;
    return TeamRequest::NotFound;
}

}  // namespace velmora
