#include "tests/support/browser_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTextBlock>
#include <unistd.h>

#include "core/base/app_folder.h"
#include "gui/base/qt_text.h"
#include "gui/base/shutdown.h"
#include "platform/codepage.h"
#include "core/browser/pace.h"
#include "gui/browser/search_controls.h"

namespace testing_support {

QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "zelvoran-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A window closed by a test runs the exit sequence, which must never end
    // a Zelvoran that someone has open: it ends a name nothing runs under.
    SetExecutableNameEndedAtExit("zelvoran-tests-end-nothing-" + std::to_string(getpid()));
    return new QApplication(argc, argv);
  }();
  return *app;
}

BrowserTest::BrowserTest() : dir_("browser") {
  TestApplication();
  SetRowPauseMsForTests(0);
  SetAppFolderForTests(dir_.path());
}

BrowserTest::~BrowserTest() {
  window_.reset();
  SetAppFolderForTests("");
  SetRowPauseMsForTests(kRowPauseMs);
}

void BrowserTest::Create(const std::vector<Criterion>& criteria,
                         const std::vector<std::string>& settings) {
  CreateVarnDb(dir_.path(), criteria, settings);
  window_ = std::make_unique<TForm_grade_hospital>();
  window_->SetMeasurer(&measurer_);
}

void BrowserTest::Open(const std::vector<Criterion>& criteria,
                       const std::vector<std::string>& settings) {
  Create(criteria, settings);
  window_->show();
  Pump();
}

void BrowserTest::Restart() {
  window_.reset();
  window_ = std::make_unique<TForm_grade_hospital>();
  window_->SetMeasurer(&measurer_);
  window_->show();
  Pump();
}

std::string BrowserTest::Cell(int col, int row) { return w().grid().Cell(col, row); }

std::vector<std::string> BrowserTest::Row(int row) {
  std::vector<std::string> out;
  for (int c = 0; c < w().grid().ColCount(); ++c) out.push_back(Cell(c, row));
  return out;
}

std::vector<std::string> BrowserTest::SuggestionLines() {
  std::vector<std::string> out;
  const MemoLines& lines = w().model().suggestions();
  for (int i = 0; i < lines.Count(); ++i) out.emplace_back(lines.Line(i));
  return out;
}

void BrowserTest::TypeSearch(const std::string& cp936Text) {
  w().searchBox->setFocus();
  w().searchBox->setText(ToQ(cp936Text));
  PressEnter();
}

void BrowserTest::PressEnter() {
  QTest::keyClick(w().searchBox, Qt::Key_Return);
  Pump();
}

namespace {

void SendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint at) {
  const QPointF local(at);
  const QPointF global(target->mapToGlobal(at));
  QMouseEvent event(type, local, global, button,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

}  // namespace

void BrowserTest::Click(QWidget* widget, QPoint at) {
  SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton, at);
  SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton, at);
  Pump();
}

// The events a platform delivers for a double click.
void BrowserTest::DoubleClick(QWidget* widget, QPoint at) {
  SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton, at);
  SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton, at);
  SendMouse(widget, QEvent::MouseButtonDblClick, Qt::LeftButton, at);
  SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton, at);
  Pump();
}

void BrowserTest::RightPress(QWidget* widget, QPoint at) {
  SendMouse(widget, QEvent::MouseButtonPress, Qt::RightButton, at);
  SendMouse(widget, QEvent::MouseButtonRelease, Qt::RightButton, at);
  QContextMenuEvent menu(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &menu);
  Pump();
}

QPoint BrowserTest::SuggestionLinePos(int line) {
  QTextCursor cursor(w().suggestionList->document()->findBlockByNumber(line));
  return w().suggestionList->cursorRect(cursor).center() + QPoint(2, 0);
}

void BrowserTest::ClickSuggestion(int line) {
  Click(w().suggestionList->viewport(), SuggestionLinePos(line));
}

void BrowserTest::DoubleClickSuggestion(int line) {
  DoubleClick(w().suggestionList->viewport(), SuggestionLinePos(line));
}

void BrowserTest::PickField(int index) {
  w().fieldSelector->setCurrentIndex(index);
  emit w().fieldSelector->activated(index);
  Pump();
}

std::string BrowserTest::PickedValue() { return w().model().PickedValue(); }

void BrowserTest::Pump() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

std::vector<Criterion> SimpleCriteria(int n) {
  std::vector<Criterion> out;
  for (int s = 1; s <= n; ++s) {
    Criterion c{s, {}};
    for (char letter = 'a'; letter <= 'h'; ++letter)
      c.fields.push_back(std::string(1, letter) + std::to_string(s));
    out.push_back(c);
  }
  return out;
}

}  // namespace testing_support
