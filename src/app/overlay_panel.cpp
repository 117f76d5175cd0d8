#include "app/overlay_panel.h"

#include <QHeaderView>

#include "app/builder.h"
#include "pit/settings_dialog.h"

namespace velmora {

namespace {

const layout::OverlayLayout& LayoutOf(Editor e) {
    switch (e) {
        case Editor::Car:
            return layout::kCarEditor;
        case Editor::Course:
            return layout::kCourseEditor;
        case Editor::Drivers:
            break;
    }
    return layout::kDriverEditor;
}

}  // namespace

void OverlayPanel::BuildCommon(const layout::OverlayLayout& l, const OverlayState& state) {
    setObjectName(NameText(l.frame));
    // Placed by Centre() when it opens; only its size is design.
    PlaceAt(this, {0, 0, l.width, l.height});
    frame_.w = this;
    grid_ = new GridView(this, state.grid, state.grid.ColumnCount());
    grid_->setObjectName(NameText(l.grid));
    PlaceAt(grid_, l.gridRect);
    ok_.w = Make<QPushButton>(
        this, NameText(l.ok),
        {l.okLeft, l.buttonTop, layout::kOverlayButtonW, layout::kOverlayButtonH});
    cancel_.w = Make<QPushButton>(
        this, NameText(l.cancel),
        {l.cancelLeft, l.buttonTop, layout::kOverlayButtonW, layout::kOverlayButtonH});
    hide();
}

OverlayPanel::OverlayPanel(QWidget* parent, Editor editor, const OverlayState& state,
                           EventSink sink)
    : CaptionFrame(parent), sink_(std::move(sink)) {
    const layout::OverlayLayout& l = LayoutOf(editor);
    BuildCommon(l, state);
    const int deleteCol = state.grid.ColumnCount();
    switch (editor) {
        case Editor::Car:
            grid_->setColumnWidthsTwips({1650, 1350, 1050, 1350, 600});
            break;
        case Editor::Course:
            grid_->setColumnWidthsTwips({3600, 1800, 600});
            break;
        case Editor::Drivers:
            grid_->setColumnWidthsTwips({1500, 1050, 450});
            grid_->setDropDown(2, 0, {"全車", "１号車", "２号車", "３号車", "４号車", "５号車"});
            break;
    }
    GridModel& m = grid_->gridModel();
    m.setEditableColumns([deleteCol](int col, int) { return col < deleteCol; });
    m.setOnEdit([this, editor](int row, int col, const std::string& t) {
        sink_([editor, row, col, t](Console& c) {
            EditorOverlay(c.st, editor).grid.SetCell(row, col, t);
        });
    });
    grid_->setOnCellMove([this, editor](int, int, int newCol, int newRow) {
        sink_([editor, newCol, newRow](Console& c) {
            EditorOverlay(c.st, editor).grid.SetActiveCell(newCol, newRow);
        });
        return false;
    });
    grid_->setButtonColumn(deleteCol, "削除", [this, editor](int row) {
        sink_([editor, row](Console& c) { DeleteEditorRow(c, editor, row); });
    });
    connect(ok_.w, &QPushButton::clicked, this,
            [this, editor] { sink_([editor](Console& c) { ConfirmEditor(c, editor); }); });
    connect(cancel_.w, &QPushButton::clicked, this,
            [this, editor] { sink_([editor](Console& c) { CancelEditor(c, editor); }); });
}

OverlayPanel::OverlayPanel(QWidget* parent, const OverlayState& state, EventSink sink)
    : CaptionFrame(parent), sink_(std::move(sink)) {
    BuildCommon(layout::kSettingsDialog, state);
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(Px(210));
    grid_->setColumnWidthsTwips({3840});
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->setDropDown(2, 1, {"1/100", "1/1000"});
    GridModel& m = grid_->gridModel();
    // Column 1 holds the fixed captions; only the values can be edited.
    m.setEditableColumns([](int col, int) { return col == 2; });
    m.setOnEdit([this](int row, int col, const std::string& t) {
        sink_([row, col, t](Console& c) { c.st.Frm_Mess.grid.SetCell(row, col, t); });
    });
    grid_->setOnCellMove([this](int, int, int newCol, int newRow) {
        const bool refuse = MessGridLeaveCell(newCol);
        // A refused move keeps the active cell in the value column of the row.
        sink_([refuse, newCol, newRow](Console& c) {
            c.st.Frm_Mess.grid.SetActiveCell(refuse ? 2 : newCol, newRow);
        });
        // The render that follows puts the view back on the state's active cell.
        return false;
    });
    connect(ok_.w, &QPushButton::clicked, this,
            [this] { sink_([](Console& c) { ConfirmEnvironmentSettings(c); }); });
    connect(cancel_.w, &QPushButton::clicked, this, [this] { sink_(CancelEnvironmentSettings); });
}

void OverlayPanel::Centre() {
    if (!parentWidget()) return;
    const QSize p = parentWidget()->size();
    move(Centred(p.width(), width()), Centred(p.height(), height()));
}

void OverlayPanel::Render(const OverlayState& s) {
    if (s.frame.visible && !wasVisible_) {
        Centre();
        raise();
    }
    wasVisible_ = s.frame.visible;
    frame_.Render(s.frame);
    grid_->Render(s.grid);
    ok_.Render(s.ok);
    cancel_.Render(s.cancel);
}

}  // namespace velmora
