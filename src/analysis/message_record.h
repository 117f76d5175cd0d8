#pragma once
// The message record of a lap (lap grid column 5): the message sent with the reply that
// closed the lap, ", ", and the crew's text received with it.
#include <string>
#include <string_view>

namespace velmora {

struct MessageRecord {
    std::string sent;
    std::string received;
};

// Splits `record` at the byte offset kept in `splitCell` (lap grid column 7). Without a
// usable offset (a row written before it was kept, or one never recorded) the record splits
// at its first ", ", which is exact unless the message sent held ", " itself: only an
// automatic message typed into the settings file by hand can, since typed messages go out in
// full-width form. A record without ", " is all message sent.
MessageRecord SplitMessageRecord(std::string_view record, std::string_view splitCell);

}  // namespace velmora
