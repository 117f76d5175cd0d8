#include "app/http_endpoint.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace velmora {

namespace {

constexpr int kSweepMs = 1000;
constexpr int kListenBacklog = 256;
constexpr char kRefusal[] =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
// The page needs nothing from anywhere but this server: no outside script, style, font or
// image can load, and the key in the address never leaves in a Referer.
constexpr char kPolicy[] =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
    "connect-src 'self'; img-src data:; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

QByteArray MethodName(QHttpServerRequest::Method m) {
    using M = QHttpServerRequest::Method;
    switch (m) {
        case M::Get:
            return "GET";
        case M::Head:
            return "HEAD";
        case M::Post:
            return "POST";
        case M::Put:
            return "PUT";
        case M::Delete:
            return "DELETE";
        case M::Options:
            return "OPTIONS";
        case M::Patch:
            return "PATCH";
        case M::Connect:
            return "CONNECT";
        case M::Trace:
            return "TRACE";
        default:
            return "";
    }
}

}  // namespace

// Accepts connections only while the table has room; the one over the limit is told 503
// and closed before the HTTP server ever sees it.
class HttpEndpoint::Listener : public QTcpServer {
  public:
    explicit Listener(HttpEndpoint& owner) : owner_(owner) {}

  protected:
    void incomingConnection(qintptr fd) override {
        auto* s = new QTcpSocket(this);
        if (!s->setSocketDescriptor(fd)) {
            delete s;
            return;
        }
        if (!owner_.Admit(s)) {
            s->write(kRefusal);
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            s->disconnectFromHost();
            return;
        }
        addPendingConnection(s);
    }

  private:
    HttpEndpoint& owner_;
};

class HttpEndpoint::Server : public QAbstractHttpServer {
  public:
    explicit Server(HttpEndpoint& owner) : owner_(owner) {}

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        const QUrl url = request.url();
        QByteArray target = url.path(QUrl::FullyEncoded).toUtf8();
        if (url.hasQuery()) target += '?' + url.query(QUrl::FullyEncoded).toUtf8();
        const Answer a = owner_.Handle(Request{MethodName(request.method()), target}, socket);
        QHttpServerResponder r = makeResponder(request, socket);
        const auto status = static_cast<QHttpServerResponder::StatusCode>(a.status);
        if (a.stream) {
            r.writeStatusLine(status);
            r.writeHeaders({{"Content-Type", a.contentType},
                            {"Cache-Control", "no-store"},
                            {"Connection", "close"},
                            {"X-Content-Type-Options", "nosniff"}});
            r.writeBody(a.body);
            owner_.StartStream(socket);
            return true;
        }
        r.write(a.body,
                {{"Content-Type", a.contentType},
                 {"Cache-Control", "no-store"},
                 {"X-Content-Type-Options", "nosniff"},
                 {"Referrer-Policy", "no-referrer"},
                 {"Content-Security-Policy", kPolicy}},
                status);
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

  private:
    HttpEndpoint& owner_;
};

HttpEndpoint::HttpEndpoint(Handler handler, Limits limits, QObject* parent)
    : QObject(parent),
      handler_(std::move(handler)),
      limits_(limits),
      table_(limits.connections, limits.requestMs),
      sweep_(this) {
    clock_.start();
    sweep_.setInterval(kSweepMs);
    connect(&sweep_, &QTimer::timeout, this, &HttpEndpoint::Sweep);
}

HttpEndpoint::~HttpEndpoint() { Close(); }

QString HttpEndpoint::Listen(quint16 port) {
    Close();
    server_ = std::make_unique<Server>(*this);
    auto* listener = new Listener(*this);
    listener->setListenBacklogSize(kListenBacklog);
    if (!listener->listen(QHostAddress::Any, port)) {
        const QString why = listener->errorString();
        delete listener;
        server_.reset();
        return why.isEmpty() ? QStringLiteral("listen failed") : why;
    }
    server_->bind(listener);
    sweep_.start();
    return {};
}

void HttpEndpoint::Close() {
    sweep_.stop();
    // The listener and every socket are the server's children: they go with it, and each
    // socket's destruction takes it out of the table.
    server_.reset();
}

bool HttpEndpoint::listening() const { return server_ != nullptr; }

bool HttpEndpoint::Admit(QTcpSocket* s) {
    const quint64 id = nextId_++;
    if (!table_.Admit(id, clock_.elapsed())) return false;
    sockets_[id] = s;
    ids_[s] = id;
    // Whatever arrives beyond this stays in the kernel until the request time runs out.
    s->setReadBufferSize(limits_.requestBytes);
    connect(s, &QObject::destroyed, this, [this, s] { Forget(s); });
    connect(s, &QTcpSocket::bytesWritten, this, [this, id] {
        if (streams_.count(id) != 0) emit streamWritten(id);
    });
    return true;
}

HttpEndpoint::Answer HttpEndpoint::Handle(const Request& request, QTcpSocket* socket) {
    auto it = ids_.find(socket);
    if (it != ids_.end()) table_.Answered(it->second, clock_.elapsed());
    return handler_(request);
}

void HttpEndpoint::StartStream(QTcpSocket* socket) {
    auto it = ids_.find(socket);
    if (it == ids_.end()) return;
    table_.Streaming(it->second);
    streams_[it->second] = socket;
    emit streamOpened(it->second);
}

void HttpEndpoint::Forget(QTcpSocket* socket) {
    auto it = ids_.find(socket);
    if (it == ids_.end()) return;
    const quint64 id = it->second;
    ids_.erase(it);
    sockets_.erase(id);
    table_.Closed(id);
    if (streams_.erase(id) != 0) emit streamClosed(id);
}

void HttpEndpoint::Sweep() {
    for (quint64 id : table_.Overdue(clock_.elapsed())) {
        auto it = sockets_.find(id);
        if (it == sockets_.end()) continue;
        it->second->abort();
        it->second->deleteLater();
    }
}

qint64 HttpEndpoint::Queued(quint64 stream) const {
    auto it = streams_.find(stream);
    return it == streams_.end() ? 0 : it->second->bytesToWrite();
}

void HttpEndpoint::Write(quint64 stream, const QByteArray& bytes) {
    auto it = streams_.find(stream);
    if (it != streams_.end()) it->second->write(bytes);
}

void HttpEndpoint::CloseStream(quint64 stream) {
    auto it = streams_.find(stream);
    if (it == streams_.end()) return;
    it->second->abort();
    it->second->deleteLater();
}

void HttpEndpoint::CloseAllStreams() {
    for (const auto& [id, socket] : streams_) {
        socket->abort();
        socket->deleteLater();
    }
}

}  // namespace velmora
