#include "core/console.h"

namespace velmora {

Paths Paths::InFolder(const std::string& folder) {
    Paths p;
    p.programFolder = folder;
    p.SettingsFilePath = folder + "/Velmora.ini";
    p.CarFilePath = folder + "/Car.ini";
    p.CourseFilePath = folder + "/Course.ini";
    p.DriverFilePath = folder + "/Drivers.ini";
    p.JournalFilePath = folder + "/VelmoraJournal.db";
    return p;
}

}  // namespace velmora
