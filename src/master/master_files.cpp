#include "master/master_files.h"

namespace velmora {
// STUB: replaced by the real implementation.
bool LoadCarList(Console&, bool) { return true; }
bool LoadCourseList(Console&, bool) { return true; }
bool LoadDriverList(Console&, bool) { return true; }
bool SaveCarList(Console&) { return true; }
bool SaveCourseList(Console&) { return true; }
bool SaveDriverList(Console&) { return true; }
void TakeSelectedCourse(Console&) {}
}  // namespace velmora
