#pragma once
#include <string>

#include "core/console.h"

namespace velmora {

// Every editor grid holds this many data rows; a loader stops after as many records, so a
// file grown outside the program never overflows the grid and the lists match the grid.
inline constexpr int kMasterRows = 50;

// Read the file into the editor grid; unless gridOnly, also rebuild the selection lists
// (no item is chosen afterwards). A missing file is created empty. Return false when the
// file could neither be read nor created, with the reason in `error` (the caller tells the
// user; the grid and lists are then empty).
bool LoadCarList(Console& c, bool gridOnly, std::string* error = nullptr);
bool LoadCourseList(Console& c, bool gridOnly, std::string* error = nullptr);
bool LoadDriverList(Console& c, bool gridOnly, std::string* error = nullptr);

// Rewrite the file from the editor grid, rows with an empty cleaned name left out. The file
// is replaced whole or not at all: false (file untouched, reason in `error`) when it could
// not be written.
bool SaveCarList(Console& c, std::string* error = nullptr);
bool SaveCourseList(Console& c, std::string* error = nullptr);
bool SaveDriverList(Console& c, std::string* error = nullptr);

// Cmb_Course lost focus: SelectedCourseLength from column 1 of the chosen item.
void TakeSelectedCourse(Console& c);

}  // namespace velmora
