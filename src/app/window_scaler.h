#pragma once
// Scales a window built in twips: every widget placed with a design rectangle (PlaceAt and
// Make in builder.h) gets that rectangle times the scale, every such widget with a font of
// its own gets its design font times the scale, the root's font scales and the rest inherit
// it, and table views scale their column widths and row heights. What a widget looks like
// when the scaler first sees it is its design, so build the window, then apply a scale.
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <optional>
#include <unordered_map>
#include <vector>

class QHeaderView;

namespace velmora {

class WindowScaler {
  public:
    // `root` is the widget whose children scale; its own geometry is the caller's.
    explicit WindowScaler(QWidget* root);

    void Apply(double scale);
    double scale() const { return scale_; }
    // Root size at the current scale.
    QSize ScaledSize(QSize design) const;

    // Pixels at `scale` for a length in twips, edges rounded so that neighbours never part.
    static int ScaledPx(int twips, double scale);

  private:
    struct HeaderDesign {
        int defaultSection = 0;
        int minimumSection = 0;
        int minimumExtent = 0;      // the header's minimum height (or width)
        std::vector<int> sections;  // each section's size; -1 for a stretched one
        // Headers may take a font of their own from the platform rather than the view's.
        QFont font;
    };
    struct Design {
        QPointer<QWidget> widget;
        std::optional<QFont> font;
        std::optional<HeaderDesign> columns, rows;
    };

    Design& Record(QWidget* w);
    static QFont ScaledFont(const QFont& design, double scale);
    static HeaderDesign RecordHeader(const QHeaderView* h, bool horizontal);
    static void ApplyHeader(QHeaderView* h, const HeaderDesign& d, bool horizontal, double scale);

    QWidget* root_;
    QFont rootFont_;
    double scale_ = 1.0;
    std::unordered_map<const QWidget*, Design> designs_;
};

}  // namespace velmora
