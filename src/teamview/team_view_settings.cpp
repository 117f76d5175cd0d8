#include "teamview/team_view_settings.h"

#include <exception>
#include <string_view>

#include "core/profile_file.h"
#include "core/text_rules.h"
#include "teamview/view_key.h"

namespace velmora {

namespace {

constexpr std::string_view kSection = "チームビュー";
constexpr std::string_view kPortKey = "ポート";
constexpr std::string_view kKeyKey = "キー";
constexpr std::string_view kOnKey = "公開";

}  // namespace

TeamViewSettings LoadTeamViewSettings(const std::string& settingsPath) {
    TeamViewSettings s;
    try {
        const ProfileFile file(settingsPath);
        const ProfileValue port = file.Read(kSection, kPortKey);
        double n = 0;
        if (port.count != 0 && ParseNumber(port.text, n) && n >= 1 && n <= 65535 &&
            n == static_cast<double>(static_cast<int>(n)))
            s.port = static_cast<std::uint16_t>(n);
        const ProfileValue key = file.Read(kSection, kKeyKey);
        if (IsViewKey(key.text)) s.key = key.text;
        s.on = Trim(file.Read(kSection, kOnKey).text) == "1";
    } catch (const std::exception&) {
        s = TeamViewSettings{};
    }
    return s;
}

bool SaveTeamViewSettings(const std::string& settingsPath, const TeamViewSettings& s) {
    try {
        ProfileFile file(settingsPath);
        file.Write(kSection, kPortKey, std::to_string(s.port));
        file.Write(kSection, kKeyKey, s.key);
        file.Write(kSection, kOnKey, s.on ? "1" : "0");
        return file.Save();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace velmora
