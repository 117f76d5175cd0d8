#include "app/grid_model.h"

#include "app/control_views.h"

namespace velmora {

GridModel::GridModel(const Grid& grid, int visibleColumns, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), columns_(visibleColumns) {
    rows_ = grid_.RowCount();
    revision_ = grid_.Revision();
}

void GridModel::Sync() {
    if (grid_.Revision() == revision_) return;
    revision_ = grid_.Revision();
    const int newRows = grid_.RowCount();
    if (newRows > rows_) {
        beginInsertRows(QModelIndex(), rows_, newRows - 1);
        rows_ = newRows;
        endInsertRows();
    } else if (newRows < rows_) {
        beginRemoveRows(QModelIndex(), newRows, rows_ - 1);
        rows_ = newRows;
        endRemoveRows();
    }
    // Views repaint only what is on screen, so one range signal is cheap at any row count.
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
    emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return ToQString(grid_.Cell(index.row() + 1, index.column() + 1));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return ToQString(grid_.Cell(0, section + 1));
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable_ && editable_(index.column() + 1, index.row() + 1)) f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !onEdit_) return false;
    const std::string text = value.toString().toStdString();
    if (text == grid_.Cell(index.row() + 1, index.column() + 1)) return true;
    onEdit_(index.row() + 1, index.column() + 1, text);
    return true;
}

}  // namespace velmora
