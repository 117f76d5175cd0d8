#include <QApplication>

#include "app/console_app.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/splash_window.h"

int main(int argc, char* argv[]) {
    // No application display name is set: Qt would append it to every window and dialog
    // title.
    QApplication app(argc, argv);
    // The master files and the settings file live beside the executable. One console per
    // folder: the lock comes before anything there is read or written.
    const QString folder = QCoreApplication::applicationDirPath();
    velmora::InstanceLock lock(folder);
    velmora::QtDialogs dialogs;
    if (!velmora::ClaimFolder(lock, dialogs)) return 0;
    velmora::ConsoleApp console(folder);
    lock.ListenForRaise([&console] {
        velmora::BringToFront(console.mainWindow() ? static_cast<QWidget*>(console.mainWindow())
                                                   : console.splash());
    });
    console.start();
    return QApplication::exec();
}
