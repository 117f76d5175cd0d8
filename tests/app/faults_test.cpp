// The assembled console against a hostile machine: a program folder nothing can be written
// in, a car port another program holds, settings and master files turned to garbage before
// a start. Each time the console must come up, say what it could not do (once), and measure
// what it can.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "app/console_app.h"
#include "app/main_window.h"
#include "core/window_state.h"

namespace velmora {
namespace {

// A POSIX UDP socket on loopback, for holding a port or playing a car.
class PlainSocket {
  public:
    explicit PlainSocket(std::uint16_t port, in_addr_t address = htonl(INADDR_LOOPBACK)) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = address;
        bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    ~PlainSocket() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool bound() const { return bound_; }
    void SendTo(std::uint16_t port, const std::string& bytes) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    }
    // Spins the event loop (the console answers on it) until a datagram came or 2 s passed.
    std::optional<std::string> Receive() {
        QElapsedTimer t;
        t.start();
        char buf[2048];
        while (t.elapsed() < 2000) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
            if (n >= 0) return std::string(buf, static_cast<std::size_t>(n));
            QTest::qWait(5);
        }
        return std::nullopt;
    }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

class ConsoleFaults : public ::testing::Test {
  protected:
    void TearDown() override { app_.reset(); }

    bool StartIn(const QString& folder) {
        app_ = std::make_unique<ConsoleApp>(folder);
        app_->dialogs().setNonInteractive(true);
        app_->setQuitAction([] {});
        QSignalSpy shown(app_.get(), &ConsoleApp::mainWindowShown);
        app_->start(std::chrono::milliseconds(0));
        return shown.wait(5000) && app_->mainWindow() != nullptr;
    }

    bool Click(const std::string& name) {
        auto* b = app_->mainWindow()->findChild<QPushButton*>(QString::fromStdString(name));
        if (!b || !b->isEnabled()) return false;
        b->click();
        return app_->sync();
    }

    void SetUpSlots(std::initializer_list<int> carSlots) {
        for (int s : carSlots) {
            app_->dialogs().pushInputAnswer("127.0.0.1");
            ASSERT_TRUE(Click(SlotControlName("Btn_ClientNoSet", s)));
        }
    }

    // Texts of the message boxes shown so far.
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& r : app_->dialogs().requests())
            if (r.kind == QtDialogs::Kind::Message) out.push_back(r.text);
        return out;
    }

    // A car message on slot `slot`'s port, answered to 7012 + 10·slot.
    std::optional<std::string> CarExchange(int slot) {
        PlainSocket car(static_cast<std::uint16_t>(7012 + 10 * slot));
        if (!car.bound()) return std::nullopt;
        car.SendTo(static_cast<std::uint16_t>(7011 + 10 * slot), "000");
        return car.Receive();
    }

    void StopRun() {
        app_->dialogs().pushMessageAnswer(MessageAnswer::Yes);
        ASSERT_TRUE(Click("Btn_Start"));
        ASSERT_FALSE(app_->view().st.Measuring());
    }

    QTemporaryDir dir_;
    std::unique_ptr<ConsoleApp> app_;
};

TEST_F(ConsoleFaults, AProgramFolderThatCannotBeWrittenStartsAndSaysSoOnce) {
    // Root writes through permissions, so the folder's path runs through a plain file:
    // nothing below it can be created or read.
    ASSERT_TRUE(dir_.isValid());
    QFile blocker(dir_.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ASSERT_TRUE(StartIn(dir_.filePath("blocker/Velmora")));

    // One message per master file, naming it; the settings fall back silently.
    const std::vector<std::string> told = Messages();
    ASSERT_EQ(told.size(), 3u);
    const char* files[] = {"Drivers.ini", "Course.ini", "Car.ini"};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(told[k].rfind(std::string(files[k]) + " を読み書きできません。", 0), 0u)
            << told[k];
    }
    EXPECT_EQ(app_->view().settings.SilenceSeconds, 10);

    // And it measures: a car is answered. The race journal, which cannot be created there
    // either, is named once; nothing more is said.
    SetUpSlots({0});
    ASSERT_TRUE(Click("Btn_Start"));
    ASSERT_TRUE(app_->view().st.Measuring());
    const auto reply = CarExchange(0);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(0, 1), "N");
    StopRun();
    const std::vector<std::string> all = Messages();
    ASSERT_EQ(all.size(), 5u);  // the three above, the journal and the stop question
    EXPECT_EQ(all[3].rfind("走行記録ファイルに書き込めません。記録なしで計測を続けます。\n" +
                               dir_.filePath("blocker/Velmora/VelmoraJournal.db").toStdString(),
                           0),
              0u)
        << all[3];
}

TEST_F(ConsoleFaults, ACarPortInUseIsNamedAndTheOtherCarsAreMeasured) {
    ASSERT_TRUE(dir_.isValid());
    PlainSocket holder(7021, htonl(INADDR_ANY));
    ASSERT_TRUE(holder.bound()) << "port 7021 is busy already";
    ASSERT_TRUE(StartIn(dir_.path()));
    SetUpSlots({0, 1, 2});
    app_->dialogs().clearRequests();

    ASSERT_TRUE(Click("Btn_Start"));
    const Console& c = app_->view();
    ASSERT_TRUE(c.st.Measuring());
    const std::vector<std::string> told = Messages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("２号車"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("7021"), std::string::npos) << told[0];
    EXPECT_EQ(c.st.LastMeasuredSlot, 1);
    EXPECT_FALSE(c.st.panels[1].Frm_Runner.enabled);

    for (int s : {0, 2}) {
        const auto reply = CarExchange(s);
        ASSERT_TRUE(reply) << "slot " << s << " is not answered";
        EXPECT_EQ(reply->substr(0, 1), "N");
    }
    StopRun();
}

TEST_F(ConsoleFaults, GarbageFilesGiveDefaultsAtTheNextStart) {
    ASSERT_TRUE(dir_.isValid());
    std::string junk;
    for (int i = 0; i < 8192; ++i) junk += static_cast<char>((i * 131 + 7) % 256);
    for (const char* name : {"Velmora.ini", "Car.ini", "Course.ini", "Drivers.ini"}) {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(junk.data(), static_cast<qint64>(junk.size()));
    }
    ASSERT_TRUE(StartIn(dir_.path()));
    // Readable files: no message; settings that could not be read take their defaults.
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(app_->view().settings.Precision.empty(), false);
    const int silence = app_->view().settings.SilenceSeconds;
    EXPECT_TRUE(silence >= 1 && silence <= 99) << silence;

    SetUpSlots({0});
    ASSERT_TRUE(Click("Btn_Start"));
    const auto reply = CarExchange(0);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(0, 1), "N");
    StopRun();
}

}  // namespace
}  // namespace velmora
