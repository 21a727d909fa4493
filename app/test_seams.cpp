#include "app/test_seams.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "base/qt_text.h"
#include "base/shutdown.h"
#include "base/ui_services.h"
#include "platform/codepage.h"
#include "windows/Unit1.h"

namespace {

class LoggingUi final : public UiServices {
 public:
  explicit LoggingUi(std::string file) : file_(std::move(file)) {}
  void ShowMessage(const MessageRequest& request) override {
    if (FILE* out = std::fopen(file_.c_str(), "ab")) {
      const std::string line = platform::Cp936ToUtf8(request.caption) + "\t" +
                               platform::Cp936ToUtf8(request.text) + "\n";
      std::fwrite(line.data(), 1, line.size(), out);
      std::fclose(out);
    }
  }
  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest&) override {
    return std::nullopt;
  }
  void PushBusyCursor() override {}
  void PopCursor() override {}

 private:
  std::string file_;
};

}  // namespace

void InstallTestMessageLog() {
  const char* file = std::getenv("ZELVORAN_TEST_MESSAGE_LOG");
  if (!file || !*file) return;
  static LoggingUi ui(file);
  SetUi(&ui);
}

void InstallTestEndName() {
  const QByteArray name = qgetenv("ZELVORAN_TEST_END_NAME");
  if (!name.isEmpty()) {
    SetExecutableNameEndedAtExit(platform::Utf8ToCp936(name.toStdString()));
    return;
  }
  SetExecutableNameEndedAtExit(FromQ(QCoreApplication::applicationFilePath()));
}

void InstallTestCloseTimers(QWidget* mainWindow) {
  const QByteArray closings = qgetenv("ZELVORAN_TEST_CLOSE");
  if (closings.isEmpty()) return;
  QPointer<QWidget> main(mainWindow);
  for (const QByteArray& item : closings.split(',')) {
    const qsizetype at = item.indexOf('@');
    if (at < 0) continue;
    const QByteArrayList parts{item.left(at), item.mid(at + 1)};
    const QByteArray which = parts[0];
    auto act = [which, main] {
      if (which == "main" && main) main->close();
      if (which == "exit" && main)
        if (auto* button = main->findChild<QAbstractButton*>("RzBitBtnExit")) button->click();
      if (which == "progress" && Form1) Form1->close();
    };
    bool isTime = false;
    const int ms = parts[1].toInt(&isTime);
    if (isTime) {
      QTimer::singleShot(ms, act);
      continue;
    }
    // A file name: the window closes once that file exists.
    const QString trigger = QString::fromLocal8Bit(parts[1]);
    auto* poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, [poll, trigger, act] {
      if (!QFileInfo::exists(trigger)) return;
      poll->stop();
      poll->deleteLater();
      act();
    });
    poll->start(100);
  }
}
