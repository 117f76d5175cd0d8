#include "master/master_files.h"

#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/atomic_file.h"
#include "core/encoding.h"
#include "core/text_rules.h"
#include "master/field_reader.h"

namespace velmora {

namespace {

using Record = std::vector<std::string>;

// Reads `path` into `text` (UTF-8). A missing file is created empty.
bool ReadMasterFile(const std::string& path, std::string& text, std::string* error) {
    std::string bytes;
    // 50 records need far less than this; the cap bounds a junk file grown outside.
    constexpr std::size_t kMaxBytes = 4u * 1024u * 1024u;
    if (ReadWholeFile(path, bytes, kMaxBytes)) {
        text = Cp932ToUtf8(bytes);
        return true;
    }
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status)) {
        if (error) {
            *error =
                std::filesystem::is_directory(status) ? "フォルダです。" : "ファイルを開けません。";
        }
        return false;
    }
    text.clear();
    return WriteFileAtomically(path, "", error);
}

// The first kMasterRows records of `fieldsPerRecord` fields each. Records whose name (the
// first field) is empty are dropped: the savers would drop them anyway.
std::vector<Record> ReadRecords(std::string_view text, std::size_t fieldsPerRecord) {
    std::vector<Record> records;
    FieldReader reader(text);
    while (!reader.AtEnd() && records.size() < kMasterRows) {
        Record rec;
        for (std::size_t f = 0; f < fieldsPerRecord; ++f) rec.push_back(reader.Next());
        if (!Trim(rec[0]).empty()) records.push_back(std::move(rec));
    }
    return records;
}

void ResetGrid(Grid& g) {
    g.SetRowCount(0);
    g.SetRowCount(kMasterRows);
}

// Shared load sequence: clear lists, empty grid, read, fill rows, active cell (1,1).
bool Load(const std::string& path, Grid& grid, std::size_t fields, bool gridOnly,
          const std::function<void()>& clearLists,
          const std::function<Record(const Record&)>& toCells,
          const std::function<void(const Record&)>& addItems, std::string* error) {
    if (!gridOnly) clearLists();
    ResetGrid(grid);
    std::string text;
    const bool ok = ReadMasterFile(path, text, error);
    if (ok) {
        int row = 1;
        for (const Record& rec : ReadRecords(text, fields)) {
            const Record cells = toCells(rec);
            for (std::size_t col = 0; col < cells.size(); ++col)
                grid.SetCell(row, static_cast<int>(col) + 1, cells[col]);
            if (!gridOnly) addItems(cells);
            ++row;
        }
    }
    grid.SetActiveCell(1, 1);
    return ok;
}

std::string FloatField(std::string_view text) {
    return ShortestFloat(static_cast<float>(LeadingNumber(text)));
}

// A course length: commas dropped first (1,200 is 1200), then rounded half to even.
std::string LengthField(std::string_view text) {
    return std::to_string(WholeNumber(ReplaceAll(text, ",", "")));
}

// A line break inside a cell would split the record over two lines of the file.
std::string OneLine(std::string_view text) {
    return ReplaceAll(ReplaceAll(text, "\r", " "), "\n", " ");
}

// Names and owners: commas become blanks, then blanks at both ends go.
std::string NameField(std::string_view text) {
    return std::string(Trim(ReplaceAll(OneLine(text), ",", " ")));
}

bool Save(const std::string& path, const Grid& grid,
          const std::function<std::string(const Grid&, int)>& lineOf, std::string* error) {
    std::string text;
    for (int row = 1; row <= grid.RowCount(); ++row) {
        const std::string line = lineOf(grid, row);
        if (!line.empty()) text += line + "\r\n";
    }
    return WriteFileAtomically(path, Utf8ToCp932(text), error);
}

}  // namespace

bool LoadCarList(Console& c, bool gridOnly, std::string* error) {
    auto& panels = c.st.panels;
    return Load(
        c.paths.CarFilePath, c.st.Frm_Car.grid, 4, gridOnly,
        [&] {
            for (PanelState& p : panels) p.Cmb_Car.Clear();
        },
        [](const Record& r) {
            return Record{r[0], r[1], FloatField(r[2]), FloatField(r[3])};
        },
        [&](const Record& cells) {
            for (PanelState& p : panels)
                p.Cmb_Car.AddItem(cells[0] + "\t" + cells[2] + "\t" + cells[3]);
        },
        error);
}

bool LoadCourseList(Console& c, bool gridOnly, std::string* error) {
    ComboBox& list = c.st.main.Cmb_Course;
    return Load(
        c.paths.CourseFilePath, c.st.Frm_Course.grid, 2, gridOnly, [&] { list.Clear(); },
        [](const Record& r) {
            return Record{r[0], LengthField(r[1])};
        },
        [&](const Record& cells) { list.AddItem(cells[0] + "(" + cells[1] + "m)\t" + cells[1]); },
        error);
}

bool LoadDriverList(Console& c, bool gridOnly, std::string* error) {
    auto& panels = c.st.panels;
    return Load(
        c.paths.DriverFilePath, c.st.Frm_Drivers.grid, 2, gridOnly,
        [&] {
            for (PanelState& p : panels) p.Cmb_Driver.Clear();
        },
        [](const Record& r) { return r; },
        [&](const Record& cells) {
            const std::string& target = cells[1];
            if (target == "全車") {
                for (PanelState& p : panels) p.Cmb_Driver.AddItem(cells[0]);
                return;
            }
            // "４号車" and "５号車" name slots without a panel on this window: offered nowhere.
            for (int i = 0; i < kPanelCount; ++i)
                if (target == CarLabel(i)) panels[i].Cmb_Driver.AddItem(cells[0]);
        },
        error);
}

bool SaveCarList(Console& c, std::string* error) {
    return Save(
        c.paths.CarFilePath, c.st.Frm_Car.grid,
        [](const Grid& g, int row) -> std::string {
            const std::string name = NameField(g.Cell(row, 1));
            if (name.empty()) return {};
            return name + "," + NameField(g.Cell(row, 2)) + "," + FloatField(g.Cell(row, 3)) + "," +
                   FloatField(g.Cell(row, 4));
        },
        error);
}

bool SaveCourseList(Console& c, std::string* error) {
    return Save(
        c.paths.CourseFilePath, c.st.Frm_Course.grid,
        [](const Grid& g, int row) -> std::string {
            const std::string name = NameField(g.Cell(row, 1));
            if (name.empty()) return {};
            return name + "," + LengthField(g.Cell(row, 2));
        },
        error);
}

bool SaveDriverList(Console& c, std::string* error) {
    return Save(
        c.paths.DriverFilePath, c.st.Frm_Drivers.grid,
        [](const Grid& g, int row) -> std::string {
            const std::string name = NameField(g.Cell(row, 1));
            if (name.empty()) return {};
            // The target keeps its blanks: only an exact "全車" or "Ｎ号車" is offered.
            return name + "," + ReplaceAll(OneLine(g.Cell(row, 2)), ",", " ");
        },
        error);
}

void TakeSelectedCourse(Console& c) {
    ComboBox& list = c.st.main.Cmb_Course;
    list.back = White;
    c.st.SelectedCourseLength = WholeNumber(list.Column(1));
}

}  // namespace velmora
