#include "app/window_scaler.h"

#include <QHeaderView>
#include <QTableView>
#include <cmath>

#include "app/builder.h"
#include "app/twips.h"

namespace velmora {

namespace {

QRect ScaledRect(const QRect& twips, double scale) {
    const int left = WindowScaler::ScaledPx(twips.x(), scale);
    const int top = WindowScaler::ScaledPx(twips.y(), scale);
    const int right = WindowScaler::ScaledPx(twips.x() + twips.width(), scale);
    const int bottom = WindowScaler::ScaledPx(twips.y() + twips.height(), scale);
    return QRect(left, top, right - left, bottom - top);
}

int ScaledLength(int px, double scale) {
    return px <= 0 ? px : std::max(1, static_cast<int>(std::lround(px * scale)));
}

}  // namespace

WindowScaler::WindowScaler(QWidget* root) : root_(root), rootFont_(root->font()) {}

int WindowScaler::ScaledPx(int twips, double scale) {
    return static_cast<int>(std::lround(twips * scale / kTwipsPerPixel));
}

QSize WindowScaler::ScaledSize(QSize design) const {
    return QSize(ScaledLength(design.width(), scale_), ScaledLength(design.height(), scale_));
}

QFont WindowScaler::ScaledFont(const QFont& design, double scale) {
    QFont f = design;
    if (design.pointSizeF() > 0)
        f.setPointSizeF(design.pointSizeF() * scale);
    else if (design.pixelSize() > 0)
        f.setPixelSize(ScaledLength(design.pixelSize(), scale));
    return f;
}

WindowScaler::HeaderDesign WindowScaler::RecordHeader(const QHeaderView* h, bool horizontal) {
    HeaderDesign d;
    d.font = h->font();
    d.defaultSection = h->defaultSectionSize();
    d.minimumSection = h->minimumSectionSize();
    d.minimumExtent = horizontal ? h->minimumHeight() : h->minimumWidth();
    // Column widths are design; rows all take the default size.
    if (horizontal) {
        for (int i = 0; i < h->count(); ++i)
            d.sections.push_back(
                h->stretchLastSection() && i == h->count() - 1 ? -1 : h->sectionSize(i));
    }
    return d;
}

void WindowScaler::ApplyHeader(QHeaderView* h, const HeaderDesign& d, bool horizontal,
                               double scale) {
    h->setFont(ScaledFont(d.font, scale));
    h->setMinimumSectionSize(ScaledLength(d.minimumSection, scale));
    h->setDefaultSectionSize(ScaledLength(d.defaultSection, scale));
    if (horizontal)
        h->setMinimumHeight(ScaledLength(d.minimumExtent, scale));
    else
        h->setMinimumWidth(ScaledLength(d.minimumExtent, scale));
    for (int i = 0; i < static_cast<int>(d.sections.size()) && i < h->count(); ++i)
        if (d.sections[i] >= 0) h->resizeSection(i, ScaledLength(d.sections[i], scale));
}

WindowScaler::Design& WindowScaler::Record(QWidget* w) {
    auto it = designs_.find(w);
    if (it != designs_.end() && it->second.widget) return it->second;
    Design d;
    d.widget = w;
    if (w->testAttribute(Qt::WA_SetFont)) d.font = w->font();
    if (auto* table = qobject_cast<QTableView*>(w)) {
        d.columns = RecordHeader(table->horizontalHeader(), true);
        d.rows = RecordHeader(table->verticalHeader(), false);
    }
    return designs_[w] = std::move(d);
}

void WindowScaler::Apply(double scale) {
    const QList<QWidget*> placed = root_->findChildren<QWidget*>();
    // Designs first, while every font is still the one the widget has now: once the root's font
    // changes, a child that inherits it (a grid's header) would take the scaled one for its own.
    for (QWidget* w : placed)
        if (w->property(kDesignRectProperty).isValid()) Record(w);
    scale_ = scale;
    root_->setFont(ScaledFont(rootFont_, scale));
    for (QWidget* w : placed) {
        const QVariant rect = w->property(kDesignRectProperty);
        if (!rect.isValid()) continue;  // laid out by its parent (viewports, line edits …)
        const Design& d = Record(w);
        if (d.font) w->setFont(ScaledFont(*d.font, scale));
        w->setGeometry(ScaledRect(rect.toRect(), scale));
        if (auto* table = qobject_cast<QTableView*>(w)) {
            ApplyHeader(table->horizontalHeader(), *d.columns, true, scale);
            ApplyHeader(table->verticalHeader(), *d.rows, false, scale);
        }
    }
}

}  // namespace velmora
