#include "fakes/fakes.h"

#include "core/window_state.h"

namespace velmora::test {

MessageAnswer FakeDialogs::MessageBox(std::string_view text, std::string_view title,
                                      MessageButtons buttons, MessageIcon icon) {
    shown.push_back({std::string(text), std::string(title), buttons, icon});
    if (!answers.empty()) {
        MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

std::string FakeDialogs::InputBox(std::string_view prompt, std::string_view title,
                                  std::string_view defaultText) {
    asked.push_back({std::string(prompt), std::string(title), std::string(defaultText)});
    if (inputs.empty()) return {};
    std::string a = inputs.front();
    inputs.pop_front();
    return a;
}

std::string FakeDialogs::SaveFileDialog(std::string_view title, std::string_view filter) {
    lastSaveTitle = title;
    lastSaveFilter = filter;
    if (savePaths.empty()) return {};
    std::string p = savePaths.front();
    savePaths.pop_front();
    return p;
}

std::vector<std::pair<TimerKey, FakeTimers::Entry>>::iterator FakeTimers::Find(TimerKey key) {
    for (auto it = running_.begin(); it != running_.end(); ++it)
        if (it->first == key) return it;
    return running_.end();
}

void FakeTimers::Start(TimerKey key, int intervalMs, std::function<void()> onTick) {
    auto it = Find(key);
    if (it != running_.end())
        it->second = {intervalMs, std::move(onTick)};
    else
        running_.push_back({key, {intervalMs, std::move(onTick)}});
}

void FakeTimers::Stop(TimerKey key) {
    auto it = Find(key);
    if (it != running_.end()) running_.erase(it);
}

bool FakeTimers::IsRunning(TimerKey key) const {
    for (const auto& e : running_)
        if (e.first == key) return true;
    return false;
}

int FakeTimers::Interval(TimerKey key) const {
    for (const auto& e : running_)
        if (e.first == key) return e.second.intervalMs;
    return 0;
}

bool FakeTimers::Fire(TimerKey key) {
    auto it = Find(key);
    if (it == running_.end()) return false;
    auto handler = it->second.onTick;  // the handler may stop or restart its own timer
    handler();
    return true;
}

std::string FakeNet::Bind(SocketId id, std::uint16_t localPort, DatagramHandler onDatagram) {
    if (auto f = failBind.find(localPort); f != failBind.end()) return f->second;
    boundPorts[id] = localPort;
    handlers_[id] = std::move(onDatagram);
    return {};
}

void FakeNet::Close(SocketId id) {
    boundPorts.erase(id);
    handlers_.erase(id);
}

void FakeNet::Send(SocketId id, std::string_view host, std::uint16_t port, std::string_view bytes) {
    sent.push_back({id, std::string(host), port, std::string(bytes)});
    if (onSend) onSend(sent.back());
}

bool FakeNet::Deliver(SocketId id, std::string_view bytes) {
    return DeliverAt(id, bytes, clock ? clock->NowNs() : 0);
}

bool FakeNet::DeliverAt(SocketId id, std::string_view bytes, std::int64_t arrivalNs) {
    auto it = handlers_.find(id);
    if (it == handlers_.end()) return false;
    auto handler = it->second;  // the handler may close and rebind its own socket
    handler(Datagram{bytes, arrivalNs});
    return true;
}

void FakeNet::SendAfter(SocketId id, std::string_view host, std::uint16_t port,
                        std::string_view bytes, JournalTicket ticket) {
    tickets.push_back(ticket);
    Send(id, host, port, bytes);
}

FakeConsole::FakeConsole() {
    net.clock = &mono;
    console.DeriveClock();
    ApplyDesignState(console);
    MainWindowStartupState(console);
}

}  // namespace velmora::test
