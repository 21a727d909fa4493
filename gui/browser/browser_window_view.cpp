// The browser window as the model's view: each call shows one piece of the
// model's state. Controls changed here report nothing back to the model.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPalette>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalBlocker>

#include "gui/base/error_report.h"
#include "gui/base/qt_text.h"
#include "gui/browser/Grade_i_public_hospital.h"
#include "gui/browser/criteria_grid_view.h"
#include "gui/browser/search_controls.h"
#include "gui/export/Excel_unit_export.h"
#include "gui/windows/Unit1.h"
#include "platform/dispatch.h"

namespace {

// A bar whose range is 0..0 would show Qt's busy animation; an empty fill
// keeps the idle range instead.
void SetBar(QProgressBar* bar, int position, int maximum) {
  const int top = maximum > 0 ? maximum : 100;
  if (bar->maximum() != top) bar->setRange(0, top);
  bar->setValue(position);
}

// While an export waits for its office application, the browser's progress
// bar carries a note that it runs and for how long; the bar's own state comes
// back afterwards. The note appears only once there is something to wait for.
class ExportNote {
 public:
  explicit ExportNote(QProgressBar* bar) : bar_(bar) {}
  ~ExportNote() {
    if (!clock_.isValid()) return;
    bar_->setFormat(format_);
    bar_->setTextVisible(textVisible_);
  }
  ExportNote(const ExportNote&) = delete;
  ExportNote& operator=(const ExportNote&) = delete;

  void Update() {
    if (!clock_.isValid()) {
      clock_.start();
      format_ = bar_->format();
      textVisible_ = bar_->isTextVisible();
      bar_->setTextVisible(true);
    }
    const qint64 seconds = clock_.elapsed() / 1000;
    if (seconds == shownSeconds_) return;
    shownSeconds_ = seconds;
    bar_->setFormat(ToQ("正在导出，请稍候… " + std::to_string(seconds) + " 秒"));
  }

 private:
  QProgressBar* bar_;
  QElapsedTimer clock_;
  QString format_;
  bool textVisible_ = false;
  qint64 shownSeconds_ = -1;
};

}  // namespace

void TForm_grade_hospital::ShowTitle(const std::string& title) { setWindowTitle(ToQ(title)); }

void TForm_grade_hospital::ShowFieldItems(const std::vector<std::string>& items) {
  const QSignalBlocker quiet(fieldSelector);
  fieldSelector->clear();
  for (const std::string& item : items) fieldSelector->addItem(ToQ(item));
}

void TForm_grade_hospital::ShowFieldIndex(int index) {
  const QSignalBlocker quiet(fieldSelector);
  fieldSelector->setCurrentIndex(index);
}

void TForm_grade_hospital::ShowMatchKind(bool fuzzy, const std::string& caption) {
  const QSignalBlocker quiet(fuzzyCheck);
  fuzzyCheck->setChecked(fuzzy);
  fuzzyCheck->setText(ToQ(caption));
}

void TForm_grade_hospital::ShowSearchText(const std::string& text) {
  const QSignalBlocker quiet(searchBox);
  searchBox->setText(ToQ(text));
}

void TForm_grade_hospital::ShowMode(DisplayMode mode) {
  if (mode == DisplayMode::None) return;
  const QSignalBlocker quietShowAll(showAllButton), quietRetrieval(retrievalButton);
  (mode == DisplayMode::ShowAll ? showAllButton : retrievalButton)->setChecked(true);
  // A click runs the model before the button has drawn its new state, and
  // it would draw it only once a long fill is over: both show it now.
  showAllButton->repaint();
  retrievalButton->repaint();
}

void TForm_grade_hospital::ShowControlStates(const ControlStates& states) {
  fieldSelector->setEnabled(states.fieldSelector);
  fuzzyCheck->setEnabled(states.fuzzyCheck);
  searchBox->setEnabled(states.searchBox);
  retrievalButton->setEnabled(states.retrievalButton);
}

void TForm_grade_hospital::FocusSearchBox() { searchBox->setFocus(); }

void TForm_grade_hospital::ShowSuggestionList(bool visible) {
  suggestionList->setVisible(visible);
  if (visible) suggestionList->raise();
}

namespace {

// A suggestion line as the list shows it: one line of the widget, a lone CR
// or LF inside it read as a blank, so that line i of the list stays line i.
QString SuggestionText(std::string_view line) {
  QString text = ToQ(line);
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

}  // namespace

void TForm_grade_hospital::ShowSuggestions(const MemoLines& lines,
                                           const std::vector<Highlights>& matches) {
  QStringList texts;
  std::vector<TextRanges> ranges;
  for (int i = 0; i < lines.Count(); ++i) {
    texts.append(SuggestionText(lines.Line(i)));
    if (static_cast<size_t>(i) < matches.size())
      ranges.push_back(ToTextRanges(lines.Line(i), matches[static_cast<size_t>(i)], SuggestionText));
  }
  suggestionList->ShowLines(texts, ranges);
}

void TForm_grade_hospital::ShowGridMatches(int row, const std::vector<Highlights>& cells) {
  criteriaGrid->ShowMatches(row, cells);
}

void TForm_grade_hospital::MarkSuggestion(int line) { suggestionList->SelectLine(line); }

void TForm_grade_hospital::ShowProgress(int position, int maximum, bool alsoWindow) {
  SetBar(progressBar, position, maximum);
  if (alsoWindow && Form1) SetBar(Form1->ProgressBar1, position, maximum);
}

void TForm_grade_hospital::OpenProgressWindow() {
  if (Form1) return;
  Form1 = new TForm1(this);
  Form1->ProgressBar1->setValue(0);
  Form1->show();
}

void TForm_grade_hospital::CloseProgressWindow() {
  if (Form1) Form1->Button1Click();
}

void TForm_grade_hospital::ShowError(const std::string& message) { ShowErrorReport(message); }

void TForm_grade_hospital::Export(bool gridFilling) {
  ExportLook look;
  const QPalette colours = criteriaGrid->palette();
  look.windowColor = colours.color(QPalette::Base).rgb() & 0xFFFFFF;
  look.windowTextColor = colours.color(QPalette::Text).rgb() & 0xFFFFFF;
  // The window keeps painting and answering while an office application
  // writes the file.
  ExportNote note(progressBar);
  platform::AutomationIdleScope idle([this, &note] {
    note.Update();
    pump_.ProcessEvents();
  });
  ExportButtonClick(grid(), gridFilling, [this] { model_.HideSuggestionList(); }, look);
}
