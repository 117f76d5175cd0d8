#include "app/team_view_server.h"

#include <utility>

#include "teamview/event_stream.h"
#include "teamview/request_gate.h"

namespace velmora {

namespace {

constexpr int kTickMs = 1000;
constexpr int kRetryMs = 1000;

}  // namespace

TeamViewServer::TeamViewServer(QByteArray page, QString instance, Limits limits)
    : page_(std::move(page)), limits_(limits), tick_(this) {
    stamp_.instance = std::move(instance);
    clock_.start();
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, &TeamViewServer::Tick);
    connect(this, &TeamViewServer::pushRequested, this, &TeamViewServer::Push,
            Qt::QueuedConnection);
    connect(this, &TeamViewServer::callRequested, this, &TeamViewServer::RunCall,
            Qt::QueuedConnection);
}

void TeamViewServer::RunCall() {
    if (calls_ == nullptr) return;
    std::unique_lock lock(calls_->mutex);
    if (!calls_->call || calls_->done) return;
    const std::function<QString()> call = std::exchange(calls_->call, nullptr);
    lock.unlock();
    QString result = call();
    lock.lock();
    calls_->result = std::move(result);
    calls_->done = true;
    calls_->ended.notify_all();
}

TeamViewServer::~TeamViewServer() = default;

QString TeamViewServer::Listen(quint16 port, const QByteArray& key) {
    Close();
    key_ = key;
    http_ = std::make_unique<HttpEndpoint>(
        [this](const HttpEndpoint::Request& r) { return Answer(r); }, limits_.http);
    connect(http_.get(), &HttpEndpoint::streamOpened, this, &TeamViewServer::Opened);
    connect(http_.get(), &HttpEndpoint::streamWritten, this, &TeamViewServer::Written);
    connect(http_.get(), &HttpEndpoint::streamClosed, this, &TeamViewServer::Closed);
    const QString why = http_->Listen(port);
    if (!why.isEmpty()) {
        http_.reset();
        return why;
    }
    tick_.start();
    return {};
}

void TeamViewServer::Close() {
    tick_.stop();
    http_.reset();
    pages_.clear();
    CountPages();
}

void TeamViewServer::SetKey(const QByteArray& key) {
    key_ = key;
    DropStreams();
}

void TeamViewServer::DropStreams() {
    if (http_) http_->CloseAllStreams();
}

void TeamViewServer::Post(std::shared_ptr<const TeamViewModel> model, bool historyChanged) {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_ = std::move(model);
    postedHistory_ = postedHistory_ || historyChanged;
    if (pushQueued_) return;
    pushQueued_ = true;
    emit pushRequested();
}

void TeamViewServer::Push() {
    std::shared_ptr<const TeamViewModel> m;
    bool history = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        m = std::move(posted_);
        history = postedHistory_;
        postedHistory_ = false;
        pushQueued_ = false;
    }
    if (!m) return;
    ++stamp_.seq;
    if (history || stamp_.seq == 1) ++stamp_.history;
    json_ = TeamViewJson(*m, stamp_, true);
    full_ = QByteArray::fromStdString(SseEvent("state", json_.toStdString()));
    live_ =
        QByteArray::fromStdString(SseEvent("state", TeamViewJson(*m, stamp_, false).toStdString()));
    if (!http_) return;
    const qint64 now = clock_.elapsed();
    for (auto& [id, page] : pages_)
        if (page.queue.Offer(static_cast<std::size_t>(http_->Queued(id)), now)) Send(id, page);
}

void TeamViewServer::Send(quint64 id, Page& page) {
    if (full_.isEmpty()) return;
    http_->Write(id, page.history == stamp_.history ? live_ : full_);
    page.history = stamp_.history;
    page.lastSentMs = clock_.elapsed();
}

HttpEndpoint::Answer TeamViewServer::Answer(const HttpEndpoint::Request& r) {
    const std::string_view key(key_.constData(), static_cast<std::size_t>(key_.size()));
    const std::string_view method(r.method.constData(), static_cast<std::size_t>(r.method.size()));
    const std::string_view target(r.target.constData(), static_cast<std::size_t>(r.target.size()));
    switch (ClassifyTeamRequest(method, target, key)) {
        case TeamRequest::Page:
            return {200, "text/html; charset=utf-8", page_, false};
        case TeamRequest::State:
            return {200, "application/json; charset=utf-8", json_.isEmpty() ? "{}" : json_, false};
        case TeamRequest::Events:
            return {200, "text/event-stream; charset=utf-8",
                    QByteArray::fromStdString(SseRetry(kRetryMs)), true};
        case TeamRequest::NotFound:
            return {404, "text/plain; charset=utf-8", {}, false};
        case TeamRequest::MethodNotAllowed:
            return {405, "text/plain; charset=utf-8", {}, false};
        case TeamRequest::Forbidden:
            break;
    }
    return {403, "text/plain; charset=utf-8", {}, false};
}

void TeamViewServer::Opened(quint64 id) {
    auto [it, added] =
        pages_.try_emplace(id, Page{PageSendQueue(static_cast<std::size_t>(limits_.queueBytes),
                                                  limits_.stallMs, clock_.elapsed())});
    if (added) Send(id, it->second);
    CountPages();
}

void TeamViewServer::Written(quint64 id) {
    auto it = pages_.find(id);
    if (it == pages_.end() || !http_) return;
    if (it->second.queue.Drained(static_cast<std::size_t>(http_->Queued(id)), clock_.elapsed()))
        Send(id, it->second);
}

void TeamViewServer::Closed(quint64 id) {
    pages_.erase(id);
    CountPages();
}

void TeamViewServer::Tick() {
    if (!http_) return;
    const qint64 now = clock_.elapsed();
    const QByteArray ping = QByteArray::fromStdString(SseEvent("ping", std::to_string(stamp_.seq)));
    for (auto& [id, page] : pages_) {
        const auto queued = static_cast<std::size_t>(http_->Queued(id));
        if (page.queue.Stalled(queued, now)) {
            http_->CloseStream(id);
        } else if (queued == 0 && now - page.lastSentMs >= limits_.pingMs) {
            // A page that hears nothing for a while takes its connection for lost.
            http_->Write(id, ping);
            page.lastSentMs = now;
        }
    }
}

void TeamViewServer::CountPages() {
    const int n = static_cast<int>(pages_.size());
    if (pageCount_.exchange(n) != n) emit pagesChanged(n);
}

}  // namespace velmora
