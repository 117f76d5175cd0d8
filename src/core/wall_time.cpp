#include "core/wall_time.h"

namespace velmora {

CivilTime ToCivil(LocalTime t) {
    using namespace std::chrono;
    const auto day = floor<days>(t);
    const year_month_day ymd{day};
    const hh_mm_ss hms{t - day};
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(hms.hours().count()),
            static_cast<int>(hms.minutes().count()),
            static_cast<int>(hms.seconds().count())};
}

LocalTime FromCivil(const CivilTime& c) {
    using namespace std::chrono;
    const local_days day{year{c.year} / month{static_cast<unsigned>(c.month)} /
                         std::chrono::day{static_cast<unsigned>(c.day)}};
    return LocalTime{day} + hours{c.hour} + minutes{c.minute} + seconds{c.second};
}

}  // namespace velmora
