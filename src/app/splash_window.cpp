#include "app/splash_window.h"

#include <QLabel>

#include "app/twips.h"
#include "app/ui_font.h"

namespace velmora {

namespace {

QLabel* Caption(QWidget* parent, int index, const QString& text, int pt, const TwipRect& r) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QStringLiteral("Label1_%1").arg(index));
    QFont f = UiFont();
    f.setPointSize(pt);
    f.setBold(index == 0);
    l->setFont(f);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(r.px());
    return l;
}

}  // namespace

SplashWindow::SplashWindow() {
    setObjectName("Mf_Open");
    setWindowFlag(Qt::FramelessWindowHint);
    setFixedSize(Px(5400), Px(2700));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    Caption(this, 0, QStringLiteral("VelmoraHostSystem"), 20, {0, 450, 5400, 750});
    Caption(this, 1, QStringLiteral("Ver1.20"), 12, {0, 1350, 5400, 390});
    Caption(this, 2, QStringLiteral("3Car Version"), 12, {0, 1800, 5400, 390});
}

void SplashWindow::CentreOn(const QSize& screen) {
    move(Centred(screen.width(), width()), Centred(screen.height(), height()));
}

}  // namespace velmora
