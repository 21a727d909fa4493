#include "app/test_seams.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "gui/base/qt_text.h"
#include "gui/base/shutdown.h"
#include "gui/base/ui_services.h"
#include "platform/codepage.h"
#include "gui/windows/Unit1.h"

namespace {

class LoggingUi final : public UiServices {
 public:
  explicit LoggingUi(std::string file) : file_(std::move(file)) {}
  void ShowMessage(const MessageRequest& request) override {
    Append(platform::Cp936ToUtf8(request.caption) + "\t" + platform::Cp936ToUtf8(request.text));
  }
  // The dialog's start folder is logged; the dialog is cancelled.
  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest& request) override {
    Append("(save dialog)\t" + platform::PathToUtf8(request.initialFolder));
    return std::nullopt;
  }
  void PushBusyCursor() override {}
  void PopCursor() override {}

 private:
  void Append(const std::string& line) {
    if (FILE* out = std::fopen(file_.c_str(), "ab")) {
      std::fwrite(line.data(), 1, line.size(), out);
      std::fputc('\n', out);
      std::fclose(out);
    }
  }

  std::string file_;
};

// The trigger file's text typed into the search box, then Enter pressed and
// released there, as a user starts a search.
void TypeSearch(QWidget* main, const QString& textFile) {
  auto* edit = main->findChild<QLineEdit*>(QStringLiteral("Edit1"));
  QFile file(textFile);
  if (!edit || !file.open(QIODevice::ReadOnly)) return;
  edit->setFocus();
  edit->setText(QString::fromUtf8(file.readAll()).trimmed());
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(edit, &press);
  QCoreApplication::sendEvent(edit, &release);
}

QString DescribeWindows(QWidget* main) {
  QStringList lines;
  auto line = [&lines](const QStringList& fields) { lines << fields.join(QLatin1Char('\t')); };
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible()) continue;
    line({QStringLiteral("window"), window->objectName()});
    for (QLabel* label : window->findChildren<QLabel*>())
      if (label->isVisible()) line({QStringLiteral("label"), label->objectName(), label->text()});
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
      if (button->isVisible() && button->isCheckable())
        line({QStringLiteral("check"), button->objectName(),
              QString::number(button->isChecked() ? 1 : 0), button->text()});
  }
  if (!main) return lines.join(QLatin1Char('\n'));
  if (auto* edit = main->findChild<QLineEdit*>(QStringLiteral("Edit1")))
    line({QStringLiteral("search"), edit->text()});
  if (auto* bar = main->findChild<QProgressBar*>(QStringLiteral("ProgressBar1")))
    line({QStringLiteral("progress"), QString::number(bar->value())});
  if (auto* grid = main->findChild<QAbstractItemView*>(QStringLiteral("asg_hospital"))) {
    const QAbstractItemModel* model = grid->model();
    line({QStringLiteral("rows"), QString::number(model ? model->rowCount() : 0)});
    for (int row = 0; model && row < std::min(model->rowCount(), 4); ++row) {
      QStringList cells{QStringLiteral("row")};
      for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(row, column).data().toString().replace(QLatin1Char('\n'), QLatin1Char(' '));
      line(cells);
    }
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace

void InstallTestStateReport(QWidget* mainWindow) {
  const QString file = QString::fromLocal8Bit(qgetenv("ZELVORAN_TEST_STATE"));
  if (file.isEmpty()) return;
  QPointer<QWidget> main(mainWindow);
  auto* timer = new QTimer(QCoreApplication::instance());
  QObject::connect(timer, &QTimer::timeout, [file, main] {
    // Written beside and renamed over the file: a reader sees a whole report.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return;
    out.write(DescribeWindows(main).toUtf8());
    out.commit();
  });
  timer->start(100);
}

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
    bool isTime = false;
    const int ms = parts[1].toInt(&isTime);
    // A file name as the trigger: the action runs once that file exists.
    const QString trigger = isTime ? QString() : QString::fromLocal8Bit(parts[1]);
    auto act = [which, main, trigger] {
      if (which == "main" && main) main->close();
      if (which == "exit" && main)
        if (auto* button = main->findChild<QAbstractButton*>("RzBitBtnExit")) button->click();
      if (which == "progress" && Form1) Form1->close();
      if (which == "search" && main && !trigger.isEmpty()) TypeSearch(main, trigger);
      if (which.startsWith("click.") && main)
        if (auto* button = main->findChild<QAbstractButton*>(QString::fromLatin1(which.mid(6))))
          // Queued, so that a modal window the click opens runs its own
          // loop outside this timer and later actions still fire.
          QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    };
    if (isTime) {
      QTimer::singleShot(ms, act);
      continue;
    }
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
