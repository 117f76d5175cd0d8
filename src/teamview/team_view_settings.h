#pragma once
// The team view's settings in Velmora.ini, section [チームビュー]: ポート (8780 by default),
// キー and 公開 (1 = on). Reading never writes: a file the view was never turned on in keeps
// exactly the keys it had.
#include <cstdint>
#include <string>

namespace velmora {

inline constexpr std::uint16_t kDefaultTeamViewPort = 8780;

struct TeamViewSettings {
    std::uint16_t port = kDefaultTeamViewPort;
    std::string key;  // empty until the view was first turned on, or when it was unusable
    bool on = false;
};

// Missing, empty or unusable values read as the defaults (a key that is no IsViewKey as none).
TeamViewSettings LoadTeamViewSettings(const std::string& settingsPath);

// Writes all three keys into the section, leaving other lines as they are. False when the file
// could not be written.
bool SaveTeamViewSettings(const std::string& settingsPath, const TeamViewSettings& s);

}  // namespace velmora
