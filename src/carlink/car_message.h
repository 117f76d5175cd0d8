#pragma once
#include <cstddef>
#include <string_view>

namespace velmora {

// A decoded car message: the lap echo (its first three characters) and the crew's text
// after it. Counts are in characters (UTF-8 code points), not bytes, because the echo is
// defined on the decoded text.
struct CarMessageParts {
    std::string_view echo;
    std::string_view crewText;
    std::size_t characters = 0;  // characters in the whole message, counted up to 3
};

CarMessageParts SplitCarMessage(std::string_view utf8);

}  // namespace velmora
