#include <QApplication>

#include "app/console_app.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("VelmoraHost"));
    // The master files and the settings file live beside the executable.
    velmora::ConsoleApp console(QCoreApplication::applicationDirPath());
    console.start();
    return QApplication::exec();
}
