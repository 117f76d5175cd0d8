#include "core/controls.h"

#include <algorithm>

namespace velmora {

void ComboBox::Clear() {
    items.clear();
    listIndex = -1;
    text.clear();
}

void ComboBox::AddItem(std::string item) { items.push_back(std::move(item)); }

void ComboBox::Select(int index) {
    listIndex = (index >= 0 && index < static_cast<int>(items.size())) ? index : -1;
    text = Column(0);
}

std::string ComboBox::Column(int col) const {
    if (listIndex < 0 || listIndex >= static_cast<int>(items.size()) || col < 0) return {};
    const std::string& item = items[static_cast<std::size_t>(listIndex)];
    std::size_t start = 0;
    for (int c = 0; c < col; ++c) {
        std::size_t tab = item.find('\t', start);
        if (tab == std::string::npos) return {};
        start = tab + 1;
    }
    std::size_t end = item.find('\t', start);
    return item.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

Grid::Grid(int columns) : columns_(std::max(1, columns)), rows_(1) {
    rows_[0].resize(static_cast<std::size_t>(columns_) + 1);
}

void Grid::SetRowCount(int n) {
    n = std::max(0, n);
    rows_.resize(static_cast<std::size_t>(n) + 1);
    for (auto& row : rows_) row.resize(static_cast<std::size_t>(columns_) + 1);
    activeRow_ = std::min(activeRow_, n);
    ++revision_;
}

const std::string& Grid::Cell(int row, int col) const {
    static const std::string empty;
    if (row < 0 || row > RowCount() || col < 0 || col > columns_) return empty;
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void Grid::SetCell(int row, int col, std::string text) {
    if (row < 0 || row > RowCount() || col < 0 || col > columns_) return;
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = std::move(text);
    ++revision_;
}

void Grid::DeleteRow(int row) {
    if (row < 1 || row > RowCount()) return;
    rows_.erase(rows_.begin() + row);
    activeRow_ = std::min(activeRow_, RowCount());
    ++revision_;
}

void Grid::SetActiveCell(int col, int row) {
    activeCol_ = std::clamp(col, 1, columns_);
    activeRow_ = std::clamp(row, 0, RowCount());
    ++revision_;
}

}  // namespace velmora
