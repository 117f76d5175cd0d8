#include "console_rig.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <chrono>

#include "core/encoding.h"

namespace velmora::e2e {

bool WriteOneSecondSettings(const QString& folder) {
    const char* lines[] = {
        "[計測環境設定]",
        "計測精度=1/1000",
        "ラップ加算無通信秒数= 1",
        "[自動メッセージ設定]",
        "残り３周の自動メッセージ=あと３周でピットインです。",
        "残り２周の自動メッセージ=あと２周でピットインです。",
        "残り１周の自動メッセージ=次の周でピットインしてください。",
        "残りが無くなった時の自動メッセージ=はよピットインせんかい！",
        "チェック時のデフォルト周数= 10",
    };
    std::string bytes;
    for (const char* l : lines) bytes += Utf8ToCp932(l) + "\r\n";
    QFile f(folder + "/Velmora.ini");
    return f.open(QIODevice::WriteOnly) &&
           f.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

bool ConsoleRig::Start() {
    if (!folder_.isValid() || !WriteOneSecondSettings(folder_.path())) return false;
    app_ = std::make_unique<ConsoleApp>(folder_.path());
    app_->setQuitAction([] {});
    app_->dialogs().setNonInteractive(true);
    QSignalSpy shown(app_.get(), &ConsoleApp::mainWindowShown);
    app_->start(std::chrono::milliseconds(0));
    return (shown.count() > 0 || shown.wait(10000)) && window() != nullptr;
}

bool ConsoleRig::Click(const std::string& name) {
    auto* b = Find<QPushButton>(name);
    if (!b || !b->isEnabled()) return false;
    b->click();
    return app_->sync();
}

QString ConsoleRig::LabelText(const std::string& name) {
    auto* l = Find<QLabel>(name);
    return l ? l->text() : QStringLiteral("<missing %1>").arg(QString::fromStdString(name));
}

bool ConsoleRig::TypeInto(const std::string& name, const char* text) {
    auto* e = Find<QLineEdit>(name);
    if (!e || !e->isEnabled()) return false;
    e->selectAll();
    QTest::keyClicks(e, text);
    return app_->sync();
}

}  // namespace velmora::e2e
