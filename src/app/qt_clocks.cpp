#include "app/qt_clocks.h"

namespace velmora {

LocalTime QtWallClock::Now() const {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return FromCivil({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()});
}

}  // namespace velmora
