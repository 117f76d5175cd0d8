// One console per folder, proved with the real console (velmora-kill-console) as a child
// process: a second start from the same folder leaves every file of the first byte for byte
// and the first measuring, and a lock left behind by a console that died is taken over.
#include <signal.h>
#include <sys/prctl.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <map>

namespace {

// A console in `folder`, read line by line as it prints.
class Console {
  public:
    explicit Console(const QString& folder) {
        p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        p.start(VELMORA_KILL_CONSOLE_PATH, {"--folder", folder, "--answer", "yes"});
    }
    ~Console() {
        p.kill();
        p.waitForFinished(5000);
    }

    // The first line from now on that starts with `prefix`, or "" if none came in time.
    QString WaitLine(const QString& prefix, int ms = 20000) {
        QDeadlineTimer deadline(ms);
        for (;;) {
            for (int nl = buffer_.indexOf('\n'); nl >= 0; nl = buffer_.indexOf('\n')) {
                const QString line = QString::fromUtf8(buffer_.left(nl));
                buffer_.remove(0, nl + 1);
                if (line.startsWith(prefix)) return line;
            }
            if (deadline.hasExpired() || !p.waitForReadyRead(int(deadline.remainingTime())))
                return {};
            buffer_ += p.readAllStandardOutput();
        }
    }
    bool Command(const QString& line) {
        p.write((line + "\n").toUtf8());
        return WaitLine("done " + line) == "done " + line;
    }
    void Signal(int sig) { ::kill(static_cast<pid_t>(p.processId()), sig); }

    QProcess p;

  private:
    QByteArray buffer_;
};

// Started in `folder`, slot 0 set up and measuring.
void StartMeasuring(Console& c) {
    QVERIFY(!c.WaitLine("dump end").isEmpty());
    QVERIFY(c.Command("setup 0 127.0.0.1"));
    QVERIFY(c.Command("start"));
}

std::map<QString, QByteArray> Files(const QString& folder) {
    std::map<QString, QByteArray> out;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        QFile f(QDir(folder).filePath(name));
        if (f.open(QIODevice::ReadOnly)) out[name] = f.readAll();
    }
    return out;
}

}  // namespace

class InstanceTest : public QObject {
    Q_OBJECT

  private slots:
    void aSecondStartTouchesNoFileAndLeavesTheFirstMeasuring() {
        QTemporaryDir dir;
        Console first(dir.path());
        StartMeasuring(first);
        // The first console is held still, so that any change in its folder is the second's.
        first.Signal(SIGSTOP);
        const auto before = Files(dir.path());
        QVERIFY(before.count("VelmoraHost.lock") && before.count("VelmoraJournal.db"));

        Console second(dir.path());
        QCOMPARE(second.WaitLine("refused "),
                 QStringLiteral("refused title=VelmoraHost text=すでに起動しています。"));
        QVERIFY(second.p.waitForFinished(10000));
        QCOMPARE(second.p.exitCode(), 3);
        QVERIFY(Files(dir.path()) == before);

        // The first goes on measuring, and was asked to come to the front.
        first.Signal(SIGCONT);
        QCOMPARE(first.WaitLine("raise"), QStringLiteral("raise"));
        first.p.write("dump\n");
        QVERIFY(first.WaitLine("dump measuring=").startsWith("dump measuring=1 clock=1"));
        QVERIFY(first.WaitLine("dump slot=0").startsWith("dump slot=0 bound=1 timer=1"));
    }

    void aLockLeftBehindIsTakenOver_data() {
        QTest::addColumn<bool>("pidReused");
        QTest::newRow("the console killed") << false;
        // After a crash the PID in the lock can belong to another console by now.
        QTest::newRow("its PID now another console's") << true;
    }
    void aLockLeftBehindIsTakenOver() {
        QFETCH(bool, pidReused);
        QTemporaryDir dir, elsewhere;
        {
            Console killed(dir.path());
            StartMeasuring(killed);
            killed.Signal(SIGKILL);
            QVERIFY(killed.p.waitForFinished(5000));
        }
        QVERIFY(QFile::exists(dir.filePath("VelmoraHost.lock")));
        std::unique_ptr<Console> other;
        if (pidReused) {
            other = std::make_unique<Console>(elsewhere.path());
            QVERIFY(!other->WaitLine("dump end").isEmpty());
            QFile::remove(dir.filePath("VelmoraHost.lock"));
            QVERIFY(QFile::copy(elsewhere.filePath("VelmoraHost.lock"),
                                dir.filePath("VelmoraHost.lock")));
        }

        Console restarted(dir.path());
        QCOMPARE(restarted.WaitLine("ready "), QStringLiteral("ready resumed=1"));
        QVERIFY(restarted.WaitLine("dump measuring=").startsWith("dump measuring=1 clock=1"));
        QFile lock(dir.filePath("VelmoraHost.lock"));
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readLine().trimmed().toLongLong(), restarted.p.processId());
    }
};

QTEST_GUILESS_MAIN(InstanceTest)
#include "instance_test.moc"
