#pragma once
// Child processes for the tests that run the real console and the simulated cars: a process
// whose stdout is read line by line as it comes, killed with the test if the test dies.
#include <sys/prctl.h>

#include <QProcess>
#include <QString>
#include <chrono>
#include <csignal>
#include <functional>

namespace velmora::kill_test {

inline long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline void DieWithParent(QProcess& p) {
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

class LineProcess {
  public:
    std::function<void(const QString&)> onLine;
    QProcess p;

    LineProcess() {
        p.setProcessChannelMode(QProcess::SeparateChannels);
        DieWithParent(p);
        QObject::connect(&p, &QProcess::readyReadStandardOutput, [this] {
            buffer_ += p.readAllStandardOutput();
            for (int nl = buffer_.indexOf('\n'); nl >= 0; nl = buffer_.indexOf('\n')) {
                const QString line = QString::fromUtf8(buffer_.left(nl));
                buffer_.remove(0, nl + 1);
                if (onLine) onLine(line);
            }
        });
    }

  private:
    QByteArray buffer_;
};

}  // namespace velmora::kill_test
