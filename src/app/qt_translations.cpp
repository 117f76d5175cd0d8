#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace velmora {

std::unique_ptr<QTranslator> InstallQtTranslations() {
    auto t = std::make_unique<QTranslator>();
    // The window is Japanese whatever the machine's locale is.
    if (!t->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                 QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    QCoreApplication::installTranslator(t.get());
    return t;
}

}  // namespace velmora
