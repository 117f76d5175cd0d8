// The team view through the console's window: Btn_TeamView opens its window, the switch turns
// the view on (address, QR code, the settings section written only then), pages are counted,
// キー更新 closes them, a taken port is named while measuring goes on, and a view left on is on
// again after a restart. Pages are plain sockets here; tests/browser has the real browser.
#include <QCheckBox>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include "app/team_view.h"
#include "app/team_view_window.h"
#include "gui_rig.h"
#include "teamview/team_view_settings.h"

namespace velmora {
namespace {

using gui_test::ConsoleRig;
using gui_test::FileBytes;
using gui_test::WriteCp932;

constexpr quint16 kTakenPort = 18790;

// A GET on its own connection; the first line of the answer ("" when none came).
QByteArray StatusLine(quint16 port, const QString& target, QTcpSocket* keep = nullptr) {
    QTcpSocket own;
    QTcpSocket& s = keep ? *keep : own;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(3000)) return {};
    s.write("GET " + target.toUtf8() + " HTTP/1.1\r\nHost: x\r\n\r\n");
    QByteArray got;
    while (!got.contains("\r\n") && s.waitForReadyRead(3000)) got += s.readAll();
    return got.left(got.indexOf("\r\n"));
}

class TeamViewTest : public ConsoleRig {
  protected:
    void PrepareFolder() override {
        if (!ini_.empty()) {
            ASSERT_TRUE(WriteCp932(dir_.filePath("Velmora.ini"), ini_));
        }
    }
    std::string Ini() { return FileBytes(dir_.filePath("Velmora.ini")); }
    TeamView& View() { return *app_->teamView(); }
    template <class W>
    W* InWindow(const char* name) {
        return app_->teamViewWindow()->findChild<W*>(name);
    }
    bool WaitForPages(int n) {
        for (int k = 0; k < 300 && View().pages() != n; ++k) QTest::qWait(10);
        QCoreApplication::processEvents();
        return View().pages() == n;
    }

    std::string ini_;
};

TEST_F(TeamViewTest, TheSwitchTurnsItOnWithAddressAndQrCodeAndCountsAndClosesPages) {
    const std::string firstRun = Ini();
    ASSERT_FALSE(firstRun.empty());
    auto* button = Find<QPushButton>("Btn_TeamView");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "チームビュー");
    Click("Btn_TeamView");
    ASSERT_NE(app_->teamViewWindow(), nullptr);
    EXPECT_TRUE(app_->teamViewWindow()->isVisible());
    auto* on = InWindow<QCheckBox>("Chk_TeamViewOn");
    EXPECT_FALSE(on->isChecked());
    EXPECT_FALSE(InWindow<QPushButton>("Btn_TeamViewKey")->isEnabled());
    EXPECT_EQ(Ini(), firstRun);  // off, nothing is written

    on->click();
    ASSERT_TRUE(View().isOn());
    const QString address = InWindow<QLabel>("Lbl_TeamViewAddress")->text();
    EXPECT_TRUE(QRegularExpression("^http://[0-9.]+:8780/\\?k=[A-Za-z0-9_-]{22}$")
                    .match(address)
                    .hasMatch())
        << address.toStdString();
    const QPixmap qr = InWindow<QLabel>("Lbl_TeamViewQr")->pixmap();
    EXPECT_FALSE(qr.isNull());
    EXPECT_EQ(qr.width(), qr.height());
    const TeamViewSettings saved = LoadTeamViewSettings(dir_.filePath("Velmora.ini").toStdString());
    EXPECT_TRUE(saved.on);
    EXPECT_EQ(QString::fromStdString(saved.key), View().key());
    EXPECT_EQ(Ini().substr(0, firstRun.size()), firstRun);  // the seven keys as they were

    // Two pages open the stream; the window counts them.
    const QString events = "/api/events?k=" + View().key();
    QTcpSocket page1, page2;
    EXPECT_EQ(StatusLine(8780, events, &page1), "HTTP/1.1 200 OK");
    EXPECT_EQ(StatusLine(8780, events, &page2), "HTTP/1.1 200 OK");
    ASSERT_TRUE(WaitForPages(2));
    EXPECT_EQ(InWindow<QLabel>("Lbl_TeamViewPages")->text(), "接続中のページ: 2");

