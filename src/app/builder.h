#pragma once
// Small helpers that put a widget at its twips rectangle under its control name.
#include <QLabel>
#include <QString>
#include <span>
#include <string>
#include <string_view>

#include "app/layout.h"

namespace velmora {

inline QString NameText(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The rectangle of control `name` in `table`; an empty one if it is not listed.
inline TwipRect RectOf(std::span<const layout::Place> table, std::string_view name) {
    for (const layout::Place& p : table)
        if (p.name == name) return p.rect;
    return {0, 0, 0, 0};
}

template <class W>
W* Make(QWidget* parent, const QString& objectName, const TwipRect& r) {
    auto* w = new W(parent);
    w->setObjectName(objectName);
    w->setGeometry(r.px());
    return w;
}

// A design caption: a plain label on the frame's background.
inline QLabel* MakeStaticText(QWidget* parent, std::string_view text, const TwipRect& r) {
    auto* l = new QLabel(NameText(text), parent);
    l->setGeometry(r.px());
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

}  // namespace velmora
