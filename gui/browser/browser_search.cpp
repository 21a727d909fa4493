// The browser's searching and remembering: the settings restore, the line
// cache and suggestion list, keyword search, the serial filter, column
// stepping, and the mode and option switches.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>

#include "core/base/Excel_unit.h"
#include "gui/base/qt_text.h"
#include "gui/browser/Grade_i_public_hospital.h"
#include "gui/browser/criteria_grid_view.h"
#include "core/browser/grid_ops.h"
#include "core/browser/line_cache.h"
#include "core/browser/pace.h"
#include "gui/browser/search_controls.h"
#include "core/store/settings_record.h"
#include "core/store/statements.h"
#include "gui/windows/Unit1.h"

std::string TForm_grade_hospital::SearchText() const { return TrimBlanks(FromQ(Edit1->text())); }

void TForm_grade_hospital::Save(const char* code, const std::string& value) {
  store::SaveSetting(ADOQuery1, code, value);
}

void TForm_grade_hospital::SetPickedValue(const std::string& value) { Label1->setText(ToQ(value)); }

// --- settings record -----------------------------------------------------

void TForm_grade_hospital::bt_initializeClick() {
  // Each settings row is one value, so a value holding a comma stays whole.
  const std::vector<std::string> values = store::ReadSettingsValues(ADOQuery1);
  for (size_t k = 1; k <= values.size(); ++k) {
    const std::string& v = values[k - 1];
    if (v.empty()) continue;
    if (k == 1) {
      const int index = StrToInt(v);
      ComboBox1->setCurrentIndex(index >= 0 && index < ComboBox1->count() ? index : -1);
    } else if (k == 2) {
      cb_accurate->setChecked(v != "精确");  // a change runs cb_accurateClick
      gate_.RethrowPending();
      cb_accurate->setText(ToQ(v));
    } else if (k == 3) {
      Edit1->setText(ToQ(v));
    } else if (k == 4) {
      setWindowTitle(ToQ(v));
    } else if (v == "0") {
      if (!Form1) {
        Form1 = new TForm1(this);
        Form1->ProgressBar1->setValue(0);
        Form1->show();
      }
      RadioButton1->setChecked(true);  // a change runs RadioButton1Click
      gate_.RethrowPending();
    } else {
      RadioButton2->setChecked(true);  // a change runs RadioButton2Click
      gate_.RethrowPending();
    }
  }
}

// --- line cache and suggestion list --------------------------------------

void TForm_grade_hospital::Bt_load_dataClick() {
  cacheLines_.Clear();
  RunSelect(store::kFullSelect);
  const int n = ADOQuery1.RecordCount();
  {
    HandlerGate::LoopScope loop(gate_);
    for (int i = 0; i < n; ++i) {
      PumpMessages();
      cacheLines_.Append(CriterionLine(ADOQuery1, ComboBox1->currentIndex()));
      ADOQuery1.Next();
    }
  }
  const std::string s = SearchText();
  if (s.empty()) return;
  FilterLineCache(s);
}

void TForm_grade_hospital::FilterLineCache(const std::string& searchText) {
  ::FilterLineCache(cacheLines_, searchText, suggestionLines_);
  RefreshSuggestionWidget();
}

void TForm_grade_hospital::RefreshSuggestionWidget() {
  // One block of the widget per line; a lone CR or LF inside a line is shown
  // as a blank so that block i stays line i.
  QString text;
  for (int i = 0; i < suggestionLines_.Count(); ++i) {
    if (i) text += QLatin1Char('\n');
    QString line = ToQ(suggestionLines_.Line(i));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text += line;
  }
  Memocontent->setPlainText(text);
  shownSuggestions_ = suggestionLines_;
}

void TForm_grade_hospital::SelectMemoLine(int line) {
  if (line < 0 || line >= shownSuggestions_.Count()) return;
  Memocontent->SelectLine(line, static_cast<int>(ToQ(shownSuggestions_.Line(line)).size()));
}

void TForm_grade_hospital::Edit1Click() {
  if (SearchText().empty()) return;
  ShowSuggestions(!cb_accurate->isChecked());
  SetPickedValue("");
  Bt_load_dataClick();
}

void TForm_grade_hospital::Edit1DblClick() { ShowSuggestions(false); }

namespace {

std::string LineAt(const MemoLines& lines, int index) {
  return index >= 0 && index < lines.Count() ? std::string(lines.Line(index)) : std::string();
}

}  // namespace

SuggestionClick TForm_grade_hospital::ClickedSuggestion() const {
  const int line = Memocontent->SelectionStartLine();
  return {line, LineAt(shownSuggestions_, line)};
}

void TForm_grade_hospital::MemocontentClick(const SuggestionClick& click) {
  SetPickedValue(PickedValueOf(click.text));
  // The list may have been refilled since the click: mark the line only
  // where it still stands.
  if (LineAt(shownSuggestions_, click.line) == click.text) SelectMemoLine(click.line);
}

