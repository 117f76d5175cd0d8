#include "journal/journal_reader.h"

#include <map>
#include <utility>

#include "core/console_state.h"
#include "journal/sqlite_db.h"

namespace velmora {

namespace {

bool Fail(SqliteDb& db, std::string* error) {
    if (error) *error = db.Error();
    return false;
}

}  // namespace

bool ReadJournalTraffic(const std::string& path, std::vector<TrafficRecord>& out,
                        std::string* error) {
    SqliteDb db;
    SqliteStatement q;
    if (!db.Open(path, false) ||
        !q.Prepare(db, "SELECT kind, slot, tick, ns, bytes FROM traffic ORDER BY id"))
        return Fail(db, error);
    while (q.Step()) {
        TrafficRecord r;
        if (!ParseTrafficKind(q.Text(0), r.kind)) {
            if (error) *error = "unknown traffic kind '" + std::string(q.Text(0)) + "'";
            return false;
        }
        r.slot = static_cast<int>(q.Int(1));
        r.tick = static_cast<std::int32_t>(q.Int(2));
        r.ns = q.Int(3);
        r.bytes = std::string(q.Blob(4));
        out.push_back(std::move(r));
    }
    return q.Done() || Fail(db, error);
}

bool ReadJournalLaps(const std::string& path, std::vector<JournaledLap>& out, std::string* error) {
    SqliteDb db;
    SqliteStatement q;
    if (!db.Open(path, false) ||
        !q.Prepare(db,
                   "SELECT grid, row, col, text FROM cell WHERE grid LIKE 'panel._.Spd_LapTime' "
                   "AND col IN (4, 6) ORDER BY grid, row"))
        return Fail(db, error);
    std::map<std::pair<int, int>, JournaledLap> rows;
    while (q.Step()) {
        const std::string_view grid = q.Text(0);
        const int slot = grid.size() > 6 ? grid[6] - '0' : -1;
        if (slot < 0 || slot >= kPanelCount) continue;
        const int row = static_cast<int>(q.Int(1));
        JournaledLap& lap = rows[{slot, row}];
        lap.slot = slot;
        lap.row = row;
        (q.Int(2) == 4 ? lap.ticks : lap.recordedAt) = std::string(q.Text(3));
    }
    if (!q.Done()) return Fail(db, error);
    for (auto& [key, lap] : rows) out.push_back(std::move(lap));
    return true;
}

}  // namespace velmora
