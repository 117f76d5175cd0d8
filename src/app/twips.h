#pragma once
// Window geometry is designed in twips (1/1440 inch); the screen has 15 twips per pixel.
#include <QRect>

namespace velmora {

inline constexpr int kTwipsPerPixel = 15;

constexpr int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

// A rectangle in twips: left, top, width, height.
struct TwipRect {
    int x, y, w, h;
    QRect px() const { return QRect(Px(x), Px(y), Px(w), Px(h)); }
};

// Left/top that centre `own` in `container` ((container − own) / 2); negative when larger.
constexpr int Centred(int container, int own) { return (container - own) / 2; }

}  // namespace velmora
