#include "app/team_view.h"

#include <QFile>
#include <utility>

#include "app/team_view_server.h"
#include "teamview/view_key.h"

// Resources of a static library are registered by hand, outside any namespace.
static QByteArray LoadTeamViewPage() {
    Q_INIT_RESOURCE(team_view);
    QFile f(QStringLiteral(":/teamview/index.html"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace velmora {

TeamView::TeamView(std::string settingsPath, std::function<std::string()> localAddress,
                   std::function<void()> again)
    : settingsPath_(std::move(settingsPath)),
      localAddress_(std::move(localAddress)),
      again_(std::move(again)),
      settings_(LoadTeamViewSettings(settingsPath_)) {
    thread_.setObjectName("TeamView");
    server_ =
        new TeamViewServer(LoadTeamViewPage(), QString::fromStdString(NewViewKey().substr(0, 12)),
                           TeamViewServer::Limits{});
    server_->AcceptCalls(&calls_);
    server_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, server_, &QObject::deleteLater);
    connect(server_, &TeamViewServer::pagesChanged, this, &TeamView::changed);
    thread_.start();
    againTimer_.setSingleShot(true);
    connect(&againTimer_, &QTimer::timeout, this, [this] {
        if (again_) again_();
    });
}

TeamView::~TeamView() {
    Call([this] {
        server_->Close();
        return QString();
    });
    thread_.quit();
    thread_.wait();
}

QString TeamView::Call(std::function<QString()> onServerThread) {
    std::unique_lock lock(calls_.mutex);
    calls_.call = std::move(onServerThread);
    calls_.done = false;
    // Raised under the lock, which the server's thread takes next: whatever this thread read
    // of the server while raising it comes before anything that thread does after the call
    // (the server is deleted there when the thread ends).
    emit server_->callRequested();
    calls_.ended.wait(lock, [this] { return calls_.done; });
    return std::exchange(calls_.result, QString());
}

QString TeamView::StartFromSettings() { return settings_.on ? TurnOn() : QString(); }

QString TeamView::TurnOn() {
    if (settings_.key.empty()) settings_.key = NewViewKey();
    const QByteArray key = QByteArray::fromStdString(settings_.key);
    const quint16 port = settings_.port;
    const QString why = Call([this, port, key] { return server_->Listen(port, key); });
    if (!why.isEmpty()) {
        on_ = false;
        emit changed();
        return QStringLiteral(
                   "ポート%1を使用できないため、チームビューを公開できません (%2)。"
                   "他のプログラムが使用中の可能性があります。計測はそのまま続けられます。")
            .arg(port)
            .arg(why);
    }
    on_ = true;
    settings_.on = true;
    // A failed write is not reported: the view is on, and is off again after a restart.
    SaveTeamViewSettings(settingsPath_, settings_);
    fingerprint_.clear();
    last_.reset();
    emit changed();
    if (again_) again_();
    return {};
}

void TeamView::TurnOff() {
    Call([this] {
        server_->Close();
        return QString();
    });
    againTimer_.stop();
    const bool was = settings_.on;
    on_ = false;
    settings_.on = false;
    if (was) SaveTeamViewSettings(settingsPath_, settings_);
    emit changed();
}

void TeamView::RenewKey() {
    settings_.key = NewViewKey();
    SaveTeamViewSettings(settingsPath_, settings_);
    const QByteArray key = QByteArray::fromStdString(settings_.key);
    Call([this, key] {
        server_->SetKey(key);
        return QString();
    });
    emit changed();
}

void TeamView::DropConnections() {
    Call([this] {
        server_->DropStreams();
        return QString();
    });
}

void TeamView::Publish(const ConsoleState& st, const ClockParams& clock) {
    if (!on_) return;
    std::string fp = TeamViewFingerprint(st, clock);
    if (fp == fingerprint_) return;
    if (sincePublish_.isValid() && sincePublish_.elapsed() < kMinPublishMs) {
        if (!againTimer_.isActive())
            againTimer_.start(static_cast<int>(kMinPublishMs - sincePublish_.elapsed()));
        return;
    }
    fingerprint_ = std::move(fp);
    sincePublish_.restart();
    auto m = std::make_shared<const TeamViewModel>(builder_.Build(st, clock));
    const bool history = !last_ || !SameHistory(*last_, *m);
    last_ = m;
    server_->Post(std::move(m), history);
}

QString TeamView::address() const {
    const std::string host = localAddress_ ? localAddress_() : "127.0.0.1";
    return QStringLiteral("http://%1:%2/?k=%3")
        .arg(QString::fromStdString(host))
        .arg(settings_.port)
        .arg(key());
}

int TeamView::pages() const { return server_->pages(); }

}  // namespace velmora
