#pragma once
// The team view's server side, on a thread of its own so a burst of page loads, a page that
// never reads or garbage on the port never holds up the window or the cars: it answers the
// page, the JSON feed and the stream of updates (server-sent events), each only with the key,
// and pushes every new state to every open page within its send-queue bound.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "app/http_endpoint.h"
#include "app/team_view_json.h"
#include "teamview/page_send_queue.h"

namespace velmora {

class TeamViewServer : public QObject {
    Q_OBJECT
  public:
    struct Limits {
        HttpEndpoint::Limits http{};
        qint64 queueBytes = 256 * 1024;  // waiting for one page before it only gets the latest
        qint64 stallMs = 30'000;         // a page that takes nothing that long is closed
        int pingMs = 2000;               // the longest a page waits without hearing anything
    };

    TeamViewServer(QByteArray page, QString instance, Limits limits);
    ~TeamViewServer() override;

    // A call made from another thread and run on the server's thread. The channel belongs to
    // the caller and outlives the server's thread; the call and its result cross under its
    // lock and the wake-up is a signal of the server's own, as Post's: Qt's blocking queued
    // call handed them over under a lock a thread checker cannot see.
    struct CallChannel {
        std::mutex mutex;
        std::condition_variable ended;
        std::function<QString()> call;  // empty once taken
        QString result;
        bool done = false;
    };
    // Before the server's thread starts.
    void AcceptCalls(CallChannel* channel) { calls_ = channel; }

    // On the server's thread (TeamView calls them through its CallChannel).
    QString Listen(quint16 port, const QByteArray& key);
    void Close();
    // A new key: every page opened with the old one is closed.
    void SetKey(const QByteArray& key);
    void DropStreams();

    // From any thread: the newest state. Only the latest one counts; pages get it from the
    // server's thread soon after.
    void Post(std::shared_ptr<const TeamViewModel> model, bool historyChanged);

    int pages() const { return pageCount_.load(std::memory_order_relaxed); }

  signals:
    void pagesChanged(int pages);
    // Post's wake-up for the server's thread (connected before that thread starts, so the
    // hand-over is one a thread checker sees; see ConsoleApp::carry).
    void pushRequested();
    // A call waits in the CallChannel (connected the same way).
    void callRequested();

  private:
    struct Page {
        PageSendQueue queue;
        quint64 history = ~0ull;  // the history counter of the last state sent, none yet
        qint64 lastSentMs = 0;
    };

    HttpEndpoint::Answer Answer(const HttpEndpoint::Request& request);
    void Push();
    void RunCall();
    void Send(quint64 id, Page& page);
    void Opened(quint64 id);
    void Written(quint64 id);
    void Closed(quint64 id);
    void Tick();
    void CountPages();

    QByteArray page_;
    Limits limits_;
    std::unique_ptr<HttpEndpoint> http_;
    QByteArray key_;
    TeamViewStamp stamp_;
    QByteArray json_, full_, live_;  // the latest state: feed, and events with and without history
    std::map<quint64, Page> pages_;
    QTimer tick_;
    QElapsedTimer clock_;
    std::atomic<int> pageCount_{0};

    std::mutex mutex_;  // guards the three below, shared with Post
    std::shared_ptr<const TeamViewModel> posted_;
    bool postedHistory_ = false;
    bool pushQueued_ = false;

    CallChannel* calls_ = nullptr;
};

}  // namespace velmora
