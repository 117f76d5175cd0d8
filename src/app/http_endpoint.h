#pragma once
// The team view's HTTP server: the one place that knows Qt HttpServer, a technical preview in
// Qt 6.4 whose interface changed in 6.5 (the request handler takes a responder there, not a
// socket). Moving to another version or library changes this file only.
//
// Requests go to a handler as method and target; its answer is written as a whole, or starts
// a stream the owner then writes to (server-sent events). Connections are bounded in number
// (the one over the limit gets 503 and is closed), in the bytes a request may hold (the
// server stops reading beyond them), and in time (a whole request within the request time,
// streams excepted). Lives on the thread it was made on; make it there.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "teamview/connection_table.h"

class QTcpSocket;

namespace velmora {

class HttpEndpoint : public QObject {
    Q_OBJECT
  public:
    struct Request {
        QByteArray method;  // "GET", "POST", … ("" when unknown)
        QByteArray target;  // "/api/state?k=…"
    };
    struct Answer {
        int status = 200;
        QByteArray contentType;
        QByteArray body;
        // A stream: the status and headers go out, `body` follows as its first bytes, and the
        // connection stays open for Write (streamOpened tells its id).
        bool stream = false;
    };
    using Handler = std::function<Answer(const Request&)>;

    struct Limits {
        std::size_t connections = 200;
        qint64 requestBytes = 64 * 1024;  // what the server reads of one request at most
        qint64 requestMs = 10'000;
    };

    HttpEndpoint(Handler handler, Limits limits, QObject* parent = nullptr);
    ~HttpEndpoint() override;

    // Listens on every address of the machine; empty when it listens, otherwise why not.
    QString Listen(quint16 port);
    // Stops listening and closes every connection.
    void Close();
    bool listening() const;

    // Streams: bytes waiting to be sent, writing, closing. Unknown ids are ignored.
    qint64 Queued(quint64 stream) const;
    void Write(quint64 stream, const QByteArray& bytes);
    void CloseStream(quint64 stream);
    void CloseAllStreams();
    std::size_t connections() const { return table_.Open(); }

  signals:
    void streamOpened(quint64 id);
    void streamClosed(quint64 id);
    // Bytes of the stream went out (it may have room for more).
    void streamWritten(quint64 id);

  private:
    class Server;
    class Listener;
    friend class Server;
    friend class Listener;

    // Called by the server and listener classes.
    bool Admit(QTcpSocket* socket);
    Answer Handle(const Request& request, QTcpSocket* socket);
    void StartStream(QTcpSocket* socket);
    void Forget(QTcpSocket* socket);
    void Sweep();

    Handler handler_;
    Limits limits_;
    ConnectionTable table_;
    std::unique_ptr<Server> server_;
    std::map<quint64, QTcpSocket*> sockets_;
    std::map<QTcpSocket*, quint64> ids_;
    std::map<quint64, QTcpSocket*> streams_;
    quint64 nextId_ = 1;
    QElapsedTimer clock_;
    QTimer sweep_;
};

}  // namespace velmora
