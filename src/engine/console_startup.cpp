#include "engine/console_startup.h"

#include "carlink/presence.h"
#include "carlink/protocol.h"
#include "core/settings.h"
#include "core/window_state.h"
#include "journal/journal_file.h"
#include "journal/restore_message.h"
#include "master/editors.h"
#include "master/master_files.h"
#include "measure/measurement.h"
#include "measure/resume.h"
#include "pit/settings_dialog.h"
#include "rules/rule_settings.h"

namespace velmora {

namespace {

// What a start finds at the journal's path, and the question whether to bring back an
// unfinished race. True for Yes.
bool AskToResume(Console& c) {
    const std::string& path = c.paths.JournalFilePath;
    const JournalCheck check = CheckJournal(path);
    std::string error;
    switch (check.found) {
        case JournalFound::None:
            return false;
        case JournalFound::Finished:
            // Kept under a dated name; a failure shows when the new journal is created.
            SetAsideJournal(path, c.svc.wall.Now(), "", &error);
            return false;
        case JournalFound::Unreadable: {
            const std::string kept = SetAsideJournal(path, c.svc.wall.Now(), "unreadable", &error);
            const std::string text =
                kept.empty() ? "走行記録ファイルを読めません。別名にもできないため、記録なしで起動"
                               "します。\n" +
                                   path + "\n(" + check.reason + ")\n(" + error + ")"
                             : "走行記録ファイルを読めないため、別名で保管しました。新しい記録を"
                               "始めます。\n" +
                                   kept + "\n(" + check.reason + ")";
            c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
            return false;
        }
        case JournalFound::Unfinished:
            break;
    }
    if (c.svc.dialogs.MessageBox("前回の計測データが残っています。復元しますか？", "復元確認",
                                 MessageButtons::YesNo,
                                 MessageIcon::Information) == MessageAnswer::Yes)
        return true;
    // No: the race stays in the file, kept under its date and time; this start is clean.
    SetAsideJournal(path, c.svc.wall.Now(), "", &error);
    return false;
}

// Brings the journaled race back into the console and sets it going; false if it could not be
// read (it is then set aside and the console starts clean).
bool RestoreRace(Console& c, Engine& engine, JournalWriter& writer) {
    // The journal reads into its own copy of the console, which starts as this one stands.
    Console& m = writer.mirror();
    m.st = c.st;
    m.settings = c.settings;
    m.clock = c.clock;
    m.paths = c.paths;
    const SqliteJournal::Restored r = writer.journal().Restore();
    if (!r.ok) {
        std::string error;
        const std::string kept =
            SetAsideJournal(c.paths.JournalFilePath, c.svc.wall.Now(), "unreadable", &error);
        c.svc.dialogs.MessageBox(
            "走行記録ファイルを読めないため、復元できません。新しい記録を始め"
            "ます。\n" +
                (kept.empty() ? c.paths.JournalFilePath : kept) + "\n(" + r.error + ")",
            "", MessageButtons::Ok, MessageIcon::Critical);
        return false;
    }
    c.st = m.st;
    c.settings = m.settings;
    c.DeriveClock();
    // An editor or the settings dialog open at the crash closes: its edits were not saved.
    for (Editor e : {Editor::Car, Editor::Course, Editor::Drivers})
        if (EditorOverlay(c.st, e).frame.visible) CancelEditor(c, e);
    if (c.st.Frm_Mess.frame.visible) CancelEnvironmentSettings(c);
    ResumeServices(c, r.services);
    engine.Mark(TrafficKind::Resume);
    const std::string problems = RestoreProblemMessage(r, c.paths.JournalFilePath, c.st);
    if (!problems.empty())
        c.svc.dialogs.MessageBox(problems, "", MessageButtons::Ok, MessageIcon::Critical);
    return true;
}

}  // namespace

int CaptureLeftRace(const std::string& journalPath, PosixDatagrams& net) {
    if (CheckJournal(journalPath).found != JournalFound::Unfinished) return 0;
    SqliteDb db;
    SqliteStatement q;
    if (!db.Open(journalPath, false) ||
        !q.Prepare(db, "SELECT name FROM field WHERE name LIKE 'run.socket.Car%' AND value = '1'"))
        return 0;
    int captured = 0;
    while (q.Step()) {
        const std::string_view name = q.Text(0);
        const int slot = name.back() - '0';
        if (slot < 0 || slot >= kPanelCount) continue;
        if (net.Capture(CarSocket(slot), CarLocalPort(slot)).empty()) ++captured;
    }
    return captured;
}

void PrepareConsole(Console& c, const std::string& programFolder) {
    c.paths = Paths::InFolder(programFolder);
    c.settings = LoadMeasureSettings(c.paths.SettingsFilePath);
    c.DeriveClock();
    ApplyDesignState(c);
    SetRuleSettings(c.st, LoadRuleSettings(c.paths.SettingsFilePath));
}

bool OpenConsole(Console& c, Engine& engine, JournalWriter& writer, PosixDatagrams& net) {
    const bool resume = AskToResume(c);

    struct MasterList {
        bool (*load)(Console&, bool, std::string*);
        const std::string& path;
    };
    const MasterList lists[] = {{LoadDriverList, c.paths.DriverFilePath},
                                {LoadCourseList, c.paths.CourseFilePath},
                                {LoadCarList, c.paths.CarFilePath}};
    for (const MasterList& l : lists) {
        std::string reason;
        if (!l.load(c, false, &reason)) {
            const std::string file = l.path.substr(l.path.find_last_of("/\\") + 1);
            std::string text = file + " を読み書きできません。登録データなしで起動します。";
            if (!reason.empty()) text += "\n(" + reason + ")";
            c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
        }
    }
    MainWindowStartupState(c);
    const bool resumed = resume && RestoreRace(c, engine, writer);
    // What the cars of a race not brought back sent meanwhile goes, and so do their ports.
    net.EndCapture();
    engine.SetJournal(&writer);
    // The presence responder answers only between runs.
    const std::string presence = c.st.Measuring() ? "" : StartPresenceResponder(c);
    if (!presence.empty()) {
        c.svc.dialogs.MessageBox("ポート7001を使用できません (" + presence +
                                     ")。他のプログラムが使用中の可能性があります。車輌PCからの登録"
                                     "確認には応答しません。",
                                 "", MessageButtons::Ok, MessageIcon::Critical);
    }
    if (!resumed) StartWindowTimers(c);
    return resumed;
}

bool ConfirmEnd(Console& c, Engine& engine, JournalWriter& writer) {
    if (c.svc.dialogs.MessageBox("終了します。よろしいですか？", "終了確認", MessageButtons::YesNo,
                                 MessageIcon::Information) != MessageAnswer::Yes)
        return false;
    c.ticks.Stop();
    // A clean End: the journal is marked finished, and the next start begins a new one.
    engine.AfterEvent();
    engine.Publish();
    writer.Finish();
    engine.WaitUntil([&writer] { return writer.Finished(); });
    // What did not go through is said now: the program ends right after.
    if (const std::string unfinished = writer.FinishMessage(); !unfinished.empty())
        c.svc.dialogs.MessageBox(unfinished, "", MessageButtons::Ok, MessageIcon::Critical);
    return true;
}

}  // namespace velmora
