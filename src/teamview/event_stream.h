#pragma once
// Server-sent events: how one update is framed on the stream a page keeps open.
#include <string>
#include <string_view>

namespace velmora {

// "event: <name>\ndata: <line>\n…\n\n": every line of `data` (split at CR LF, CR or LF) gets a
// "data: " of its own, so no text in the data can end the event early or start another. A
// name holding a line break is cut there.
std::string SseEvent(std::string_view name, std::string_view data);

// The stream's first bytes: how long the page waits before it connects again after the stream
// broke (the browser's own retry), as an SSE "retry:" field.
std::string SseRetry(int ms);

}  // namespace velmora
