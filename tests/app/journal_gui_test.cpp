// The journal in the assembled console: the question at start-up comes before anything else,
// Yes brings the race back running (panels, grids, sockets, clock), No keeps the old journal
// under a dated name, End marks it finished, and an unreadable one is set aside with a message.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "app/console_app.h"
#include "app/main_window.h"
#include "core/window_state.h"
#include "journal/journal_file.h"

namespace velmora {
namespace {

// One exchange as car `slot` on loopback: the console's reply, or nothing within 2 s.
std::optional<std::string> CarExchange(int slot, const std::string& datagram) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(static_cast<std::uint16_t>(7012 + 10 * slot));
    std::optional<std::string> reply;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        sa.sin_port = htons(static_cast<std::uint16_t>(7011 + 10 * slot));
        ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&sa),
                 sizeof sa);
        QElapsedTimer t;
        t.start();
        char buf[2048];
        while (!reply && t.elapsed() < 2000) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n >= 0)
                reply = std::string(buf, static_cast<std::size_t>(n));
            else
                QTest::qWait(5);
        }
    }
    if (fd >= 0) ::close(fd);
    return reply;
}

class JournalStartup : public ::testing::Test {
  protected:
    void TearDown() override { app_.reset(); }

    // Starts a console in the folder; `answers` go to its message boxes, in order.
    void Start(std::initializer_list<MessageAnswer> answers = {}) {
        app_ = std::make_unique<ConsoleApp>(dir_.path());
        app_->dialogs().setNonInteractive(true);
        app_->setQuitAction([] {});
        for (MessageAnswer a : answers) app_->dialogs().pushMessageAnswer(a);
        QSignalSpy shown(app_.get(), &ConsoleApp::mainWindowShown);
        app_->start(std::chrono::milliseconds(0));
        ASSERT_TRUE(shown.wait(5000));
    }
    // Ends the program without End, as a crash would leave the journal (unfinished).
    void Crash() { app_.reset(); }

    template <class W>
    W* Find(const std::string& name) {
        return app_->mainWindow()->findChild<W*>(QString::fromStdString(name));
    }
    void Click(const std::string& name) {
        auto* b = Find<QPushButton>(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
        ASSERT_TRUE(app_->sync()) << name;
    }
    // The console as the window shows it, once everything asked of it has been carried out.
    const Console& console() {
        EXPECT_TRUE(app_->sync());
        return app_->view();
    }
    // Whether the console's own socket `id` is bound, asked on the console's thread.
    bool Bound(SocketId id) {
        bool bound = false;
        EXPECT_TRUE(app_->run([&bound, id](Console& c) { bound = c.svc.net.IsBound(id); }));
        return bound;
    }
    const std::vector<QtDialogs::Request>& Requests() { return app_->dialogs().requests(); }
    QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files, QDir::Name); }

    // Slots 0 and 2 set up through their buttons, the run started, lap 1 of car 0 recorded.
    void RaceWithOneLap() {
        for (int s : {0, 2}) {
            app_->dialogs().pushInputAnswer("127.0.0.1");
            Click(SlotControlName("Btn_ClientNoSet", s));
        }
        ASSERT_TRUE(app_->run([](Console& c) { c.st.main.Txt_Event.text = "耐久"; }));
        Click("Btn_Start");
        ASSERT_TRUE(console().st.Measuring());
        // The car's first pass, then (as the silence step would) its lap opened.
        ASSERT_TRUE(CarExchange(0, "000"));
        ASSERT_TRUE(app_->run([](Console& c) { c.st.runners[0].AwayFlag = true; }));
        const auto reply = CarExchange(0, "000");
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->substr(0, 4), "N001");
    }

    QTemporaryDir dir_;
    std::unique_ptr<ConsoleApp> app_;
};

