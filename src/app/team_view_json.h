#pragma once
// The team view model as JSON (docs/team-view.md lists the fields). The live part changes
// every second during a run; a car's history (last laps, messages, chart) only with its laps,
// so pages are sent it only when it changed.
#include <QByteArray>
#include <QString>

#include "teamview/team_view_model.h"

namespace velmora {

struct TeamViewStamp {
    QString instance;     // this run of the console; a page that sees it change starts afresh
    quint64 seq = 0;      // counts the states published
    quint64 history = 0;  // counts the changes of the cars' history
};

// Compact JSON; `withHistory` adds each car's "history" object.
QByteArray TeamViewJson(const TeamViewModel& m, const TeamViewStamp& stamp, bool withHistory);

}  // namespace velmora
