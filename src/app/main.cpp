#include <QApplication>

#include "app/console_app.h"

int main(int argc, char* argv[]) {
    // No application display name is set: Qt would append it to every window and dialog
    // title.
    QApplication app(argc, argv);
    // The master files and the settings file live beside the executable.
    velmora::ConsoleApp console(QCoreApplication::applicationDirPath());
    console.start();
    return QApplication::exec();
}
