#pragma once
// Qt's own Japanese texts (はい/いいえ/OK/キャンセル, the save dialog's captions) from the
// translations Debian installs with qt6-translations-l10n.
#include <QTranslator>
#include <memory>

namespace velmora {

// Loads qtbase_ja from Qt's translations folder and installs it in the application; the
// translation stays installed while the returned object lives. Null when it is not there
// (then Qt's English texts show).
std::unique_ptr<QTranslator> InstallQtTranslations();

}  // namespace velmora
