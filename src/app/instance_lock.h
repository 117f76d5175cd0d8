#pragma once
// One console per program folder. The first thing a start does is take a lock file beside the
// executable ("VelmoraHost.lock", QLockFile): a second start from the same folder (the icon
// double-clicked again while the window is behind another) finds it held, asks the running
// console to bring its window to the front, says "すでに起動しています。" and ends having
// touched no file. A lock left by a console that was killed, crashed or lost its power is
// taken over, so a restart is never refused.
#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

#include "core/services.h"

class QLocalServer;
class QWidget;

namespace velmora {

class InstanceLock {
  public:
    static constexpr const char* kFileName = "VelmoraHost.lock";

    explicit InstanceLock(const QString& folder);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Claim {
        Taken,        // this console owns the folder
        Held,         // a running console does
        Unavailable,  // no lock can be made there (a folder that cannot be written): the start
                      // goes on, as nothing can be written there either
    };
    Claim Take();

    // While the lock is held: `raise` runs when another start from this folder asks for it.
    void ListenForRaise(std::function<void()> raise);
    // Asks the console holding the lock to show its window; false if it could not be reached.
    bool AskHolderToRaise() const;

  private:
    QLockFile lock_;
    QString channel_;  // the local socket's name, from the folder's path
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> raise_;
};

// A start's first step: true when this console may go on. Otherwise another console runs from
// the folder: it was asked to come to the front, the crew was told "すでに起動しています。"
// through `dialogs`, and the start must end now.
bool ClaimFolder(InstanceLock& lock, DialogService& dialogs);

// Brings a window to the front (out of the task bar if it was minimised), as far as the
// window system lets a program do that.
void BringToFront(QWidget* window);

}  // namespace velmora
