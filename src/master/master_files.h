#pragma once
#include "core/console.h"

namespace velmora {

// Read the file into the editor grid; unless gridOnly, also rebuild the selection lists.
// A missing file is created empty. Return false when the file could neither be read nor
// created (the caller tells the user; the lists are then empty).
bool LoadCarList(Console& c, bool gridOnly);
bool LoadCourseList(Console& c, bool gridOnly);
bool LoadDriverList(Console& c, bool gridOnly);

// Rewrite the file from the editor grid, rows with an empty cleaned name left out.
// Return false (file untouched) when it could not be written.
bool SaveCarList(Console& c);
bool SaveCourseList(Console& c);
bool SaveDriverList(Console& c);

// Cmb_Course lost focus: SelectedCourseLength from column 1 of the chosen item.
void TakeSelectedCourse(Console& c);

}  // namespace velmora
