#include "journal/traffic_record.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

namespace velmora {

namespace {
constexpr std::pair<TrafficKind, std::string_view> kNames[] = {
    {TrafficKind::In, "in"},     {TrafficKind::Out, "out"},       {TrafficKind::Start, "start"},
    {TrafficKind::Stop, "stop"}, {TrafficKind::Resume, "resume"},
};
}  // namespace

const char* TrafficKindName(TrafficKind k) {
    for (const auto& [kind, name] : kNames)
        if (kind == k) return name.data();
    return "in";
}

bool ParseTrafficKind(std::string_view name, TrafficKind& k) {
    for (const auto& [kind, n] : kNames) {
        if (n == name) {
            k = kind;
            return true;
        }
    }
    return false;
}

std::string FormatRunSetup(const RunSetup& s) {
    std::string slots;
    for (int slot : s.cars) slots += (slots.empty() ? "" : ",") + std::to_string(slot);
    return "precision=" + s.precision + ";silence=" + std::to_string(s.silenceSeconds) +
           ";slots=" + slots;
}

bool ParseRunSetup(std::string_view text, RunSetup& s) {
    RunSetup out;
    bool precision = false, silence = false, slots = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(';'), text.size());
        const std::string_view item = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos) return false;
        const std::string_view key = item.substr(0, eq);
        const std::string_view value = item.substr(eq + 1);
        if (key == "precision") {
            out.precision = std::string(value);
            precision = true;
        } else if (key == "silence") {
            const auto [p, ec] =
                std::from_chars(value.data(), value.data() + value.size(), out.silenceSeconds);
            if (ec != std::errc() || p != value.data() + value.size()) return false;
            silence = true;
        } else if (key == "slots") {
            std::string_view rest = value;
            while (!rest.empty()) {
                const std::size_t comma = std::min(rest.find(','), rest.size());
                int slot = 0;
                const auto [p, ec] = std::from_chars(rest.data(), rest.data() + comma, slot);
                if (ec != std::errc() || p != rest.data() + comma) return false;
                out.cars.push_back(slot);
                rest.remove_prefix(std::min(comma + 1, rest.size()));
            }
            slots = true;
        }
    }
    if (!precision || !silence || !slots) return false;
    s = std::move(out);
    return true;
}

}  // namespace velmora