TEST_F(JournalStartup, YesBringsTheRaceBackRunning) {
    Start();
    RaceWithOneLap();
    const std::string lapText = console().st.panels[0].Spd_LapTime.Cell(1, 1);
    Crash();

    Start({MessageAnswer::Yes});
    // The question came first, as a confirmation.
    ASSERT_FALSE(Requests().empty());
    const QtDialogs::Request& q = Requests().front();
    EXPECT_EQ(q.text, "前回の計測データが残っています。復元しますか？");
    EXPECT_EQ(q.title, "復元確認");
    EXPECT_EQ(q.buttons, MessageButtons::YesNo);
    EXPECT_EQ(Requests().size(), 1u);

    // Running: the button says Stop, End is off, the presence responder is silent, the lap
    // clocks run and the car is answered with its count.
    EXPECT_EQ(Find<QPushButton>("Btn_Start")->text(), "Stop");
    EXPECT_FALSE(Find<QPushButton>("Btn_End")->isEnabled());
    EXPECT_FALSE(Bound(SocketId::Presence));
    const RunningServices& running = app_->live().Latest()->services;
    EXPECT_TRUE(running.clockRunning);
    EXPECT_TRUE(running.timers[5]);  // the lap clock of slot 2
    EXPECT_EQ(kConsoleTimers[5], (TimerKey{TimerId::Lap, 2}));
    EXPECT_EQ(Find<QLabel>("Lbl_LapCnt_0")->text(), "2周目");
    EXPECT_EQ(console().st.main.Txt_Event.text, "耐久");
    auto* grid = Find<QTableView>("Spd_LapTime_0");
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString().toStdString(), lapText);
    EXPECT_TRUE(Find<QLabel>("Lbl_Sort_No_1")->isVisibleTo(app_->mainWindow()));
    const auto reply = CarExchange(0, "001");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(0, 4), "N001");
}

TEST_F(JournalStartup, NoKeepsTheOldJournalUnderADatedNameAndStartsClean) {
    Start();
    RaceWithOneLap();
    Crash();

    Start({MessageAnswer::No});
    EXPECT_EQ(Requests().front().title, "復元確認");
    EXPECT_FALSE(console().st.Measuring());
    EXPECT_TRUE(console().st.panels[0].Lbl_IP.caption.empty());
    EXPECT_TRUE(Bound(SocketId::Presence));
    const QStringList files = Files();
    ASSERT_EQ(files.size(), 5) << files.join(' ').toStdString();  // master files, settings
    const QString kept =
        files.filter(QRegularExpression("^VelmoraJournal-\\d{8}-\\d{6}\\.db$")).value(0);
    ASSERT_FALSE(kept.isEmpty()) << files.join(' ').toStdString();
    EXPECT_EQ(CheckJournal(dir_.filePath(kept).toStdString()).found, JournalFound::Unfinished);
}

TEST_F(JournalStartup, EndMarksTheJournalFinishedAndNothingIsAskedNextTime) {
    Start();
    app_->dialogs().pushInputAnswer("127.0.0.1");
    Click("Btn_ClientNoSet_1");
    app_->dialogs().pushMessageAnswer(MessageAnswer::Yes);
    Click("Btn_End");
    const std::string path = console().paths.JournalFilePath;
    EXPECT_EQ(CheckJournal(path).found, JournalFound::Finished);
    Crash();

    Start();
    EXPECT_TRUE(Requests().empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(Files().filter("VelmoraJournal-").size(), 1);
}

TEST_F(JournalStartup, AnUnreadableJournalIsSetAsideWithAMessage) {
    {
        QFile f(dir_.filePath("VelmoraJournal.db"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
    }
    Start();
    ASSERT_EQ(Requests().size(), 1u);
    const std::string& text = Requests()[0].text;
    EXPECT_EQ(
        text.rfind("走行記録ファイルを読めないため、別名で保管しました。新しい記録を始めます。\n" +
                       dir_.filePath("VelmoraJournal-").toStdString(),
                   0),
        0u)
        << text;
    EXPECT_NE(text.find("-unreadable.db\n("), std::string::npos) << text;
    EXPECT_FALSE(console().st.Measuring());
}

}  // namespace
}  // namespace velmora
