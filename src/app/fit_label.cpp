#include "app/fit_label.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace velmora {

namespace {

double Advance(const QFont& f, const QString& text) {
    return QFontMetricsF(f).horizontalAdvance(text);
}

QFont Sized(QFont f, double factor) {
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * factor);
    else if (f.pixelSize() > 0)
        f.setPixelSize(std::max(1, static_cast<int>(f.pixelSize() * factor)));
    return f;
}

}  // namespace

QFont FitLabel::FittedFont() const {
    const QFont own = font();
    const double room = contentsRect().width() - 2.0 * std::max(0, margin());
    const double wide = Advance(own, text());
    if (wide <= room || wide <= 0) return own;
    // Glyph widths do not scale exactly with the size: step down from the estimate until it fits.
    double factor = std::max(kMinShrink, room / wide);
    QFont f = Sized(own, factor);
    while (Advance(f, text()) > room && factor > kMinShrink) {
        factor = std::max(kMinShrink, factor - 0.02);
        f = Sized(own, factor);
    }
    return f;
}

void FitLabel::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);  // the frame; the background is the palette's, filled by Qt
    QPainter p(this);
    const QFont f = FittedFont();
    p.setFont(f);
    p.setPen(palette().color(foregroundRole()));
    const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = QFontMetrics(f).elidedText(text(), Qt::ElideRight, r.width());
    style()->drawItemText(&p, r, static_cast<int>(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

}  // namespace velmora
