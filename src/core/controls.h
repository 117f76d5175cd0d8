#pragma once
// Plain-data stand-ins for the window's controls. The core owns every caption, text, colour,
// enabled and visible flag and grid cell; the shell only renders them and feeds edits back.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/colours.h"

namespace velmora {

struct Control {
    bool enabled = true;
    bool visible = true;
};

struct Label : Control {
    std::string caption;
    Colour back = White;
    Colour fore = Black;
};

struct TextBox : Control {
    std::string text;
    Colour back = White;
};

struct Button : Control {
    std::string caption;
};

// A two-state button: pressed = state 0 (pushed in), released = state 1.
struct ToggleButton : Button {
    bool pressed = false;
};

struct CheckBox : Control {
    bool checked = false;
};

struct Frame : Control {
    std::string caption;
    Colour back = White;
};

struct Meter : Control {
    int value = 0;  // 0 to 100
    Colour fore = Yellow;
};

// A multi-column list: each item holds its columns separated by TAB. The box shows column 0
// of the chosen item, or free text where the list is editable (the weather box).
struct ComboBox : Control {
    std::vector<std::string> items;
    int listIndex = -1;  // chosen item, -1 = none
    std::string text;    // what the box shows
    Colour back = White;

    void Clear();
    void AddItem(std::string item);
    // Chooses item `index` (or none for -1) and shows its column 0.
    void Select(int index);
    // Column `col` of the chosen item; empty when nothing is chosen or the column is missing.
    std::string Column(int col) const;
};

// A grid with a header row 0 and data rows 1..RowCount(); columns are 1-based like the
// original spreadsheet control. Reading outside the grid gives an empty text.
//
// Copies are cheap: rows are kept in shared blocks of kRowsPerBlock, and a block is copied
// only when a grid that shares it writes to it. The car link publishes copies of the whole
// console many times a second; a copy of a 5,000-row lap grid shares every block and costs
// about a hundred pointer copies, and the next lap copies just the last block.
class Grid : public Control {
  public:
    explicit Grid(int columns = 1);

    int ColumnCount() const { return columns_; }
    int RowCount() const { return rows_; }
    // Rows beyond n go with their contents; new rows are empty. Negative counts are taken as 0.
    void SetRowCount(int n);
    const std::string& Cell(int row, int col) const;
    void SetCell(int row, int col, std::string text);
    // Removes data row `row` and moves the rows below it up.
    void DeleteRow(int row);
    void SetActiveCell(int col, int row);
    int ActiveRow() const { return activeRow_; }
    int ActiveCol() const { return activeCol_; }
    // Bumped by every change; the shell uses it to skip redrawing unchanged grids.
    std::uint64_t Revision() const { return revision_; }
    // The first data row from which this grid may differ from `other`, a copy of it taken
    // earlier: the rows before lie in blocks both still share, so they are equal. It compares
    // block pointers only, so finding what changed since a copy costs one block of rows.
    int FirstRowNotShared(const Grid& other) const;

    static constexpr int kRowsPerBlock = 64;

  private:
    // Rows [first, first + kRowsPerBlock) of the grid, each row columns_ + 1 cells (cell 0 unused).
    using Block = std::vector<std::string>;

    std::string& At(int row, int col);  // a cell to write: makes its block this grid's own
    std::size_t Index(int row, int col) const;
    void Resize(int rows);

    int columns_;
    int rows_ = 0;  // data rows; the header row 0 lives in block 0 too
    std::vector<std::shared_ptr<Block>> blocks_;
    int activeRow_ = 0;
    int activeCol_ = 1;
    std::uint64_t revision_ = 0;
};

}  // namespace velmora
