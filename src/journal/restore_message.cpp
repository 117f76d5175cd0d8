#include "journal/restore_message.h"

#include <string_view>

namespace velmora {

namespace {

// "１号車 " for a value of a car panel or slot ("panel.0.…", "runner.0.…", "cell panel.0.…").
std::string CarOf(std::string_view what, const ConsoleState& st) {
    if (what.starts_with("cell ")) what.remove_prefix(5);
    for (std::string_view head : {"panel.", "runner."}) {
        if (!what.starts_with(head) || what.size() < head.size() + 2) continue;
        const char digit = what[head.size()];
        const int slot = digit - '0';
        if (slot >= 0 && slot < kPanelCount && what[head.size() + 1] == '.')
            return st.panels[slot].Frm_Runner.caption + " ";
    }
    return {};
}

}  // namespace

std::string RestoreProblemMessage(const SqliteJournal::Restored& r, const std::string& path,
                                  const ConsoleState& st) {
    if (r.problemCount == 0 && r.derived.empty()) return {};
    std::string text =
        "走行記録ファイルの一部を読めませんでした。読めた内容で復元しました。\n" + path;
    if (!r.keptAs.empty()) text += "\n読み込んだ記録はそのまま保管しました: " + r.keptAs;
    if (!r.derived.empty()) {
        text += "\nほかの記録から求めた値:";
        for (const std::string& d : r.derived) text += "\n" + CarOf(d, st) + d;
    }
    if (r.problemCount > 0) {
        text += "\n復元できなかった値 (起動時のまま):";
        std::size_t shown = 0;
        for (; shown < r.problems.size() && shown < kRestoreProblemsShown; ++shown)
            text += "\n" + CarOf(r.problems[shown], st) + r.problems[shown];
        if (r.problemCount > shown)
            text += "\n… ほか " + std::to_string(r.problemCount - shown) + " 件";
    }
    return text;
}

}  // namespace velmora
