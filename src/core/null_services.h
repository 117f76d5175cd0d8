#pragma once
// Services for a copy of the console that is only read (the journal's writer, the window's
// copy): no timers and no sockets. Dialogs answer No (Ok), "" and cancel without showing.
#include "core/services.h"

namespace velmora {

class NullServices final : public DialogService, public TimerService, public DatagramService {
  public:
    MessageAnswer MessageBox(std::string_view, std::string_view, MessageButtons buttons,
                             MessageIcon) override {
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::string InputBox(std::string_view, std::string_view, std::string_view) override {
        return {};
    }
    std::string SaveFileDialog(std::string_view, std::string_view) override { return {}; }
    void Beep() override {}
    void Start(TimerKey, int, std::function<void()>) override {}
    void Stop(TimerKey) override {}
    bool IsRunning(TimerKey) const override { return false; }
    std::string Bind(SocketId, std::uint16_t, DatagramHandler) override { return "no sockets"; }
    void Close(SocketId) override {}
    bool IsBound(SocketId) const override { return false; }
    void Send(SocketId, std::string_view, std::uint16_t, std::string_view) override {}
    std::string LocalAddress() const override { return {}; }
};

}  // namespace velmora
