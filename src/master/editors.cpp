#include "master/editors.h"

#include <string>

#include "master/master_files.h"

namespace velmora {

namespace {

struct EditorFile {
    const char* fileName;
    bool (*load)(Console&, bool, std::string*);
    bool (*save)(Console&, std::string*);
};

EditorFile FileOf(Editor e) {
    switch (e) {
        case Editor::Car:
            return {"Car.ini", LoadCarList, SaveCarList};
        case Editor::Course:
            return {"Course.ini", LoadCourseList, SaveCourseList};
        case Editor::Drivers:
            break;
    }
    return {"Drivers.ini", LoadDriverList, SaveDriverList};
}

void SetConsoleEnabled(ConsoleState& st, bool on) {
    for (PanelState& p : st.panels) p.Frm_Runner.enabled = on;
    st.main.Frm_Main.enabled = on;
}

std::string WithReason(std::string text, const std::string& reason) {
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

}  // namespace

OverlayState& EditorOverlay(ConsoleState& st, Editor e) {
    switch (e) {
        case Editor::Car:
            return st.Frm_Car;
        case Editor::Course:
            return st.Frm_Course;
        case Editor::Drivers:
            break;
    }
    return st.Frm_Drivers;
}

std::string_view EditorGridName(Editor e) {
    switch (e) {
        case Editor::Car:
            return "Spd_Car";
        case Editor::Course:
            return "Spd_Course";
        case Editor::Drivers:
            break;
    }
    return "Spd_Drivers";
}

bool OpenEditor(Console& c, Editor e) {
    const EditorFile file = FileOf(e);
    std::string reason;
    // Edits left from an earlier cancel are dropped here; the selection lists stay.
    if (!file.load(c, true, &reason)) {
        c.svc.dialogs.MessageBox(
            WithReason(std::string(file.fileName) + " を読み込めません。", reason), "",
            MessageButtons::Ok, MessageIcon::Critical);
        return false;
    }
    EditorOverlay(c.st, e).frame.visible = true;
    SetConsoleEnabled(c.st, false);
    c.st.focusRequest = std::string(EditorGridName(e));
    return true;
}

void DeleteEditorRow(Console& c, Editor e, int row) {
    Grid& g = EditorOverlay(c.st, e).grid;
    if (row < 1 || row > g.RowCount()) return;
    g.DeleteRow(row);
    if (g.RowCount() < kMasterRows) g.SetRowCount(kMasterRows);
    g.SetActiveCell(1, 1);
}

bool ConfirmEditor(Console& c, Editor e) {
    const EditorFile file = FileOf(e);
    std::string reason;
    if (!file.save(c, &reason)) {
        c.svc.dialogs.MessageBox(
            WithReason(std::string(file.fileName) + " に書き込めません。", reason), "",
            MessageButtons::Ok, MessageIcon::Critical);
        return false;
    }
    EditorOverlay(c.st, e).frame.visible = false;
    SetConsoleEnabled(c.st, true);
    // Read back what was written, and rebuild the selection lists from it.
    file.load(c, false, nullptr);
    return true;
}

void CancelEditor(Console& c, Editor e) {
    EditorOverlay(c.st, e).frame.visible = false;
    SetConsoleEnabled(c.st, true);
}

}  // namespace velmora
