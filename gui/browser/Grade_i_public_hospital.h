#pragma once
// The criteria browser, the program's main window: an operation area (mode
// buttons, field selector, exact/fuzzy switch, search box, command buttons)
// over a display area (the criteria grid and a progress bar). The window is
// the view of a BrowserModel, which holds the browser's state and runs its
// operations: the window shows what the model says and passes on what the
// user does. Every control carries as objectName the name the program's
// first version gave it, which tests and the test hooks find it by.
#include <QObject>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "core/browser/browser_model.h"
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

// The Qt event loop as the model pumps it.
class QtEventPump final : public EventPump {
 public:
  void ProcessEvents() override;
  void Later(std::function<void()> task) override;

 private:
  QObject context_;  // a task posted for later dies with the pump
};

class TForm_grade_hospital : public QWidget, private BrowserView {
  Q_OBJECT
 public:
  // Builds the controls, opens the database and sets the model up.
  explicit TForm_grade_hospital(QWidget* parent = nullptr);
  ~TForm_grade_hospital() override;

  // Showing the window runs the model's showing first, once, while the
  // window is still invisible.
  void setVisible(bool visible) override;

  // --- controls (objectName in quotes) -------------------------------------
  QGroupBox* operationArea;     // "GroupBox1", caption "操作区"
  QGroupBox* selectorFrame;     // "GroupBox3": field selector and exact/fuzzy switch
  QComboBox* fieldSelector;     // "ComboBox1": "全部", then one entry per column title
  QCheckBox* fuzzyCheck;        // "cb_accurate": checked is fuzzy ("模糊"), else exact ("精确")
  QGroupBox* searchFrame;       // "GroupBox4"
  SearchEdit* searchBox;        // "Edit1": Enter searches
  QGroupBox* commandFrame;      // "GroupBox5"
  QPushButton* exportButton;    // "RzBitBtnExcel", "导出"
  QPushButton* policyButton;    // "RzBitBtn1", "政策"
  QPushButton* exitButton;      // "RzBitBtnExit", "退出"
  QRadioButton* showAllButton;  // "RadioButton1", "显示全部"
  QRadioButton* retrievalButton;  // "RadioButton2", "检索模式"
  QGroupBox* displayArea;         // "GroupBox2", caption "显示区"
  CriteriaGridView* criteriaGrid;  // "asg_hospital": the view of the model's grid
  QProgressBar* progressBar;       // "ProgressBar1"
  // One line under the grid, shown only when the settings cannot be kept in
  // VARN.mdb (it may be read but not changed) and says where they are kept.
  QLabel* statusNote;              // "StatusNote"
  SuggestionMemo* suggestionList;  // "Memocontent": exact mode's list under the search box
  store::AdoConnection connection;  // VARN.mdb beside the executable
  store::AdoQuery query{connection};  // every select and settings update

  BrowserModel& model() { return model_; }
  // The model's grid, as the window shows it.
  GridModel& grid() { return model_.grid(); }
  // Replaces the measurer (tests use a deterministic one).
  void SetMeasurer(const TextMeasurer* measurer);
  const std::filesystem::path& ControlFilePath() const { return controlFilePath_; }

  // The policy document in its modal viewer.
  void ShowPolicyDocument();
  // The exit sequence, run once whichever way out is taken.
  void Exit();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ConnectEvents();
  void LayoutControls();
  void Create();
  void ShowSettingsPlace();

  // BrowserView
  void ShowTitle(const std::string& title) override;
  void ShowFieldItems(const std::vector<std::string>& items) override;
  void ShowFieldIndex(int index) override;
  void ShowMatchKind(bool fuzzy, const std::string& caption) override;
  void ShowSearchText(const std::string& text) override;
  void ShowMode(DisplayMode mode) override;
  void ShowControlStates(const ControlStates& states) override;
  void FocusSearchBox() override;
  void ShowSuggestionList(bool visible) override;
  void ShowSuggestions(const MemoLines& lines, const std::vector<Highlights>& matches) override;
  void MarkSuggestion(int line) override;
  void ShowProgress(int position, int maximum, bool alsoWindow) override;
  void ShowGridMatches(int row, const std::vector<Highlights>& cells) override;
  void OpenProgressWindow() override;
  void CloseProgressWindow() override;
  void ShowError(const std::string& message) override;
  void Export(bool gridFilling) override;

  QtEventPump pump_;
  BrowserModel model_{query, *this, pump_};
  std::unique_ptr<QtTextMeasurer> qtMeasurer_;
  std::filesystem::path controlFilePath_;
  bool shown_ = false;
  bool taskbarHintWatched_ = false;
  bool exitSequenceRun_ = false;
};
