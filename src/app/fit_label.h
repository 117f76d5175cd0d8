#pragma once
// A one-line label whose text shrinks to fit its width: the panel's rule line holds up to four
// parts at once and must not lose its last one at the panel's edge. The text is drawn in the
// widget's own font (its design font, scaled with the window) when it fits, else in a smaller
// one down to kMinShrink of it; a text still too long then ends in "…".
#include <QLabel>

namespace velmora {

class FitLabel : public QLabel {
    Q_OBJECT

  public:
    using QLabel::QLabel;
    static constexpr double kMinShrink = 0.7;

    // The font the text is drawn in at the label's present size.
    QFont FittedFont() const;

  protected:
    void paintEvent(QPaintEvent* e) override;
};

}  // namespace velmora