void TForm_grade_hospital::MemocontentDblClick(const SuggestionClick& click) {
  Edit1->setText(ToQ(click.text));
  bt_precisionClick();
  ShowSuggestions(false);
}

void TForm_grade_hospital::MemocontentMouseDown(Qt::MouseButton button) {
  if (button == Qt::RightButton) bt_next_stepClick();
}

// --- keyword search ------------------------------------------------------

void TForm_grade_hospital::Edit1KeyUp(int virtualKey) {
  if (virtualKey != kVirtualKeyReturn) return;
  const std::string s = SearchText();
  Save(store::kSettingSearchText, s);
  btn_emptyClick();
  if (cb_accurate->isChecked()) {
    ShowSuggestions(false);
    RunSelect(store::FuzzySearchStatement(ComboBox1->currentIndex(), s));
    const int n = ADOQuery1.RecordCount();
    ProgressBar1->setRange(0, n > 0 ? n : 100);
    // This fill lets no messages run; the new row and the bar are drawn at
    // once instead, so the user sees the criteria arrive.
    for (int row = 1; row <= n; ++row) {
      AppendRecordRow(grid_, row, ADOQuery1);
      asg_hospital->RepaintNow();
      ProgressBar1->setValue(row);
      ProgressBar1->repaint();
      PauseAfterRow();
    }
    ProgressBar1->setValue(0);
  } else {
    ShowSuggestions(!s.empty());
    FilterLineCache(s);
  }
}

// --- serial filter and column stepping -----------------------------------

void TForm_grade_hospital::bt_precisionClick() {
  const std::string s = SearchText();
  std::string n;
  btn_emptyClick();
  if (!s.empty()) {
    const std::string piece = SplitByChar(s, '-')[0];
    ShowSuggestions(true);
    n = (!piece.empty() && !IsSerialNumber(piece)) ? std::string() : piece;
  }
  RunSelect(store::SerialFilterStatement(n, s));
  if (ADOQuery1.RecordCount() == 0) return;
  AppendRecordRow(grid_, 1, ADOQuery1);
}

void TForm_grade_hospital::bt_next_stepClick() {
  const int k = ComboBox1->currentIndex();
  if (k < 1 || k > 7) return;
  const std::string v = TrimBlanks(FromQ(Label1->text()));
  if (v.empty()) return;
  RunSelect(store::SteppingStatement(v));
  const int n = ADOQuery1.RecordCount();
  if (n == 0) return;
  suggestionLines_.Clear();
  cacheLines_.Clear();
  {
    // The selector stays as it is while its columns are walked. Afterwards
    // it is usable again unless show-all mode, which disables it, was chosen
    // meanwhile.
    ComboBox1->setEnabled(false);
    struct Reenable {
      QComboBox* box;
      QRadioButton* showAll;
      ~Reenable() { box->setEnabled(!showAll->isChecked()); }
    } reenable{ComboBox1, RadioButton1};
    HandlerGate::LoopScope loop(gate_);
    for (int i = 0; i < n; ++i) {
      PumpMessages();
      const std::string line = ADOQuery1.Field(0) + "-" + ADOQuery1.Field(k + 1);
      suggestionLines_.Append(line);
      cacheLines_.Append(line);
      ADOQuery1.Next();
    }
  }
  RefreshSuggestionWidget();
  ComboBox1->setCurrentIndex(ComboBox1->currentIndex() + 1);  // by code: no handler runs, the saved field stays
}

// --- mode and option switches --------------------------------------------

void TForm_grade_hospital::RadioButton1Click() {
  if (!RadioButton1->isChecked()) return;
  Save(store::kSettingMode, "0");
  ShowSuggestions(false);
  RadioButton2->setChecked(false);
  ComboBox1->setEnabled(false);
  cb_accurate->setEnabled(false);
  Edit1->setEnabled(false);
  // A click on the button runs this handler before the button has drawn its
  // new state, and it would draw it only when the long fill below is over:
  // both mode buttons show the new mode now.
  RadioButton1->repaint();
  RadioButton2->repaint();
  btn_emptyClick();
  btn_adoqueryClick();
}

void TForm_grade_hospital::RadioButton2Click() {
  if (!RadioButton2->isChecked()) return;
  Save(store::kSettingMode, "1");
  RadioButton1->setChecked(false);
  ComboBox1->setEnabled(true);
  cb_accurate->setEnabled(true);
  Edit1->setEnabled(true);
  btn_emptyClick();
  Edit1->setFocus();
}

void TForm_grade_hospital::cb_accurateClick() {
  ShowSuggestions(false);
  Edit1->clear();
  const char* caption = cb_accurate->isChecked() ? "模糊" : "精确";
  cb_accurate->setText(ToQ(caption));
  Save(store::kSettingMatchKind, caption);
}

void TForm_grade_hospital::ComboBox1Click() {
  Edit1->clear();
  Edit1->setFocus();
  ShowSuggestions(false);
}

void TForm_grade_hospital::ComboBox1Change() {
  ShowSuggestions(false);
  Save(store::kSettingField, std::to_string(ComboBox1->currentIndex()));
  Bt_load_dataClick();
}
