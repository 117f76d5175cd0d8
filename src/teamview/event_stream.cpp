#include "teamview/event_stream.h"

namespace velmora {

std::string SseEvent(std::string_view name, std::string_view data) {
    std::string out;
    out.reserve(data.size() + name.size() + 16);
    out += "event: ";
    out += name.substr(0, name.find_first_of("\r\n"));
    out += '\n';
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = data.find_first_of("\r\n", pos);
        out += "data: ";
        out += data.substr(pos, end - pos);
        out += '\n';
        if (end == std::string_view::npos) break;
        pos = end + (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? 2 : 1);
    }
    out += '\n';
    return out;
}

std::string SseRetry(int ms) { return "retry: " + std::to_string(ms) + "\n\n"; }

}  // namespace velmora
