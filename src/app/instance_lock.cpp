#include "app/instance_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include "app/ui_font.h"

namespace velmora {

namespace {

constexpr int kConnectMs = 500;

// A name in Linux's abstract socket space: nothing on the disk, gone with the process.
QString ChannelName(const QString& folder) {
    const QString path = QDir(folder).canonicalPath();
    return "VelmoraHost-" +
           QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
}

}  // namespace

InstanceLock::InstanceLock(const QString& folder)
    : lock_(QDir(folder).filePath(kFileName)), channel_(ChannelName(folder)) {
    // A running console's lock never goes stale with age, however long the race: only a dead
    // owner makes it stale.
    lock_.setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

InstanceLock::Claim InstanceLock::Take() {
    // QLockFile takes over a lock whose owner's process is gone, or that an earlier boot left.
    if (lock_.tryLock(0)) return Claim::Taken;
    if (lock_.error() != QLockFile::LockFailedError) return Claim::Unavailable;
    // A live process of this program's name has the owner's PID; after a crash that PID can
    // have gone to another console meanwhile. The owner holds a kernel lock on the file while
    // it lives, and only a file nobody holds that way can be removed: then the lock is taken
    // over. The lock info is read first, so a lock just being made (not yet held) is left
    // alone.
    qint64 pid = 0;
    QString host, app;
    if (lock_.getLockInfo(&pid, &host, &app) && lock_.removeStaleLockFile() && lock_.tryLock(0))
        return Claim::Taken;
    return Claim::Held;
}

void InstanceLock::ListenForRaise(std::function<void()> raise) {
    raise_ = std::move(raise);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    // Without the channel the console runs as well; only the window is not raised.
    if (!server_->listen(channel_)) return;
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        // A connection is the whole request.
        while (QLocalSocket* s = server_->nextPendingConnection()) s->deleteLater();
        if (raise_) raise_();
    });
}

bool InstanceLock::AskHolderToRaise() const {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(channel_);
    if (!socket.waitForConnected(kConnectMs)) return false;
    socket.disconnectFromServer();
    return true;
}

bool ClaimFolder(InstanceLock& lock, DialogService& dialogs) {
    if (lock.Take() != InstanceLock::Claim::Held) return true;
    lock.AskHolderToRaise();
    InstallUiFont();
    dialogs.MessageBox("すでに起動しています。", "VelmoraHost", MessageButtons::Ok,
                       MessageIcon::Information);
    return false;
}

void BringToFront(QWidget* window) {
    if (!window) return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace velmora
