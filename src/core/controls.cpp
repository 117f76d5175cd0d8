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

Grid::Grid(int columns) : columns_(std::max(1, columns)) { Resize(0); }

std::size_t Grid::Index(int row, int col) const {
    return static_cast<std::size_t>(row % kRowsPerBlock) * static_cast<std::size_t>(columns_ + 1) +
           static_cast<std::size_t>(col);
}

void Grid::Resize(int rows) {
    // Rows that go are cleared in the block that stays, so a row added again starts empty;
    // blocks past the new end go as a whole.
    if (rows < rows_) {
        const int blockEnd = std::min(rows_, (rows / kRowsPerBlock + 1) * kRowsPerBlock - 1);
        for (int r = rows + 1; r <= blockEnd; ++r)
            for (int col = 0; col <= columns_; ++col)
                if (!Cell(r, col).empty()) At(r, col).clear();
    }
    const std::size_t rowCells = static_cast<std::size_t>(columns_) + 1;
    blocks_.resize(static_cast<std::size_t>(rows / kRowsPerBlock) + 1);
    for (std::shared_ptr<Block>& b : blocks_)
        if (!b) b = std::make_shared<Block>(kRowsPerBlock * rowCells);
    rows_ = rows;
}

void Grid::SetRowCount(int n) {
    n = std::max(0, n);
    Resize(n);
    activeRow_ = std::min(activeRow_, n);
    ++revision_;
}

const std::string& Grid::Cell(int row, int col) const {
    static const std::string empty;
    if (row < 0 || row > RowCount() || col < 0 || col > columns_) return empty;
    return (*blocks_[static_cast<std::size_t>(row / kRowsPerBlock)])[Index(row, col)];
}

std::string& Grid::At(int row, int col) {
    std::shared_ptr<Block>& b = blocks_[static_cast<std::size_t>(row / kRowsPerBlock)];
    // Shared with a copy: this grid takes a block of its own before it writes. The count can
    // only fall meanwhile (only this grid can hand the block out), so reading it is safe.
    if (b.use_count() > 1) b = std::make_shared<Block>(*b);
    return (*b)[Index(row, col)];
}

void Grid::SetCell(int row, int col, std::string text) {
    if (row < 0 || row > RowCount() || col < 0 || col > columns_) return;
    At(row, col) = std::move(text);
    ++revision_;
}

void Grid::DeleteRow(int row) {
    if (row < 1 || row > RowCount()) return;
    for (int r = row; r < rows_; ++r)
        for (int col = 0; col <= columns_; ++col)
            if (Cell(r, col) != Cell(r + 1, col)) At(r, col) = Cell(r + 1, col);
    Resize(rows_ - 1);
    activeRow_ = std::min(activeRow_, RowCount());
    ++revision_;
}

int Grid::FirstRowNotShared(const Grid& other) const {
    const int rows = std::min(rows_, other.rows_);
    if (columns_ != other.columns_) return 1;
    const std::size_t blocks = std::min(blocks_.size(), other.blocks_.size());
    for (std::size_t b = 0; b < blocks; ++b)
        if (blocks_[b] != other.blocks_[b])
            return std::max(1, std::min(rows + 1, static_cast<int>(b) * kRowsPerBlock));
    return rows + 1;
}

void Grid::SetActiveCell(int col, int row) {
    activeCol_ = std::clamp(col, 1, columns_);
    activeRow_ = std::clamp(row, 0, RowCount());
    ++revision_;
}

}  // namespace velmora
