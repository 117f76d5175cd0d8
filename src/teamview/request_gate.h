#pragma once
// Which answer a request to the team view gets. The view is read-only and behind a key: a
// request without the right key gets 403 whatever it asks for, so nobody without the key
// learns even which paths exist. Only GET is served; nothing a request says can change the
// console.
#include <string_view>

namespace velmora {

enum class TeamRequest {
    Page,              // "/": the page itself
    State,             // "/api/state": the JSON feed
    Events,            // "/api/events": the pushed updates (server-sent events)
    Forbidden,         // 403: no key, a wrong key, or more than one
    NotFound,          // 404: the right key on another path
    MethodNotAllowed,  // 405: the right key with another method than GET
};

// `target` is the request target as received, "/api/state?k=…", without decoding: the key is
// URL-safe text, and a key written any other way is a wrong key.
TeamRequest ClassifyTeamRequest(std::string_view method, std::string_view target,
                                std::string_view key);

// The value of the one `k=` field of `query`; empty when there is none or more than one.
std::string_view KeyFromQuery(std::string_view query);

// Compares in a time that depends on the lengths only, never on where the texts differ, so
// the key cannot be guessed a character at a time by timing the answers.
bool ConstantTimeEqual(std::string_view a, std::string_view b);

}  // namespace velmora
