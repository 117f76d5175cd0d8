#pragma once
#include <cstddef>
#include <string_view>

namespace velmora {

// A decoded car message: the lap echo (its first `echoWidth` characters, normally three)
// and the crew's text after it. Counts are in characters (UTF-8 code points), not bytes, because
// the echo is defined on the decoded text.
struct CarMessageParts {
    std::string_view echo;
    std::string_view crewText;
    std::size_t characters = 0;  // characters in the whole message, counted up to echoWidth
};

CarMessageParts SplitCarMessage(std::string_view utf8, std::size_t echoWidth = 3);

// Width of the lap echo the car sends back: three digits, or as many as the count has once
// it passes 999 (the status block then carries more digits and the car echoes all of them).
std::size_t EchoWidth(long long lapCount);

}  // namespace velmora
