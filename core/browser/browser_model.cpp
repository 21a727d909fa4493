#include "core/browser/browser_model.h"

#include <algorithm>
#include <utility>

#include "core/base/Excel_unit.h"
#include "core/browser/grid_ops.h"
#include "core/browser/pace.h"
#include "core/store/settings_record.h"
#include "core/store/statements.h"

namespace {

constexpr const char* kAllFields = "全部";
constexpr const char* kExactCaption = "精确";
constexpr const char* kFuzzyCaption = "模糊";

std::string LineAt(const MemoLines& lines, int index) {
  return index >= 0 && index < lines.Count() ? std::string(lines.Line(index)) : std::string();
}

}  // namespace

BrowserModel::BrowserModel(store::Query& query, BrowserView& view, EventPump& pump)
    : query_(query),
      view_(view),
      pump_(pump),
      gate_(pump, [&view](const std::string& message) { view.ShowError(message); }) {}

// --- the window's life -----------------------------------------------------

void BrowserModel::Create() {
  ClearGrid();
  FillFieldSelector();
}

void BrowserModel::Show() {
  RestoreSettings();
  RebuildLineCache();
  if (!fuzzy_ && mode_ == DisplayMode::Retrieval) ShowPickedCriterion();
  picked_.clear();
  if (searchEnabled_) view_.FocusSearchBox();
}

// --- what the user does ----------------------------------------------------

void BrowserModel::SearchTextEdited(const std::string& text) { searchText_ = text; }

void BrowserModel::SearchBoxClicked() {
  gate_.Run([this] {
    if (SearchText().empty()) return;
    SetSuggestionsVisible(!fuzzy_);
    picked_.clear();
    RebuildLineCache();
  });
}

void BrowserModel::SearchBoxDoubleClicked() {
  gate_.Run([this] { SetSuggestionsVisible(false); });
}

void BrowserModel::SearchBoxKeyReleased(int virtualKey) {
  if (virtualKey != kVirtualKeyReturn) return;  // other keys start nothing
  RunEndingSearchFill([this] { Search(); });
}

// A search fill runs for as long as its result has rows, at a pace a user can
// watch, and lets window messages run meanwhile. What would replace or
// change its result (a new Enter, a mode or option switch, the export) first
// ends it: the handler waits, as every handler waits for a loop, and the fill
// stops before its next row as soon as it sees one waiting.
void BrowserModel::RunEndingSearchFill(std::function<void()> handler) {
  ++endingWaiting_;
  gate_.Run([this, handler = std::move(handler)] {
    --endingWaiting_;
    handler();
  });
}

void BrowserModel::Closing() { closing_ = true; }

BrowserModel::Click BrowserModel::ClickAt(int line) const { return {line, LineAt(shown_, line)}; }

void BrowserModel::SuggestionClicked(int line) {
  gate_.Run([this, click = ClickAt(line)] { PickSuggestion(click); });
}

void BrowserModel::SuggestionDoubleClicked(int line) {
  gate_.Run([this, click = ClickAt(line)] { ShowSuggestionAlone(click); });
}

void BrowserModel::SuggestionRightPressed() {
  gate_.Run([this] { StepColumn(); });
}

void BrowserModel::ShowAllChosen() {
  RunEndingSearchFill([this] {
    if (mode_ != DisplayMode::ShowAll) SetMode(DisplayMode::ShowAll);
  });
}

void BrowserModel::RetrievalChosen() {
  RunEndingSearchFill([this] {
    if (mode_ != DisplayMode::Retrieval) SetMode(DisplayMode::Retrieval);
  });
}

void BrowserModel::FuzzyToggled(bool fuzzy) {
  RunEndingSearchFill([this, fuzzy] { SetFuzzy(fuzzy); });
}

void BrowserModel::FieldPicked(int index) {
  RunEndingSearchFill([this, index] {
    // The pick empties the search box and hides the list, then saves the
    // field and rebuilds the cache for it.
    SetSearchText("");
    view_.FocusSearchBox();
    SetSuggestionsVisible(false);
    fieldIndex_ = index;
    view_.ShowFieldIndex(index);
    Save(store::kSettingField, std::to_string(index));
    RebuildLineCache();
  });
}

