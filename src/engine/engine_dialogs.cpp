#include "engine/engine_dialogs.h"

namespace velmora {

DialogAnswer EngineDialogs::Ask(DialogRequest r) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        id = ++nextId_;
        ++open_;
    }
    r.id = id;
    hooks_.show(std::move(r));
    const auto answered = [this, id] {
        std::lock_guard lock(mutex_);
        return answers_.count(id) != 0;
    };
    hooks_.waitUntil(answered);
    std::lock_guard lock(mutex_);
    DialogAnswer a = std::move(answers_[id]);
    answers_.erase(id);
    --open_;
    return a;
}

MessageAnswer EngineDialogs::MessageBox(std::string_view text, std::string_view title,
                                        MessageButtons buttons, MessageIcon icon) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::Message;
    r.text = text;
    r.title = title;
    r.buttons = buttons;
    r.icon = icon;
    return Ask(std::move(r)).answer;
}

std::string EngineDialogs::InputBox(std::string_view prompt, std::string_view title,
                                    std::string_view defaultText) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::Input;
    r.text = prompt;
    r.title = title;
    r.defaultText = defaultText;
    return Ask(std::move(r)).text;
}

std::string EngineDialogs::SaveFileDialog(std::string_view title, std::string_view filter) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::SaveFile;
    r.title = title;
    r.filter = filter;
    return Ask(std::move(r)).text;
}

void EngineDialogs::Beep() {
    if (hooks_.beep) hooks_.beep();
}

void EngineDialogs::Answer(DialogAnswer a) {
    {
        std::lock_guard lock(mutex_);
        answers_[a.id] = std::move(a);
    }
    if (hooks_.wake) hooks_.wake();
}

int EngineDialogs::Open() const {
    std::lock_guard lock(mutex_);
    return open_;
}

}  // namespace velmora
