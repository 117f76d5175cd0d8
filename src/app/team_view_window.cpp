#include "app/team_view_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qr_image.h"
#include "app/team_view.h"

namespace velmora {

namespace {

constexpr int kQrModulePixels = 5;

}  // namespace

TeamViewWindow::TeamViewWindow(QWidget* parent, TeamView& view)
    : QWidget(parent, Qt::Window), view_(view) {
    setObjectName("Frm_TeamView");
    setWindowTitle(QStringLiteral("チームビュー"));

    on_ = new QCheckBox(QStringLiteral("公開する"), this);
    on_->setObjectName("Chk_TeamViewOn");
    auto* hint = new QLabel(
        QStringLiteral("チームの携帯電話やテレビのブラウザで、このアドレスを開いてください。"
                       "アドレスを知っている人だけが見られます。"),
        this);
    hint->setWordWrap(true);
    address_ = new QLabel(this);
    address_->setObjectName("Lbl_TeamViewAddress");
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = address_->font();
    big.setPointSize(big.pointSize() + 2);
    big.setBold(true);
    address_->setFont(big);
    qr_ = new QLabel(this);
    qr_->setObjectName("Lbl_TeamViewQr");
    qr_->setAlignment(Qt::AlignCenter);
    pages_ = new QLabel(this);
    pages_->setObjectName("Lbl_TeamViewPages");
    renew_ = new QPushButton(QStringLiteral("キー更新"), this);
    renew_->setObjectName("Btn_TeamViewKey");
    renew_->setToolTip(
        QStringLiteral("新しいキーを作ります。前のアドレスで開いたページはすべて閉じられます。"));
    message_ = new QLabel(this);
    message_->setObjectName("Lbl_TeamViewMessage");
    message_->setWordWrap(true);
    message_->setStyleSheet("color: #b00000; font-weight: bold;");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(on_);
    layout->addWidget(hint);
    layout->addWidget(address_);
    layout->addWidget(qr_, 1);
    layout->addWidget(pages_);
    layout->addWidget(renew_, 0, Qt::AlignLeft);
    layout->addWidget(message_);

    connect(on_, &QCheckBox::clicked, this, [this](bool on) { Switch(on); });
    connect(renew_, &QPushButton::clicked, this, [this] {
        view_.RenewKey();
        message_->setText(
            QStringLiteral("キーを更新しました。新しいアドレス（QRコード）を配ってください。"));
    });
    connect(&view_, &TeamView::changed, this, &TeamViewWindow::Refresh);
    Refresh();
}

void TeamViewWindow::Open() {
    Refresh();
    show();
    raise();
    activateWindow();
}

void TeamViewWindow::ShowMessage(const QString& text) { message_->setText(text); }

void TeamViewWindow::Switch(bool on) {
    if (on) {
        message_->setText(view_.TurnOn());
    } else {
        view_.TurnOff();
        message_->clear();
    }
    Refresh();
}

void TeamViewWindow::Refresh() {
    const bool on = view_.isOn();
    on_->setChecked(on);
    renew_->setEnabled(on);
    pages_->setText(on ? QStringLiteral("接続中のページ: %1").arg(view_.pages())
                       : QStringLiteral("公開していません"));
    const QString address = on ? view_.address() : QString();
    if (address == shownAddress_) return;
    shownAddress_ = address;
    address_->setText(address);
    qr_->setPixmap(address.isEmpty() ? QPixmap()
                                     : QPixmap::fromImage(QrImage(address, kQrModulePixels)));
    adjustSize();
}

}  // namespace velmora
