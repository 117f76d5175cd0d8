#include "app/qt_datagrams.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QNetworkInterface>

namespace velmora {

QtDatagrams::~QtDatagrams() {
    // Handlers reference the console; no datagram may arrive while the members go.
    for (auto& [id, s] : sockets_)
        if (s.socket) s.socket->disconnect();
}

std::string QtDatagrams::Bind(SocketId id, std::uint16_t localPort,
                              std::function<void(std::string_view bytes)> onDatagram) {
    Close(id);
    auto socket = std::make_unique<QUdpSocket>();
    // Exclusive bind: a second console (or any program) on the same port must fail here
    // instead of silently sharing the car's datagrams.
    if (!socket->bind(QHostAddress::AnyIPv4, localPort, QAbstractSocket::DontShareAddress)) {
        const std::string reason = socket->errorString().toStdString();
        return reason.empty() ? "bind failed" : reason;
    }
    Socket& s = sockets_[id];
    s.onDatagram = std::move(onDatagram);
    s.socket = std::move(socket);
    QObject::connect(s.socket.get(), &QUdpSocket::readyRead, [this, id] { ReadAll(id); });
    return "";
}

void QtDatagrams::ReadAll(SocketId id) {
    while (true) {
        auto it = sockets_.find(id);
        // The handler may close (or re-bind) this socket; stop reading then.
        if (it == sockets_.end() || !it->second.socket || !it->second.socket->hasPendingDatagrams())
            return;
        const QNetworkDatagram dg = it->second.socket->receiveDatagram();
        if (!dg.isValid()) return;
        const QByteArray data = dg.data();
        auto handler = it->second.onDatagram;
        if (handler) handler(std::string_view(data.constData(), static_cast<size_t>(data.size())));
        if (afterEvent_) afterEvent_();
    }
}

void QtDatagrams::Close(SocketId id) {
    auto it = sockets_.find(id);
    if (it == sockets_.end()) return;
    if (it->second.socket) {
        it->second.socket->disconnect();
        it->second.socket->close();
        // Closed from inside its own readyRead handler: delete once control is back in Qt.
        it->second.socket.release()->deleteLater();
    }
    sockets_.erase(it);
}

bool QtDatagrams::IsBound(SocketId id) const {
    auto it = sockets_.find(id);
    return it != sockets_.end() && it->second.socket &&
           it->second.socket->state() == QAbstractSocket::BoundState;
}

QHostAddress QtDatagrams::Resolve(const std::string& host) {
    QHostAddress numeric;
    if (numeric.setAddress(QString::fromStdString(host))) return numeric;

    auto it = names_.find(host);
    if (it != names_.end())
        return it->second.state == Lookup::Resolved ? it->second.address : QHostAddress();
    names_[host] = NameEntry{};
    QHostInfo::lookupHost(QString::fromStdString(host), &lookupContext_,
                          [this, host](const QHostInfo& info) {
                              NameEntry& e = names_[host];
                              e.state = Lookup::Failed;
                              for (const QHostAddress& a : info.addresses()) {
                                  if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                                      e.address = a;
                                      e.state = Lookup::Resolved;
                                      break;
                                  }
                              }
                              // A failed name is tried again on a later send.
                              if (e.state == Lookup::Failed) names_.erase(host);
                          });
    return QHostAddress();
}

void QtDatagrams::Send(SocketId id, std::string_view host, std::uint16_t port,
                       std::string_view bytes) {
    auto it = sockets_.find(id);
    if (it == sockets_.end() || !it->second.socket) return;
    const std::string name(host);
    if (name.empty()) {
        ++dropped_;
        return;
    }
    const QHostAddress address = Resolve(name);
    if (address.isNull()) {
        ++dropped_;
        return;
    }
    it->second.socket->writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), address,
                                     port);
}

std::string QtDatagrams::LocalAddress() const {
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString().toStdString();
    }
    return "127.0.0.1";
}

}  // namespace velmora
