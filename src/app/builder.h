#pragma once
// Small helpers that put a widget at its twips rectangle under its control name. The
// rectangle is kept on the widget as its design geometry, which the window scaler multiplies
// by the current scale: everything placed through these helpers scales without more code.
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

// The dynamic property that holds a widget's design rectangle in twips (a QRect).
inline constexpr const char* kDesignRectProperty = "velmoraDesignTwips";

// Puts `w` at `r` (design size) and records `r` as its design geometry.
inline void PlaceAt(QWidget* w, const TwipRect& r) {
    w->setProperty(kDesignRectProperty, QRect(r.x, r.y, r.w, r.h));
    w->setGeometry(r.px());
}

template <class W>
W* Make(QWidget* parent, const QString& objectName, const TwipRect& r) {
    auto* w = new W(parent);
    w->setObjectName(objectName);
    PlaceAt(w, r);
    return w;
}

// A design caption: a plain label on the frame's background.
inline QLabel* MakeStaticText(QWidget* parent, std::string_view text, const TwipRect& r,
                              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = new QLabel(NameText(text), parent);
    PlaceAt(l, r);
    l->setAlignment(align);
    return l;
}

}  // namespace velmora
