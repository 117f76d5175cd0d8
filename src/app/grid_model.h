#pragma once
// A table model over a console Grid: grid row 0 is the header, data rows 1..RowCount() are
// model rows 0..RowCount()-1, grid column c is model column c-1. Sync() does nothing while the
// grid's revision is unchanged, so a 5,000-row lap list costs nothing between laps.
#include <QAbstractTableModel>
#include <functional>
#include <string>

#include "core/controls.h"

namespace velmora {

class GridModel : public QAbstractTableModel {
  public:
    // Shows grid columns 1..visibleColumns.
    GridModel(const Grid& grid, int visibleColumns, QObject* parent = nullptr);

    // Which grid columns (1-based) the user may edit; none by default.
    void setEditableColumns(std::function<bool(int col, int row)> editable) {
        editable_ = std::move(editable);
    }
    // Called with the 1-based grid row and column and the new text after a user edit.
    void setOnEdit(std::function<void(int row, int col, const std::string& text)> onEdit) {
        onEdit_ = std::move(onEdit);
    }

    void Sync();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    const Grid& grid_;
    int columns_;
    int rows_ = 0;
    std::uint64_t revision_ = ~std::uint64_t{0};
    std::function<bool(int, int)> editable_;
    std::function<void(int, int, const std::string&)> onEdit_;
};

}  // namespace velmora
