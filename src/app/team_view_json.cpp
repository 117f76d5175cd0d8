#include "app/team_view_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmora {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QJsonValue LapJson(const std::optional<TeamLap>& lap) {
    if (!lap) return QJsonValue::Null;
    return QJsonObject{
        {"lap", lap->lap},          {"time", Q(lap->time)}, {"ms", static_cast<qint64>(lap->ms)},
        {"driver", Q(lap->driver)}, {"sent", Q(lap->sent)}, {"received", Q(lap->received)}};
}

QJsonValue StintJson(const TeamStint& s) {
    return QJsonObject{{"driver", Q(s.driver)},
                       {"firstLap", s.firstLap},
                       {"lastLap", s.lastLap},
                       {"start", Q(s.start)},
                       {"startMs", static_cast<qint64>(s.startMs)},
                       {"length", Q(s.length)},
                       {"lengthMs", static_cast<qint64>(s.lengthMs)},
                       {"open", s.open}};
}

QJsonValue StopJson(const TeamStop& s) {
    return QJsonObject{
        {"lap", s.lap},
        {"change", Q(s.change)},
        {"start", Q(s.start)},
        {"startMs", static_cast<qint64>(s.startMs)},
        {"length", Q(s.length)},
        {"lengthMs", s.lengthMs ? QJsonValue(static_cast<qint64>(*s.lengthMs)) : QJsonValue()},
        {"tooShort", s.tooShort}};
}

QJsonValue BreachJson(const TeamBreach& b) {
    return QJsonObject{{"kind", Q(b.kind)},
                       {"text", Q(b.text)},
                       {"driver", Q(b.driver)},
                       {"lap", b.lap},
                       {"at", Q(b.at)},
                       {"atMs", static_cast<qint64>(b.atMs)},
                       {"provisional", b.provisional},
                       {"penaltyLaps", b.penaltyLaps}};
}

template <class T, class F>
QJsonArray ArrayOf(const std::vector<T>& rows, F json) {
    QJsonArray out;
    for (const T& r : rows) out.append(json(r));
    return out;
}

QJsonObject HistoryJson(const TeamCar& c) {
    QJsonArray recent, sent, points;
    for (const TeamLap& l : c.recent) recent.append(LapJson(l));
    for (const TeamSentMessage& s : c.sent)
        sent.append(QJsonObject{{"lap", s.lap}, {"text", Q(s.text)}});
    for (const TeamChartPoint& p : c.chart)
        points.append(QJsonArray{p.lap, static_cast<qint64>(p.ms)});
    return QJsonObject{{"recent", recent},
                       {"sent", sent},
                       {"chart", QJsonObject{{"points", points}, {"best", c.chartBest}}},
                       {"stints", ArrayOf(c.rules.stints, StintJson)},
                       {"stintCount", c.rules.stintCount},
                       {"stops", ArrayOf(c.rules.stops, StopJson)},
                       {"stopCount", c.rules.stopCount},
                       {"breaches", ArrayOf(c.rules.breaches, BreachJson)},
                       {"breachCount", c.rules.breachCount},
                       {"penaltyLaps", c.rules.penaltyLaps}};
}

QJsonObject CarJson(const TeamCar& c, bool withHistory) {
    QJsonObject o{{"slot", c.slot},
                  {"caption", Q(c.caption)},
                  {"carName", Q(c.carName)},
                  {"lapText", Q(c.lapText)},
                  {"laps", c.laps},
                  {"last", LapJson(c.last)},
                  {"best", LapJson(c.best)},
                  {"state", Q(c.state)},
                  {"stateKind", QString::fromLatin1(TeamCarStateName(c.stateKind))},
                  {"driver", Q(c.driver)},
                  {"stintLaps", c.stintLaps},
                  {"stintMinutes", c.stintMinutes},
                  {"stint", Q(c.stint)},
                  {"changeDue", Q(c.changeDue)},
                  {"ruleNote", Q(c.ruleNote)},
                  {"outgoing", Q(c.outgoing)}};
    if (withHistory) o.insert("history", HistoryJson(c));
    return o;
}

}  // namespace

QByteArray TeamViewJson(const TeamViewModel& m, const TeamViewStamp& stamp, bool withHistory) {
    QJsonArray ranking, cars;
    for (const TeamRankRow& r : m.ranking)
        ranking.append(QJsonObject{{"slot", r.slot},
                                   {"caption", Q(r.caption)},
                                   {"rank", Q(r.rank)},
                                   {"car", Q(r.car)},
                                   {"lap", Q(r.lap)},
                                   {"bestLap", Q(r.bestLap)},
                                   {"bestTime", Q(r.bestTime)}});
    for (const TeamCar& c : m.cars) cars.append(CarJson(c, withHistory));
    const QJsonObject o{{"instance", stamp.instance},
                        {"seq", static_cast<qint64>(stamp.seq)},
                        {"history", static_cast<qint64>(stamp.history)},
                        {"event", Q(m.event)},
                        {"date", Q(m.date)},
                        {"course", Q(m.course)},
                        {"measuring", m.measuring},
                        {"clock", Q(m.clock)},
                        {"start", Q(m.start)},
                        {"remaining", Q(m.remaining)},
                        {"endTime", Q(m.endTime)},
                        {"allCars", Q(m.allCars)},
                        {"ranking", ranking},
                        {"cars", cars}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

}  // namespace velmora