void BrowserModel::GridClicked() {
  gate_.Guarded([this] { SetSuggestionsVisible(false); });
}

void BrowserModel::ExportClicked() {
  const auto exportGrid = [this] {
    // The window keeps answering while an office application writes the
    // file: a second click meanwhile is ignored, and searches and mode
    // changes wait until the export ends.
    if (exporting_) return;
    exporting_ = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{exporting_};
    HandlerGate::LoopScope loop(gate_);
    view_.Export(gridFilling_ || gridCutShort_);
  };
  // A search fill ends first, and the rows it left are refused as unfinished.
  // During the show-all fill the export is refused at once and the fill goes on.
  if (searchFillRunning_)
    RunEndingSearchFill(exportGrid);
  else
    gate_.Guarded(exportGrid);
}

// --- settings record -------------------------------------------------------

void BrowserModel::RestoreSettings() {
  // Each settings row is one value, so a value holding a comma stays whole.
  const std::vector<std::string> values = store::ReadSettingsValues(query_);
  for (size_t k = 1; k <= values.size(); ++k) {
    const std::string& v = values[k - 1];
    if (v.empty()) continue;
    if (k == 1) {
      const int index = StrToInt(v);
      fieldIndex_ = index >= 0 && index < static_cast<int>(fieldItems_.size()) ? index : -1;
      view_.ShowFieldIndex(fieldIndex_);
    } else if (k == 2) {
      SetFuzzy(v != kExactCaption);  // a change is handled as the user's own
      matchCaption_ = v;
      view_.ShowMatchKind(fuzzy_, matchCaption_);
    } else if (k == 3) {
      SetSearchText(v);
    } else if (k == 4) {
      view_.ShowTitle(v);
    } else if (v == "0") {
      view_.OpenProgressWindow();
      if (mode_ != DisplayMode::ShowAll) SetMode(DisplayMode::ShowAll);
    } else if (mode_ != DisplayMode::Retrieval) {
      SetMode(DisplayMode::Retrieval);
    }
  }
}

void BrowserModel::Save(const char* code, const std::string& value) {
  store::SaveSetting(query_, code, value);
}

// --- grid ------------------------------------------------------------------

void BrowserModel::ClearGrid() {
  {
    HandlerGate::LoopScope loop(gate_);
    ::ClearGrid(grid_, [this] { pump_.ProcessEvents(); });
  }
  // Nothing of an ended fill is left: its bar goes back too.
  if (std::exchange(gridCutShort_, false)) view_.ShowProgress(0, 0, false);
}

void BrowserModel::FillFieldSelector() {
  fieldItems_.assign(1, kAllFields);
  for (int col = 0; col < grid_.ColCount(); ++col) {
    const std::string& title = grid_.Cell(col, 0);
    if (title != store::kCriteriaColumns[0].title) fieldItems_.push_back(title);
  }
  fieldIndex_ = 0;
  view_.ShowFieldItems(fieldItems_);
  view_.ShowFieldIndex(fieldIndex_);
}

// The fill that the grid's loads share: the query's result row by row into
// the just cleared grid, numbered from 1, window messages let run before each
// row. The show-all and the search fills move the progress bar and pause
// after every row, the show-all fill the progress window's bar too; the
// serial filter takes the first row alone, without either. Exports are
// refused while it runs; an error inside it leaves them refused, as the bar
// is left standing. The show-all fill runs to its end; a search fill or the
// serial filter ends before its next row once a handler that replaces its
// result waits (RunEndingSearchFill) or the window closes. Its rows stay,
// the bar standing where it stopped, and the grid counts as unfinished.
void BrowserModel::FillFromQuery(Fill kind) {
  const bool showAll = kind == Fill::ShowAll, paced = kind != Fill::SerialFilter;
  const int n = paced ? query_.RecordCount() : std::min(query_.RecordCount(), 1);
  // What the search matched is worked out against the text it ran with.
  const std::string searchText = kind == Fill::Search ? SearchText() : std::string();
  if (paced) view_.ShowProgress(0, n, showAll);
  gridFilling_ = true;
  int row = 1;
  {
    HandlerGate::LoopScope loop(gate_);
    struct Running {
      bool& flag;
      ~Running() { flag = false; }
    } running{searchFillRunning_};
    searchFillRunning_ = !showAll;
    for (; row <= n; ++row) {
      pump_.ProcessEvents();
      if (!showAll && (closing_ || endingWaiting_ > 0)) break;
      AppendRecordRow(grid_, row, query_);
      if (kind == Fill::Search) view_.ShowGridMatches(row, GridMatches(row, searchText));
      if (paced) {
        view_.ShowProgress(row, n, showAll);
        PauseAfterRow();
      }
    }
  }
  gridFilling_ = false;
  if (row <= n) {
    gridCutShort_ = true;
    return;
  }
  if (paced) view_.ShowProgress(0, n, showAll);
}

