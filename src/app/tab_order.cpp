#include "app/tab_order.h"

#include <QRect>
#include <algorithm>

#include "app/builder.h"
#include "app/layout.h"

namespace velmora {

namespace {

// Controls whose tops differ by less than this stand in one row.
constexpr int kRowTolerance = 120;

struct Stop {
    QWidget* w;
    int group;
    QPoint at;  // design position in the block, twips
};

// The design position of `w` inside `block`: the sum of the design rectangles on the way.
bool DesignPosition(QWidget* w, QWidget* block, QPoint& at) {
    at = QPoint();
    for (QWidget* p = w; p != block; p = p->parentWidget()) {
        if (p == nullptr) return false;
        const QVariant r = p->property(kDesignRectProperty);
        if (!r.isValid()) return false;
        at += r.toRect().topLeft();
    }
    return true;
}

bool HasAncestorNamed(QWidget* w, QWidget* block, const QString& name) {
    for (QWidget* p = w->parentWidget(); p != nullptr && p != block; p = p->parentWidget())
        if (p->objectName() == name) return true;
    return false;
}

// Console block: event data, the rest of the left side, the button column.
int GroupOf(QWidget* w, QWidget* block, const QPoint& at) {
    if (block->objectName() != QLatin1String("Frm_Main")) return 0;
    if (HasAncestorNamed(w, block, NameText(layout::kTabFirstFrame))) return 0;
    return at.x() == layout::kButtonColumnLeft ? 2 : 1;
}

}  // namespace

std::vector<QWidget*> TabSequence(QWidget* block) {
    std::vector<Stop> stops;
    for (QWidget* w : block->findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus)) continue;
        QPoint at;
        if (!DesignPosition(w, block, at)) continue;  // parts of a control, not controls
        stops.push_back({w, GroupOf(w, block, at), at});
    }
    std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) {
        if (a.group != b.group) return a.group < b.group;
        return a.at.y() < b.at.y();
    });
    // Rows: runs of close tops, each read left to right.
    for (auto row = stops.begin(); row != stops.end();) {
        auto end = row;
        while (end != stops.end() && end->group == row->group &&
               end->at.y() - row->at.y() < kRowTolerance)
            ++end;
        std::stable_sort(row, end,
                         [](const Stop& a, const Stop& b) { return a.at.x() < b.at.x(); });
        row = end;
    }
    std::vector<QWidget*> out;
    for (const Stop& s : stops) out.push_back(s.w);
    return out;
}

void ApplyTabOrder(const std::vector<QWidget*>& blocks) {
    QWidget* previous = nullptr;
    for (QWidget* block : blocks) {
        for (QWidget* w : TabSequence(block)) {
            if (previous != nullptr) QWidget::setTabOrder(previous, w);
            previous = w;
        }
    }
}

}  // namespace velmora
