#pragma once
// The window "チームビュー" (Btn_TeamView): the on/off switch, the address to open as text and
// as a QR code, the number of pages connected and "キー更新". A port that cannot be opened is
// named in the window; measuring goes on either way.
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace velmora {

class TeamView;

class TeamViewWindow : public QWidget {
  public:
    TeamViewWindow(QWidget* parent, TeamView& view);

    // Shows the window (or brings it to the front).
    void Open();
    void Refresh();
    // Shows `text` in the window's message line (empty clears it).
    void ShowMessage(const QString& text);

  private:
    void Switch(bool on);

    TeamView& view_;
    QCheckBox* on_ = nullptr;
    QLabel* address_ = nullptr;
    QLabel* qr_ = nullptr;
    QLabel* pages_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* renew_ = nullptr;
    QString shownAddress_;
};

}  // namespace velmora
