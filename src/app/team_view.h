#pragma once
// The team view as the window sees it: on or off, its address and key, the pages connected,
// and the feed. The server runs on a thread of its own (TeamViewServer); this side only builds
// the model when the state changed, at most every kMinPublishMs, and hands it over.
//
// Publish takes the state and clock as values read now and keeps nothing pointing into them,
// so it can be fed from the live console or from a copy of its state alike.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/team_view_server.h"
#include "teamview/team_view_model.h"
#include "teamview/team_view_settings.h"

namespace velmora {

class TeamView : public QObject {
    Q_OBJECT
  public:
    static constexpr int kMinPublishMs = 250;

    // `settingsPath`: Velmora.ini. `localAddress`: this PC's address for the page's address.
    // `again`: called when a change held back by the publishing gap is due; it should call
    // Publish with the state as it is then.
    TeamView(std::string settingsPath, std::function<std::string()> localAddress,
             std::function<void()> again);
    ~TeamView() override;

    // At start-up: on again if it was on. Empty, or why it could not be turned on.
    QString StartFromSettings();
    // Turns the view on (a key is made the first time) and writes the settings; empty, or the
    // message naming the port that could not be opened (the view then stays off).
    QString TurnOn();
    void TurnOff();
    // A new key; every page opened with the old one is closed.
    void RenewKey();
    // Closes every page's stream; the pages connect again by themselves.
    void DropConnections();

    void Publish(const ConsoleState& st, const ClockParams& clock);

    bool isOn() const { return on_; }
    quint16 port() const { return settings_.port; }
    QString key() const { return QString::fromStdString(settings_.key); }
    // http://<this PC's address>:<port>/?k=<key>
    QString address() const;
    int pages() const;

  signals:
    // On or off, the key or the number of pages changed.
    void changed();

  private:
    // Runs `onServerThread` on the server's thread and waits for it. The closure is handed over
    // whole (captures by value): the server's thread reads nothing on this thread's stack.
    QString Call(std::function<QString()> onServerThread);

    std::string settingsPath_;
    std::function<std::string()> localAddress_;
    std::function<void()> again_;
    TeamViewSettings settings_;
    bool on_ = false;
    TeamViewServer::CallChannel calls_;  // outlives thread_
    QThread thread_;
    TeamViewServer* server_ = nullptr;  // lives on thread_, deleted there when it ends

    TeamViewBuilder builder_;
    std::string fingerprint_;
    std::shared_ptr<const TeamViewModel> last_;
    QElapsedTimer sincePublish_;
    QTimer againTimer_;
};

}  // namespace velmora
