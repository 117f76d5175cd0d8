#pragma once
// The console's UDP sockets with QUdpSocket: one per SocketId, bound exclusively on all IPv4
// interfaces. Host names are resolved asynchronously and cached; until a name resolves, or if
// it never does, datagrams to it are dropped rather than sent somewhere else.
#include <QHostAddress>
#include <QUdpSocket>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/services.h"

namespace velmora {

class QtDatagrams : public DatagramService {
  public:
    // `afterEvent` runs after every received datagram's handler (render scheduling).
    explicit QtDatagrams(std::function<void()> afterEvent) : afterEvent_(std::move(afterEvent)) {}
    ~QtDatagrams() override;

    std::string Bind(SocketId id, std::uint16_t localPort,
                     std::function<void(std::string_view bytes)> onDatagram) override;
    void Close(SocketId id) override;
    bool IsBound(SocketId id) const override;
    void Send(SocketId id, std::string_view host, std::uint16_t port,
              std::string_view bytes) override;
    std::string LocalAddress() const override;

    // Datagrams dropped because their host name was unresolved or unresolvable.
    int dropped() const { return dropped_; }

  private:
    struct Socket {
        std::unique_ptr<QUdpSocket> socket;
        std::function<void(std::string_view)> onDatagram;
    };
    enum class Lookup { Pending, Resolved, Failed };
    struct NameEntry {
        Lookup state = Lookup::Pending;
        QHostAddress address;
    };

    // Address for `host`, or a null address (lookup started or failed).
    QHostAddress Resolve(const std::string& host);
    void ReadAll(SocketId id);

    // Context of the pending name lookups: their callbacks die with this service.
    QObject lookupContext_;
    std::function<void()> afterEvent_;
    std::map<SocketId, Socket> sockets_;
    std::map<std::string, NameEntry> names_;
    int dropped_ = 0;
};

}  // namespace velmora