    // キー更新: both pages are closed and the old key opens nothing.
    const QString oldKey = View().key();
    QTest::mouseClick(InWindow<QPushButton>("Btn_TeamViewKey"), Qt::LeftButton);
    EXPECT_NE(View().key(), oldKey);
    ASSERT_TRUE(WaitForPages(0));
    EXPECT_TRUE(page1.state() == QAbstractSocket::UnconnectedState ||
                page1.waitForDisconnected(3000));
    EXPECT_EQ(StatusLine(8780, "/api/state?k=" + oldKey), "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(StatusLine(8780, "/api/state?k=" + View().key()), "HTTP/1.1 200 OK");
    EXPECT_NE(InWindow<QLabel>("Lbl_TeamViewAddress")->text(), address);

    // Off: the port closes and the settings say so.
    on->click();
    EXPECT_FALSE(View().isOn());
    EXPECT_EQ(StatusLine(8780, "/api/state?k=" + View().key()), "");
    EXPECT_FALSE(LoadTeamViewSettings(dir_.filePath("Velmora.ini").toStdString()).on);
}

class TeamViewPortTakenTest : public TeamViewTest {
  protected:
    void PrepareFolder() override {
        ASSERT_TRUE(other_.listen(QHostAddress::Any, kTakenPort));
        ini_ = "[チームビュー]\r\nポート=" + std::to_string(kTakenPort) +
               "\r\nキー=AAECAwQFBgcICQoLDA0ODw\r\n公開=1\r\n";
        TeamViewTest::PrepareFolder();
    }
    QTcpServer other_;
};

TEST_F(TeamViewPortTakenTest, ATakenPortIsNamedAndMeasuringGoesOnAndTheViewComesOnWhenItIsFree) {
    QTest::qWait(50);  // the message is shown once the start-up is over
    bool named = false;
    for (const auto& r : app_->dialogs().requests())
        named = named || r.text.find("ポート18790を使用できない") != std::string::npos;
    EXPECT_TRUE(named);
    EXPECT_FALSE(View().isOn());
    app_->dialogs().pushInputAnswer("127.0.0.1");
    Click("Btn_ClientNoSet_0");
    Click("Btn_Start");
    EXPECT_TRUE(C().st.Measuring());

    Click("Btn_TeamView");
    auto* on = InWindow<QCheckBox>("Chk_TeamViewOn");
    on->click();
    EXPECT_FALSE(View().isOn());
    EXPECT_FALSE(on->isChecked());
    EXPECT_TRUE(InWindow<QLabel>("Lbl_TeamViewMessage")->text().contains("ポート18790"));

    other_.close();
    on->click();
    EXPECT_TRUE(View().isOn());
    EXPECT_TRUE(InWindow<QLabel>("Lbl_TeamViewMessage")->text().isEmpty());
    EXPECT_EQ(StatusLine(kTakenPort, "/api/state?k=AAECAwQFBgcICQoLDA0ODw"), "HTTP/1.1 200 OK");
}

class TeamViewLeftOnTest : public TeamViewTest {
  protected:
    void PrepareFolder() override {
        ini_ = "[チームビュー]\r\nポート=18791\r\nキー=AAECAwQFBgcICQoLDA0ODw\r\n公開=1\r\n";
        TeamViewTest::PrepareFolder();
    }
};

TEST_F(TeamViewLeftOnTest, AViewLeftOnIsOnAgainAfterARestartWithItsKey) {
    EXPECT_TRUE(View().isOn());
    EXPECT_EQ(View().key(), "AAECAwQFBgcICQoLDA0ODw");
    EXPECT_EQ(StatusLine(18791, "/?k=AAECAwQFBgcICQoLDA0ODw"), "HTTP/1.1 200 OK");
    EXPECT_EQ(StatusLine(18791, "/"), "HTTP/1.1 403 Forbidden");
}

}  // namespace
}  // namespace velmora
