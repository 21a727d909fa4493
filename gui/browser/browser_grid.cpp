// The browser's grid operations: clearing, filling the field selector, and
// the show-all fill.
#include <QComboBox>
#include <QElapsedTimer>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "gui/export/Excel_unit_export.h"
#include "gui/base/qt_text.h"
#include "gui/browser/Grade_i_public_hospital.h"
#include "gui/browser/criteria_grid_view.h"
#include "core/browser/grid_ops.h"
#include "core/browser/pace.h"
#include "core/store/statements.h"
#include "platform/dispatch.h"
#include "gui/windows/Unit1.h"

namespace {

// A bar whose range is 0..0 would show Qt's busy animation; an empty fill
// keeps the idle range instead.
void SetBarMaximum(QProgressBar* bar, int n) { bar->setRange(0, n > 0 ? n : 100); }

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

void TForm_grade_hospital::btn_emptyClick() {
  {
    HandlerGate::LoopScope loop(gate_);
    ClearGrid(grid_, PumpMessages);
  }
  btn_adoquery->hide();
}

void TForm_grade_hospital::btn_comboboxClick() {
  ComboBox1->clear();
  ComboBox1->addItem(ToQ("全部"));
  for (int col = 0; col < grid_.ColCount(); ++col) {
    const std::string& title = grid_.Cell(col, 0);
    if (title != "序号") ComboBox1->addItem(ToQ(title));
  }
  ComboBox1->setCurrentIndex(0);
}

void TForm_grade_hospital::RunSelect(const std::string& statement) {
  ADOQuery1.Close();
  ADOQuery1.ClearSql();
  ADOQuery1.AddSql(statement);
  ADOQuery1.Open();
}

void TForm_grade_hospital::btn_adoqueryClick() {
  RunSelect(store::kShowAllSelect);
  RadioButton2->setEnabled(false);
  const int n = ADOQuery1.RecordCount();
  SetBarMaximum(ProgressBar1, n);
  if (Form1) SetBarMaximum(Form1->ProgressBar1, n);
  {
    HandlerGate::LoopScope loop(gate_);
    for (int r = 1; r <= n; ++r) {
      PumpMessages();
      AppendRecordRow(grid_, r, ADOQuery1);
      ProgressBar1->setValue(r);
      if (Form1) Form1->ProgressBar1->setValue(r);
      PauseAfterRow();
    }
  }
  ProgressBar1->setValue(0);
  if (Form1) Form1->ProgressBar1->setValue(0);
  if (Form1) Form1->Button1Click();
  RadioButton2->setEnabled(true);
}

void TForm_grade_hospital::RzBitBtnExcelClick() {
  // The window keeps painting and answering while an office application
  // writes the file; a second click on the button meanwhile is ignored.
  if (exporting_) return;
  ExportLook look;
  const QPalette colours = asg_hospital->palette();
  look.windowColor = colours.color(QPalette::Base).rgb() & 0xFFFFFF;
  look.windowTextColor = colours.color(QPalette::Text).rgb() & 0xFFFFFF;
  const int progress = ProgressBar1->value();
  exporting_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{exporting_};
  // The export reads the grid: searches and mode changes wait until it ends.
  HandlerGate::LoopScope loop(gate_);
  ExportNote note(ProgressBar1);
  platform::AutomationIdleScope idle([&note] {
    note.Update();
    PumpMessages();
  });
  ExportButtonClick(grid_, progress, [this] { ShowSuggestions(false); }, look);
}