// What the fuzzy statement matched in row `row`: in the one column it
// searched, or in the eight columns joined as the statement joins them, so a
// match may run from one cell into the next.
std::vector<Highlights> BrowserModel::GridMatches(int row, const std::string& searchText) const {
  const int columns = grid_.ColCount();
  std::vector<Highlights> cells(static_cast<size_t>(std::max(columns, 0)));
  const int k = fieldIndex_;
  if (k >= 1 && k <= 8) {
    if (k < columns) cells[k] = MatchSpans(grid_.Cell(k, row), searchText);
    return cells;
  }
  std::string joined;
  std::vector<size_t> starts;  // where cell c begins in the joined text, at c - 1
  for (int c = 1; c < columns; ++c) {
    starts.push_back(joined.size());
    joined += grid_.Cell(c, row);
  }
  starts.push_back(joined.size());
  for (const MatchSpan& span : MatchSpans(joined, searchText)) {
    for (int c = 1; c < columns; ++c) {
      const size_t begin = starts[c - 1], end = starts[c];
      const size_t from = std::max(span.begin, begin), to = std::min(span.end, end);
      if (from < to) cells[c].push_back({from - begin, to - begin});
    }
  }
  return cells;
}

void BrowserModel::ShowAllFill() {
  store::RunSelect(query_, store::kShowAllSelect);
  retrievalAllowed_ = false;
  ShowControls();
  FillFromQuery(Fill::ShowAll);
  view_.CloseProgressWindow();
  retrievalAllowed_ = true;
  ShowControls();
}

// --- line cache and suggestion list ----------------------------------------

std::string BrowserModel::SearchText() const { return TrimBlanks(searchText_); }

void BrowserModel::SetSearchText(const std::string& text) {
  searchText_ = text;
  view_.ShowSearchText(text);
}

void BrowserModel::SetSuggestionsVisible(bool visible) {
  suggestionsVisible_ = visible;
  view_.ShowSuggestionList(visible);
}

void BrowserModel::RebuildLineCache() {
  lineCache_.Clear();
  store::RunSelect(query_, store::kFullSelect);
  const int n = query_.RecordCount();
  {
    HandlerGate::LoopScope loop(gate_);
    for (int i = 0; i < n; ++i) {
      pump_.ProcessEvents();
      lineCache_.Append(CriterionLine(query_, fieldIndex_));
      query_.Next();
    }
  }
  const std::string s = SearchText();
  if (!s.empty()) FilterLineCache(s);
}

void BrowserModel::FilterLineCache(const std::string& searchText) {
  ::FilterLineCache(lineCache_, searchText, suggestions_);
  // Why each line is there; the no-match message matched nothing.
  std::vector<Highlights> matches;
  if (suggestions_.Count() != 1 || suggestions_.Line(0) != kNoMatchMessage) {
    matches.reserve(static_cast<size_t>(suggestions_.Count()));
    for (int i = 0; i < suggestions_.Count(); ++i)
      matches.push_back(MatchSpans(suggestions_.Line(i), searchText));
  }
  RefreshSuggestions(matches);
}

void BrowserModel::RefreshSuggestions(const std::vector<Highlights>& matches) {
  shown_ = suggestions_;
  view_.ShowSuggestions(shown_, matches);
}

void BrowserModel::PickSuggestion(const Click& click) {
  picked_ = PickedValueOf(click.text);
  // The list may have been refilled since the click: mark the line only
  // where it still stands.
  if (LineAt(shown_, click.line) == click.text) view_.MarkSuggestion(click.line);
}

