#include "core/browser/browser_model.h"

#include <optional>

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
  gate_.Run([this, virtualKey] {
    if (virtualKey == kVirtualKeyReturn) Search();
  });
}

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
  gate_.Run([this] {
    if (mode_ != DisplayMode::ShowAll) SetMode(DisplayMode::ShowAll);
  });
}

void BrowserModel::RetrievalChosen() {
  gate_.Run([this] {
    if (mode_ != DisplayMode::Retrieval) SetMode(DisplayMode::Retrieval);
  });
}

void BrowserModel::FuzzyToggled(bool fuzzy) {
  gate_.Run([this, fuzzy] { SetFuzzy(fuzzy); });
}

void BrowserModel::FieldPicked(int index) {
  gate_.Run([this, index] {
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
  gate_.Guarded([this] {
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
    view_.Export(gridFilling_);
  });
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
  HandlerGate::LoopScope loop(gate_);
  ::ClearGrid(grid_, [this] { pump_.ProcessEvents(); });
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

// The fill that both grid loads share: the query's result row by row into
// the just cleared grid, numbered from 1, the progress bar following, a pause
// after every row. The show-all load lets window messages run before each row
// and moves the progress window's bar too; the search load does neither and
// has each row drawn at once instead. Exports are refused while it runs; an
// error inside it leaves them refused, as the bar is left standing.
void BrowserModel::FillFromQuery(bool showAll) {
  const int n = query_.RecordCount();
  view_.ShowProgress(0, n, showAll);
  gridFilling_ = true;
  {
    std::optional<HandlerGate::LoopScope> loop;
    if (showAll) loop.emplace(gate_);
    for (int row = 1; row <= n; ++row) {
      if (showAll) pump_.ProcessEvents();
      AppendRecordRow(grid_, row, query_);
      view_.ShowProgress(row, n, showAll);
      if (!showAll) view_.ShowRowsNow();
      PauseAfterRow();
    }
  }
  view_.ShowProgress(0, n, showAll);
  gridFilling_ = false;
}

void BrowserModel::ShowAllFill() {
  store::RunSelect(query_, store::kShowAllSelect);
  retrievalAllowed_ = false;
  ShowControls();
  FillFromQuery(true);
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
  RefreshSuggestions();
}

void BrowserModel::RefreshSuggestions() {
  shown_ = suggestions_;
  view_.ShowSuggestions(shown_);
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
    FillFromQuery(false);
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
  if (query_.RecordCount() == 0) return;
  AppendRecordRow(grid_, 1, query_);
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
  RefreshSuggestions();
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
