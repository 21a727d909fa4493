#pragma once
// The criteria browser, the program's main window: an operation area (mode
// buttons, field selector, exact/fuzzy switch, search box, command buttons)
// over a display area (the criteria grid and a progress bar). Every control
// carries its component name as objectName.
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "grid/grid_model.h"
#include "browser/handler_gate.h"
#include "browser/line_cache.h"
#include "browser/memo_lines.h"
#include "store/ado.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class CriteriaGridView;
class QtTextMeasurer;
class SearchEdit;
class SuggestionMemo;
class QPlainTextEdit;

// A click on the suggestion list: the line that held the caret, and its text
// as the list showed it, both taken when the click arrived.
struct SuggestionClick {
  int line = -1;
  std::string text;
};

class TForm_grade_hospital : public QWidget {
  Q_OBJECT
 public:
  // Builds the controls and runs the creation handler.
  explicit TForm_grade_hospital(QWidget* parent = nullptr);
  ~TForm_grade_hospital() override;

  // Showing the window runs the show handler first, once, while the window is
  // still invisible.
  void setVisible(bool visible) override;

  // --- components -------------------------------------------------------
  QGroupBox* GroupBox1;
  QGroupBox* GroupBox3;
  QLabel* Label1;
  QComboBox* ComboBox1;
  QCheckBox* cb_accurate;
  QGroupBox* GroupBox4;
  SearchEdit* Edit1;
  QGroupBox* GroupBox5;
  QPushButton* RzBitBtnExcel;
  QPushButton* RzBitBtn1;
  QPushButton* RzBitBtnExit;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QGroupBox* GroupBox2;
  CriteriaGridView* asg_hospital;
  QProgressBar* ProgressBar1;
  // One line under the grid, shown only when the settings cannot be kept in
  // VARN.mdb (it may be read but not changed) and says where they are kept.
  QLabel* StatusNote;
  SuggestionMemo* Memocontent;
  QPlainTextEdit* Memo1;
  QPushButton* btn_adoquery;
  QPushButton* btn_empty;
  QPushButton* btn_combobox;
  QPushButton* bt_initialize;
  QPushButton* Bt_load_data;
  QPushButton* bt_precision;
  QPushButton* bt_next_step;
  store::AdoConnection ADOConnection1;
  store::AdoQuery ADOQuery1{ADOConnection1};

  // --- model behind the controls ----------------------------------------
  GridModel& grid() { return grid_; }
  const LineCache& lineCache() const { return cacheLines_; }
  const MemoLines& suggestionLines() const { return suggestionLines_; }
  HandlerGate& gate() { return gate_; }
  // Replaces the measurer (tests use a deterministic one).
  void SetMeasurer(const TextMeasurer* measurer);
  const std::filesystem::path& ControlFilePath() const { return controlFilePath_; }

  // --- handlers (window events and the operations of hidden buttons) ----
  void FormCreate();
  void ShowSettingsPlace();
  void FormShow();
  void FormResize();
  void FormClose();
  void asg_hospitalClick();
  void btn_emptyClick();
  void btn_comboboxClick();
  void btn_adoqueryClick();
  void bt_initializeClick();
  void Bt_load_dataClick();
  void FilterLineCache(const std::string& searchText);
  void Edit1Click();
  void Edit1DblClick();
  void Edit1KeyUp(int virtualKey);
  SuggestionClick ClickedSuggestion() const;
  void MemocontentClick(const SuggestionClick& click);
  void MemocontentDblClick(const SuggestionClick& click);
  void MemocontentMouseDown(Qt::MouseButton button);
  void bt_precisionClick();
  void bt_next_stepClick();
  void RadioButton1Click();
  void RadioButton2Click();
  void cb_accurateClick();
  void ComboBox1Click();
  void ComboBox1Change();
  void RzBitBtnExcelClick();
  void RzBitBtn1Click();
  void RzBitBtnExitClick();

  // The trimmed search text.
  std::string SearchText() const;
  // Highlights line `line` of the suggestion list.
  void SelectMemoLine(int line);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ConnectEvents();
  void LayoutControls();
  void ShowSuggestions(bool visible);
  void RefreshSuggestionWidget();
  void SetPickedValue(const std::string& value);
  void RunSelect(const std::string& statement);
  void Save(const char* code, const std::string& value);

  GridModel grid_;
  std::unique_ptr<QtTextMeasurer> qtMeasurer_;
  LineCache cacheLines_{"Memocontent"};
  MemoLines suggestionLines_{"Memocontent"};
  // The lines the suggestion list shows on the screen. They are the
  // suggestion lines but while column stepping builds new ones, which the
  // list shows only once the loop is over; a click meanwhile picks from these.
  MemoLines shownSuggestions_{"Memocontent"};
  HandlerGate gate_;
  std::filesystem::path controlFilePath_;
  bool shown_ = false;
  bool taskbarHintWatched_ = false;
  bool exitSequenceRun_ = false;
  bool exporting_ = false;  // an export waits for its office application
};
