#include "app/ui_font.h"

#include <QApplication>
#include <QStringList>

namespace velmora {

namespace {
const QString kDesignFamily = QStringLiteral("ＭＳ Ｐゴシック");
}

void InstallUiFont() {
    // IPAPGothic keeps the design's metrics; Noto covers every glyph where it is missing.
    QFont::insertSubstitutions(kDesignFamily,
                               {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    QApplication::setFont(UiFont());
}

QFont UiFont() {
    QFont f(kDesignFamily);
    f.setPointSize(9);
    return f;
}

}  // namespace velmora
