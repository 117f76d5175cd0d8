// Arbitrary bytes as Velmora.ini: the load keeps its values in range, writes back what was
// missing, and a second load finds nothing more to write and reads the same settings.
#include <cstdint>
#include <string>

#include "core/settings.h"
#include "core/tick_clock.h"
#include "fuzz_support.h"

namespace {

bool Same(const velmora::MeasureSettings& a, const velmora::MeasureSettings& b) {
    return a.Precision == b.Precision && a.SilenceSeconds == b.SilenceSeconds &&
           a.AutoMessage3 == b.AutoMessage3 && a.AutoMessage2 == b.AutoMessage2 &&
           a.AutoMessage1 == b.AutoMessage1 && a.AutoMessage0 == b.AutoMessage0 &&
           a.DefaultCountdownLaps == b.DefaultCountdownLaps;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    using namespace velmora::fuzz;
    const std::string path = ScratchFolder() + "/Velmora.ini";
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    WriteBytes(path, bytes);

    const MeasureSettings first = LoadMeasureSettings(path);
    Check(first.SilenceSeconds >= 1 && first.SilenceSeconds <= 99, "silence seconds out of range",
          std::to_string(first.SilenceSeconds));
    for (const std::string* text : {&first.Precision, &first.AutoMessage3, &first.AutoMessage2,
                                    &first.AutoMessage1, &first.AutoMessage0})
        Check(!text->empty(), "a setting read as empty text");
    const ClockParams clock = DeriveClockParams(first.Precision, first.SilenceSeconds);
    Check(clock.SilenceTicks == first.SilenceSeconds * clock.TicksPerSecond,
          "silence ticks do not follow the settings");

    const std::string afterFirst = ReadBytes(path);
    const MeasureSettings second = LoadMeasureSettings(path);
    Check(Same(first, second), "a second load reads other settings");
    Check(ReadBytes(path) == afterFirst, "a second load rewrote the file");
    return 0;
}