void BrowserModel::ShowSuggestionAlone(const Click& click) {
  SetSearchText(click.text);
  ShowPickedCriterion();
  SetSuggestionsVisible(false);
}

// --- keyword search ----------------------------------------------------------

void BrowserModel::Search() {
  const std::string s = SearchText();
  Save(store::kSettingSearchText, s);
  ClearGrid();
  if (fuzzy_) {
    SetSuggestionsVisible(false);
    store::RunSelect(query_, store::FuzzySearchStatement(fieldIndex_, s));
    FillFromQuery(Fill::Search);
  } else {
    SetSuggestionsVisible(!s.empty());
    FilterLineCache(s);
  }
}

// --- serial filter and column stepping -------------------------------------

void BrowserModel::ShowPickedCriterion() {
  const std::string s = SearchText();
  std::string n;
  ClearGrid();
  if (!s.empty()) {
    const std::string piece = SplitByChar(s, '-')[0];
    SetSuggestionsVisible(true);
    n = (!piece.empty() && !IsSerialNumber(piece)) ? std::string() : piece;
  }
  store::RunSelect(query_, store::SerialFilterStatement(n, s));
  FillFromQuery(Fill::SerialFilter);
}

void BrowserModel::StepColumn() {
  const int k = fieldIndex_;
  if (k < 1 || k > 7) return;
  const std::string v = TrimBlanks(picked_);
  if (v.empty()) return;
  store::RunSelect(query_, store::SteppingStatement(v));
  const int n = query_.RecordCount();
  if (n == 0) return;
  suggestions_.Clear();
  lineCache_.Clear();
  {
    // The field selector stays as it is while its columns are walked.
    stepping_ = true;
    ShowControls();
    struct Release {
      BrowserModel& model;
      ~Release() {
        model.stepping_ = false;
        model.ShowControls();
      }
    } release{*this};
    HandlerGate::LoopScope loop(gate_);
    for (int i = 0; i < n; ++i) {
      pump_.ProcessEvents();
      const std::string line = query_.Field(0) + "-" + query_.Field(k + 1);
      suggestions_.Append(line);
      lineCache_.Append(line);
      query_.Next();
    }
  }
  RefreshSuggestions({});
  // Moved by the model, not picked: the saved field stays.
  fieldIndex_ = k + 1;
  view_.ShowFieldIndex(fieldIndex_);
}

// --- mode and option switches ----------------------------------------------

ControlStates BrowserModel::Controls() const {
  ControlStates states;
  // The selector is also held still by column stepping, and by show-all mode
  // chosen even where saving it failed.
  states.fieldSelector = searchEnabled_ && !stepping_ && mode_ != DisplayMode::ShowAll;
  states.fuzzyCheck = searchEnabled_;
  states.searchBox = searchEnabled_;
  states.retrievalButton = retrievalAllowed_;
  return states;
}

void BrowserModel::ShowControls() { view_.ShowControlStates(Controls()); }

void BrowserModel::SetMode(DisplayMode mode) {
  // The buttons show the new mode before anything else happens, also when
  // saving it fails.
  mode_ = mode;
  view_.ShowMode(mode);
  ShowControls();
  if (mode == DisplayMode::ShowAll)
    EnterShowAll();
  else
    EnterRetrieval();
}

void BrowserModel::EnterShowAll() {
  Save(store::kSettingMode, "0");
  SetSuggestionsVisible(false);
  searchEnabled_ = false;
  ShowControls();
  ClearGrid();
  ShowAllFill();
}

void BrowserModel::EnterRetrieval() {
  Save(store::kSettingMode, "1");
  searchEnabled_ = true;
  ShowControls();
  ClearGrid();
  view_.FocusSearchBox();
}

void BrowserModel::SetFuzzy(bool fuzzy) {
  if (fuzzy == fuzzy_) return;
  // The switch shows its new state before anything else happens.
  fuzzy_ = fuzzy;
  SetSuggestionsVisible(false);
  SetSearchText("");  // not saved: the last search text stays until the next Enter
  matchCaption_ = fuzzy_ ? kFuzzyCaption : kExactCaption;
  view_.ShowMatchKind(fuzzy_, matchCaption_);
  Save(store::kSettingMatchKind, matchCaption_);
}
