#pragma once
// The criteria browser's state and operations, without a window: the
// settings restore and saves, the show-all fill, the keyword search in both
// modes, the line cache and suggestion list, the serial filter, column
// stepping, the mode and option switches, the export guard and the progress
// window's part. The window (a BrowserView) shows what the model says and
// passes on what the user does through the event calls below; the model
// runs every statement on one query.
#include <functional>
#include <string>
#include <vector>

#include "core/browser/browser_view.h"
#include "core/browser/handler_gate.h"
#include "core/browser/line_cache.h"
#include "core/browser/memo_lines.h"
#include "core/grid/grid_model.h"
#include "core/store/query.h"

class BrowserModel {
 public:
  BrowserModel(store::Query& query, BrowserView& view, EventPump& pump);
  BrowserModel(const BrowserModel&) = delete;
  BrowserModel& operator=(const BrowserModel&) = delete;

  // --- the window's life ------------------------------------------------
  // At creation, once the database is open: the grid cleared to its header,
  // the field selector filled from it.
  void Create();
  // At the first showing: the settings restored, the line cache built, the
  // serial filter run in exact retrieval mode, the search box focused.
  void Show();

  // --- what the user does (each runs as one handler, deferred while a loop
  // lets messages run; a new Enter, a mode or option switch and the export
  // button first end a search fill that runs) ---------------------------
  void SearchTextEdited(const std::string& text);  // stored at once, never deferred
  void SearchBoxClicked();
  void SearchBoxDoubleClicked();
  void SearchBoxKeyReleased(int virtualKey);
  // `line` is the suggestion line that held the caret when the click came.
  void SuggestionClicked(int line);
  void SuggestionDoubleClicked(int line);
  void SuggestionRightPressed();
  void ShowAllChosen();
  void RetrievalChosen();
  void FuzzyToggled(bool fuzzy);
  void FieldPicked(int index);
  void GridClicked();
  // The export button: ignored while an export runs; otherwise the export
  // command runs, told whether a grid fill is under way, with the search
  // handlers deferred until it ends.
  void ExportClicked();
  void HideSuggestionList() { SetSuggestionsVisible(false); }
  // The window closes: a search fill that runs ends before its next row, and
  // none starts after.
  void Closing();

  // --- operations --------------------------------------------------------
  void RestoreSettings();
  void ClearGrid();
  void FillFieldSelector();
  void ShowAllFill();
  void RebuildLineCache();
  void FilterLineCache(const std::string& searchText);
  void Search();                // Enter in the search box
  void ShowPickedCriterion();   // the serial filter
  void StepColumn();            // column stepping

  // --- state, as the window shows it ------------------------------------
  const GridModel& grid() const { return grid_; }
  GridModel& grid() { return grid_; }
  const LineCache& lineCache() const { return lineCache_; }
  const MemoLines& suggestions() const { return suggestions_; }
  std::string SearchText() const;  // trimmed
  const std::string& PickedValue() const { return picked_; }
  int FieldIndex() const { return fieldIndex_; }
  bool Fuzzy() const { return fuzzy_; }
  DisplayMode Mode() const { return mode_; }
  bool SuggestionsVisible() const { return suggestionsVisible_; }
  bool GridFilling() const { return gridFilling_; }
  // The grid holds the rows of a search fill that was ended before its last
  // row; exports refuse it until the grid is cleared.
  bool GridCutShort() const { return gridCutShort_; }
  ControlStates Controls() const;
  HandlerGate& gate() { return gate_; }

 private:
  struct Click {
    int line;
    std::string text;
  };
  Click ClickAt(int line) const;
  void PickSuggestion(const Click& click);
  void ShowSuggestionAlone(const Click& click);
  void SetSearchText(const std::string& text);
  void SetSuggestionsVisible(bool visible);
  void SetMode(DisplayMode mode);
  void SetFuzzy(bool fuzzy);
  void EnterShowAll();
  void EnterRetrieval();
  void RefreshSuggestions(const std::vector<Highlights>& matches);
  void ShowControls();
  void Save(const char* code, const std::string& value);
  enum class Fill { ShowAll, Search, SerialFilter };
  void FillFromQuery(Fill kind);
  void RunEndingSearchFill(std::function<void()> handler);
  std::vector<Highlights> GridMatches(int row, const std::string& searchText) const;

  store::Query& query_;
  BrowserView& view_;
  EventPump& pump_;
  HandlerGate gate_;
  GridModel grid_;

  std::vector<std::string> fieldItems_;
  int fieldIndex_ = -1;
  bool fuzzy_ = false;
  std::string matchCaption_ = "精确";  // the switch's caption, saved as it reads
  std::string searchText_;  // as typed, untrimmed
  DisplayMode mode_ = DisplayMode::None;
  bool gridFilling_ = false;  // a grid fill is under way: exports are refused
  bool gridCutShort_ = false;
  bool searchFillRunning_ = false;  // a fuzzy fill or serial filter: ended by what replaces it
  int endingWaiting_ = 0;  // handlers that end a search fill, waiting for it to end
  bool closing_ = false;
  bool stepping_ = false;     // column stepping holds the field selector still
  bool exporting_ = false;
  bool searchEnabled_ = true;     // the search controls take input
  bool retrievalAllowed_ = true;  // off while the show-all fill runs

  // The line cache and the suggestion list start with the text their memos
  // are designed with.
  LineCache lineCache_{"Memocontent"};
  MemoLines suggestions_{"Memocontent"};
  // The lines the list shows. They are the suggestion lines but while column
  // stepping builds new ones, which the list shows once the loop is over; a
  // click meanwhile picks from these.
  MemoLines shown_{"Memocontent"};
  bool suggestionsVisible_ = false;
  std::string picked_;  // serial number of the suggestion last clicked
};
