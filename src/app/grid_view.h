#pragma once
// A table view over one console Grid with the grid's active cell, drop-down cells and
// button cells.
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/control_views.h"
#include "app/grid_model.h"

namespace velmora {

class GridView : public QTableView {
  public:
    GridView(QWidget* parent, const Grid& grid, int visibleColumns);

    GridModel& gridModel() { return *model_; }

    // The active cell moved from (oldCol, oldRow) to (newCol, newRow), 1-based grid
    // coordinates (0 when there was none). Return true to cancel the move.
    void setOnCellMove(std::function<bool(int oldCol, int oldRow, int newCol, int newRow)> f) {
        onCellMove_ = std::move(f);
    }
    // The cell editor of (col, row), 1-based, has just opened on the cell's current text.
    void setOnEditBegin(std::function<void(int col, int row)> f) { onEditBegin_ = std::move(f); }
    // Column `col` shows a drop-down of `choices` (only on `row` if row > 0).
    void setDropDown(int col, int row, std::vector<std::string> choices);
    // Column `col` is a button per row with `caption`; a click calls `onPress(row)`.
    void setButtonColumn(int col, QString caption, std::function<void(int row)> onPress);
    void setColumnWidthsTwips(const std::vector<int>& widths);

    // Model contents, flags and the active cell from the state.
    void Render(const Grid& grid);

  protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

  private:
    GridModel* model_;
    ControlFlags flags_;
    bool applyingState_ = false;
    int buttonCol_ = 0;
    std::function<bool(int, int, int, int)> onCellMove_;
    std::function<void(int)> onButton_;
    std::function<void(int, int)> onEditBegin_;
};

}  // namespace velmora
