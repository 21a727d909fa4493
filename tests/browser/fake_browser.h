#pragma once
// A browser model with nothing around it: a query that answers from tables
// the test gives it (and keeps the settings rows), a view that keeps what it
// was told to show, and an event pump that runs what the test lets happen
// "meanwhile". Qt-free, so the model's tests run on Windows too.
#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/browser/browser_model.h"
#include "core/browser/pace.h"
#include "core/store/statements.h"
#include "tests/support/fixed_measurer.h"

namespace testing_support {

using Texts = std::vector<std::string>;
using Rows = std::vector<Texts>;

class FakeQuery final : public store::Query {
 public:
  std::map<std::string, Rows> answers;  // select text -> result; others fail
  Texts settings;                       // A1, A2, ... in order
  std::string lockedCode;               // its update fails
  size_t statements = 0;
  Texts run;  // every statement, in order

  // Criteria: serial number, then the eight text columns.
  void SetCriteria(const Rows& rows) {
    Rows texts;
    for (const auto& r : rows) texts.emplace_back(r.begin() + 1, r.end());
    answers[store::kFullSelect] = rows;
    answers[store::kShowAllSelect] = answers[store::SerialFilterStatement("", "")] = texts;
  }
  void Close() override { rows_.clear(), at_ = 0; }
  void SetSql(std::string text) override { sql_ = std::move(text); }
  void Open() override {
    ++statements;
    run.push_back(sql_);
    if (sql_ != store::kSettingsSelect && !answers.count(sql_)) throw std::runtime_error("syntax error");
    rows_.clear();
    for (const auto& v : settings) rows_.push_back({v});
    if (sql_ != store::kSettingsSelect) rows_ = answers[sql_];
  }
  void ExecSQL() override {  // a settings update: its value between head and tail
    ++statements;
    run.push_back(sql_);
    for (size_t k = 0; k < settings.size(); ++k) {
      const std::string code = "A" + std::to_string(k + 1), both = store::SettingsUpdate(code, "\x01");
      const size_t head = both.find('\x01'), tail = both.size() - head - 1;
      if (sql_.compare(0, head, both, 0, head) || !sql_.ends_with(both.substr(head + 1))) continue;
      if (code == lockedCode) throw std::runtime_error("locked");
      settings[k] = sql_.substr(head, sql_.size() - head - tail);
    }
  }
  int RecordCount() const override { return static_cast<int>(rows_.size()); }
  void First() override { at_ = 0; }
  void Next() override { ++at_; }
  bool Eof() const override { return at_ >= rows_.size(); }
  int FieldCount() const override { return rows_.empty() ? 0 : static_cast<int>(rows_[0].size()); }
  std::string Field(int i) const override { return rows_.at(at_).at(static_cast<size_t>(i)); }

 private:
  std::string sql_;
  Rows rows_;
  size_t at_ = 0;
};

struct FakeView final : BrowserView, EventPump {
  std::string title, caption, searchText;
  Texts items, lines, errors;
  int fieldIndex = 0, marked = -1, position = 0, highest = 0, maximum = 0, windowOpened = 0,
      windowClosed = 0, pumps = 0;
  bool fuzzy = false, listVisible = false, windowBar = false;
  DisplayMode mode = DisplayMode::None;
  ControlStates controls;
  std::vector<bool> exports;        // one per export, true where a fill ran
  std::function<void()> meanwhile;  // runs at the next pump, once
  std::vector<std::function<void()>> later;
  std::vector<Highlights> lineMatches;
  std::map<int, std::vector<Highlights>> gridMatches;  // by grid row

  // The switches, the search box and the title as a user reads them.
  std::string Switches() const {
    return std::to_string(fieldIndex) + (fuzzy ? " fuzzy " : " exact ") + caption + " [" +
           searchText + "] " + title + " " + "-SR"[static_cast<int>(mode)];
  }
  void ShowTitle(const std::string& t) override { title = t; }
  void ShowFieldItems(const Texts& i) override { items = i; }
  void ShowFieldIndex(int i) override { fieldIndex = i; }
  void ShowMatchKind(bool f, const std::string& c) override { fuzzy = f, caption = c; }
  void ShowSearchText(const std::string& t) override { searchText = t; }
  void ShowMode(DisplayMode m) override { mode = m; }
  void ShowControlStates(const ControlStates& c) override { controls = c; }
  void FocusSearchBox() override {}
  void ShowSuggestionList(bool v) override { listVisible = v; }
  void ShowSuggestions(const MemoLines& m, const std::vector<Highlights>& h) override {
    lineMatches = h;
    lines.clear();
    for (int i = 0; i < m.Count(); ++i) lines.emplace_back(m.Line(i));
  }
  void MarkSuggestion(int line) override { marked = line; }
  void ShowProgress(int p, int m, bool w) override {
    position = p, maximum = m, windowBar = w, highest = std::max(highest, p);
  }
  void ShowGridMatches(int row, const std::vector<Highlights>& cells) override {
    gridMatches[row] = cells;
  }
  void OpenProgressWindow() override { ++windowOpened; }
  void CloseProgressWindow() override { ++windowClosed; }
  void ShowError(const std::string& m) override { errors.push_back(m); }
  void Export(bool filling) override { exports.push_back(filling); }
  void ProcessEvents() override {
    ++pumps;
    if (auto task = std::exchange(meanwhile, nullptr)) task();
  }
  void Later(std::function<void()> task) override { later.push_back(std::move(task)); }
};

// The model over a fake query and view, its grid measured by FixedMeasurer.
struct FakeBrowser {
  FakeQuery query;
  FakeView view;
  FixedMeasurer measurer;
  BrowserModel model{query, view, view};

  FakeBrowser(const Rows& criteria, Texts settings) {
    query.SetCriteria(criteria);
    query.settings = std::move(settings);
    model.grid().SetMeasurer(&measurer);
    SetRowPauseMsForTests(0);
    model.Create();
  }
  ~FakeBrowser() { SetRowPauseMsForTests(kRowPauseMs); }
  void Show() {
    model.gate().Run([this] { model.Show(); });
  }
  void Type(const std::string& text) {
    model.SearchTextEdited(text);
    model.SearchBoxKeyReleased(kVirtualKeyReturn);
  }
  Texts Column(int c) const {  // column c of the grid's data rows
    Texts out;
    for (int r = 1; r < model.grid().RowCount(); ++r) out.push_back(model.grid().Cell(c, r));
    return out;
  }
};

}  // namespace testing_support
