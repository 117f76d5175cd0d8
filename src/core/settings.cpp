#include "core/settings.h"

#include <exception>
#include <string_view>

#include "core/profile_file.h"
#include "core/text_rules.h"

namespace velmora {

namespace {

constexpr std::string_view kEnvSection = "計測環境設定";
constexpr std::string_view kPrecisionKey = "計測精度";
constexpr std::string_view kSilenceKey = "ラップ加算無通信秒数";
constexpr std::string_view kMessageSection = "自動メッセージ設定";
constexpr std::string_view kMessage3Key = "残り３周の自動メッセージ";
constexpr std::string_view kMessage2Key = "残り２周の自動メッセージ";
constexpr std::string_view kMessage1Key = "残り１周の自動メッセージ";
constexpr std::string_view kMessage0Key = "残りが無くなった時の自動メッセージ";
constexpr std::string_view kLapsKey = "チェック時のデフォルト周数";

constexpr std::int16_t kDefaultSilenceSeconds = 10;
constexpr std::int32_t kDefaultLaps = 10;

// Numbers are stored with a sign position: " 10" for 10, "-5" for -5.
std::string NumberText(std::int64_t n) {
    return n < 0 ? std::to_string(n) : " " + std::to_string(n);
}

// True when the leading-number rule finds a number at all ("12abc" yes, "abc" and "-" no).
bool StartsWithNumber(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    if (!text.empty() && text.front() == '.') text.remove_prefix(1);
    return !text.empty() && text.front() >= '0' && text.front() <= '9';
}

// A text key: the stored text, or the default, which is then written back.
void LoadText(ProfileFile& file, std::string_view section, std::string_view key,
              std::string& field) {
    const ProfileValue v = file.Read(section, key);
    if (v.count != 0)
        field = v.text;
    else
        file.Write(section, key, field);  // `field` still holds its default
}

void Load(ProfileFile& file, MeasureSettings& s) {
    LoadText(file, kEnvSection, kPrecisionKey, s.Precision);

    const ProfileValue silence = file.Read(kEnvSection, kSilenceKey);
    if (silence.count != 0) {
        // Out of range or not a number: 10 in memory, the file keeps its text.
        const std::int32_t n = WholeNumber(silence.text);
        s.SilenceSeconds =
            (n >= 1 && n <= 99) ? static_cast<std::int16_t>(n) : kDefaultSilenceSeconds;
    } else {
        s.SilenceSeconds = kDefaultSilenceSeconds;
        file.Write(kEnvSection, kSilenceKey, NumberText(s.SilenceSeconds));
    }

    LoadText(file, kMessageSection, kMessage3Key, s.AutoMessage3);
    LoadText(file, kMessageSection, kMessage2Key, s.AutoMessage2);
    LoadText(file, kMessageSection, kMessage1Key, s.AutoMessage1);
    LoadText(file, kMessageSection, kMessage0Key, s.AutoMessage0);

    const ProfileValue laps = file.Read(kMessageSection, kLapsKey);
    if (laps.count != 0) {
        // A text without any number keeps the default (in memory only, like the silence).
        s.DefaultCountdownLaps =
            StartsWithNumber(laps.text) ? WholeNumber(laps.text) : kDefaultLaps;
    } else {
        s.DefaultCountdownLaps = kDefaultLaps;
        file.Write(kMessageSection, kLapsKey, NumberText(s.DefaultCountdownLaps));
    }
}

}  // namespace

MeasureSettings LoadMeasureSettings(const std::string& path) {
    MeasureSettings settings;
    try {
        // All write-backs go into one save: the bytes are those of one write per key.
        ProfileFile file(path);
        Load(file, settings);
        file.Save();  // a failed write is not reported: the values in memory serve
    } catch (const std::exception&) {
        settings = MeasureSettings{};
    }
    return settings;
}

bool SaveMeasureSettings(const std::string& path, const MeasureSettings& settings) {
    try {
        ProfileFile file(path);
        file.Write(kEnvSection, kPrecisionKey, settings.Precision);
        file.Write(kEnvSection, kSilenceKey, NumberText(settings.SilenceSeconds));
        file.Write(kMessageSection, kMessage3Key, settings.AutoMessage3);
        file.Write(kMessageSection, kMessage2Key, settings.AutoMessage2);
        file.Write(kMessageSection, kMessage1Key, settings.AutoMessage1);
        file.Write(kMessageSection, kMessage0Key, settings.AutoMessage0);
        file.Write(kMessageSection, kLapsKey, NumberText(settings.DefaultCountdownLaps));
        return file.Save();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace velmora
