#pragma once
// The console's dialogs as seen from its own thread. The window shows them; meanwhile the
// console does not wait: it goes on reading the cars' datagrams, running its timers and
// answering, exactly as a modal dialog's own event loop did when everything ran on one
// thread, until the answer comes back. Crew actions queued meanwhile wait for it.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "core/services.h"

namespace velmora {

struct DialogRequest {
    enum class Kind { Message, Input, SaveFile };
    std::uint64_t id = 0;
    Kind kind = Kind::Message;
    std::string text;  // the message, or the input box's prompt
    std::string title;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    std::string defaultText;  // input box
    std::string filter;       // save dialog
};

struct DialogAnswer {
    std::uint64_t id = 0;
    MessageAnswer answer = MessageAnswer::Ok;
    std::string text;  // the input box's text or the chosen path
};

class EngineDialogs : public DialogService {
  public:
    struct Hooks {
        std::function<void(DialogRequest)> show;  // hands a request to the window
        std::function<void()> beep;
        // Keeps the console going until `answered()` holds.
        std::function<void(const std::function<bool()>& answered)> waitUntil;
        std::function<void()> wake;  // an answer arrived (any thread)
    };
    explicit EngineDialogs(Hooks hooks) : hooks_(std::move(hooks)) {}

    MessageAnswer MessageBox(std::string_view text, std::string_view title, MessageButtons buttons,
                             MessageIcon icon) override;
    std::string InputBox(std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;
    std::string SaveFileDialog(std::string_view title, std::string_view filter) override;
    void Beep() override;

    // The window's answer to request `a.id` (any thread).
    void Answer(DialogAnswer a);
    // Requests shown and not answered yet.
    int Open() const;

  private:
    DialogAnswer Ask(DialogRequest r);

    Hooks hooks_;
    mutable std::mutex mutex_;
    std::map<std::uint64_t, DialogAnswer> answers_;
    std::uint64_t nextId_ = 0;
    int open_ = 0;
};

}  // namespace velmora
