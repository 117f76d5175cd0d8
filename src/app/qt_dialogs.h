#pragma once
// Message boxes, input boxes, the save dialog and the beep with Qt widgets. Tests queue the
// next answers; a queued answer is returned without showing anything, and every request is
// recorded, so a test never blocks on a modal dialog.
#include <QPointer>
#include <QWidget>
#include <deque>
#include <string>
#include <vector>

#include "core/services.h"

namespace velmora {

class QtDialogs : public DialogService {
  public:
    enum class Kind { Message, Input, Save };
    // One dialog the console asked for (shown, or answered from the queue).
    struct Request {
        Kind kind;
        std::string text;    // message text, input prompt or save dialog title
        std::string title;   // title (message and input)
        std::string detail;  // input default text or save filter
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
    };

    void setParentWidget(QWidget* parent) { parent_ = parent; }

    // Answers for the next dialogs of each kind, oldest first.
    void pushMessageAnswer(MessageAnswer answer) { messageAnswers_.push_back(answer); }
    void pushInputAnswer(std::string text) { inputAnswers_.push_back(std::move(text)); }
    void pushSaveAnswer(std::string path) { saveAnswers_.push_back(std::move(path)); }
    // When set, a dialog with no queued answer is not shown either: it answers No (Ok for an
    // Ok box), "" for input and save. For tests and headless runs.
    void setNonInteractive(bool on) { nonInteractive_ = on; }

    const std::vector<Request>& requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }
    int beeps() const { return beeps_; }

    MessageAnswer MessageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                             MessageIcon icon) override;
    std::string InputBox(std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;
    std::string SaveFileDialog(std::string_view title, std::string_view filter) override;
    void Beep() override;

    // "desc|pat|desc|pat" → "desc (pat);;desc (pat)"; patterns split at ';' become blanks.
    static std::string QtFilter(std::string_view filter);
    // The extension a typed name without one gets under a Qt filter: "txt" for
    // "テキストデータ (*.txt)", none for "(*.*)".
    static std::string DefaultSuffix(std::string_view qtFilter);

    // The title of a box asked for without one (the application's default title).
    static constexpr const char* kDefaultTitle = "VelmoraHost";

  private:
    QPointer<QWidget> parent_;
    std::deque<MessageAnswer> messageAnswers_;
    std::deque<std::string> inputAnswers_;
    std::deque<std::string> saveAnswers_;
    std::vector<Request> requests_;
    bool nonInteractive_ = false;
    int beeps_ = 0;
};

}  // namespace velmora
