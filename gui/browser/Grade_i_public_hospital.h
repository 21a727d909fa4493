#pragma once
// The criteria browser, the program's main window: an operation area (mode
// buttons, field selector, exact/fuzzy switch, search box, command buttons)
// over a display area (the criteria grid and a progress bar). Every control
// carries its component name as objectName.
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "core/grid/grid_model.h"
#include "gui/browser/handler_gate.h"
#include "core/browser/line_cache.h"
#include "core/browser/memo_lines.h"
#include "core/store/ado.h"

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

  // --- components, in the order the window declares them ---------------
  QGroupBox* GroupBox1;     // "操作区", the operation area at the top
  QGroupBox* GroupBox3;     // holds the field selector and the exact/fuzzy switch
  QLabel* Label1;           // hidden; holds the picked suggestion line's value
  QComboBox* ComboBox1;     // the field selector: "全部", then one entry per column title
  // The exact/fuzzy switch. Checked means FUZZY (caption "模糊": an SQL like
  // query into the grid); unchecked means exact (caption "精确": the
  // suggestion list over the cached lines). The caption is saved as a setting.
  QCheckBox* cb_accurate;
  QGroupBox* GroupBox4;     // holds the search box
  SearchEdit* Edit1;        // the search box; Enter searches
  QGroupBox* GroupBox5;     // holds the command buttons
  QPushButton* RzBitBtnExcel;  // "导出", export the grid
  QPushButton* RzBitBtn1;      // "政策", the policy viewer
  QPushButton* RzBitBtnExit;   // "退出", the exit sequence
  QRadioButton* RadioButton1;  // "显示全部", show every criterion
  QRadioButton* RadioButton2;  // "检索模式", retrieval by keyword
  QGroupBox* GroupBox2;        // "显示区", the display area
  CriteriaGridView* asg_hospital;  // the criteria grid (the view of grid())
  QProgressBar* ProgressBar1;      // advanced while the grid fills
  // One line under the grid, shown only when the settings cannot be kept in
  // VARN.mdb (it may be read but not changed) and says where they are kept.
  QLabel* StatusNote;
  SuggestionMemo* Memocontent;  // the suggestion list of exact mode, under the search box
  QPlainTextEdit* Memo1;        // hidden; never shown
  // Hidden buttons that exist for their click handlers, which the other
  // handlers call as operations:
  QPushButton* btn_adoquery;   // "查询": load every criterion into the grid
  QPushButton* btn_empty;      // "清空数据": empty the grid to its header row
  QPushButton* btn_combobox;   // "赋值combobox数据": fill the field selector from the titles
  QPushButton* bt_initialize;  // "初始化": apply the saved settings
  QPushButton* Bt_load_data;   // "加载数据": rebuild the cached lines of exact mode
  QPushButton* bt_precision;   // "点击过滤(精确)": show the picked criterion (or the matches) in the grid
  QPushButton* bt_next_step;   // "下一步": step the suggestion list through the picked criterion's columns
  store::AdoConnection ADOConnection1;  // VARN.mdb beside the executable
  store::AdoQuery ADOQuery1{ADOConnection1};  // every select and settings update

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
