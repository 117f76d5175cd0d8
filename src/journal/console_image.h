#pragma once
// The journaled state of one console, as named values. It covers every control of the car
// panels and the console block, the slot records of the panels, the shared values, the
// settings in force and what runs (RunningServices). Left out, because nothing reads them
// before they are set again: the last datagram and what was composed from it, what the last
// reply told the car (it only decides whether the next reply waits for a commit), the
// ranking's work array, the undo text of a cell edit, the run length taken when its field got
// the focus, the focus request and the host address. The overlays keep only whether they are
// open; their grids are loaded again when one opens.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "core/console.h"
#include "core/running_services.h"

namespace velmora {

// When a value is written.
enum class Pace {
    Durable,  // at every commit where it changed
    Running,  // moves on its own (lap clocks, time of day, when a car was last heard,
              // blinking colours): written with every durable write and by the heartbeat
};

using ValueRef = std::variant<std::string*, std::int32_t*, std::int16_t*, std::int64_t*, bool*,
                              float*, std::uint32_t*, std::vector<std::string>*, LocalTime*>;
using Value = std::variant<std::string, std::int32_t, std::int16_t, std::int64_t, bool, float,
                           std::uint32_t, std::vector<std::string>, LocalTime>;

struct ImageField {
    std::string name;  // "panel.0.Lbl_IP.caption", "runner.2.LapCount", "shared.EndTimeSet"
    ValueRef ref;
    Pace pace;
};

struct ImageGrid {
    std::string name;  // "panel.0.Spd_LapTime"
    Grid* grid;
};

class ConsoleImage {
  public:
    // Binds to `c`'s state and to `services`, the journal's own record of what runs.
    ConsoleImage(Console& c, RunningServices& services);

    const std::vector<ImageField>& fields() const { return fields_; }
    const std::vector<ImageGrid>& grids() const { return grids_; }
    // Index of a field by name, or -1.
    int Find(std::string_view name) const;

  private:
    std::vector<ImageField> fields_;
    std::vector<ImageGrid> grids_;
    std::unordered_map<std::string_view, int> index_;
};

// Values as the journal stores them: text that reads back to exactly the same value.
Value Current(const ValueRef& ref);
bool Same(const ValueRef& ref, const Value& stored);
std::string Encode(const ValueRef& ref);
// Parses `text` into the referenced value; false (value untouched) when it is not a value of
// that type written by Encode.
bool Decode(const ValueRef& ref, std::string_view text);

}  // namespace velmora
