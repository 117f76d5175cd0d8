#pragma once
// The start-up window Mf_Open: product, version and edition captions, centred on the screen.
#include <QWidget>

namespace velmora {

class SplashWindow : public QWidget {
  public:
    SplashWindow();
    void CentreOn(const QSize& screen);
};

}  // namespace velmora
