// The browser model behind a fake window: the settings restore, both kinds
// of keyword search, picking, the serial filter, column stepping, and the
// handlers that wait for a loop.
#include <gtest/gtest.h>

#include <memory>

#include "core/browser/line_cache.h"
#include "tests/browser/fake_browser.h"

using namespace testing_support;

namespace {

// Criteria 1, 2, 12 and 13; 12's content holds a line break.
const Rows kCriteria = {{"1", "p1", "c1", "r1", "医嘱", "t1", "ABC his", "s1", "q1"},
                        {"2", "p2", "c2", "", "护理", "t2", "100% done", "s2", "q2"},
                        {"12", "p12", "c12", "r12", "护理", "t12", "one\r\n-two", "s12", "q12"},
                        {"13", "p13", "c13", "r13", "处方", "t13", "rule", "s13", ""}};
const Texts kExact = {"0", "精确", "", "T", "1"};

Texts Texts8(size_t i) { return Texts(kCriteria[i].begin() + 1, kCriteria[i].end()); }

TEST(BrowserModel, RestoreAppliesEachValueAndRunsTheHandlersOfWhatChanged) {
  struct Case {
    Texts settings;
    std::string locked, switches;
    Texts saved, errors, grid;
  };
  const Case cases[] = {
      {{"3", "模糊", "评分", "标题", "1"}, "", "3 fuzzy 模糊 [评分] 标题 R", {"3", "模糊", "评分", "标题", "1"}, {}, {}},
      // Another caption than exact means fuzzy: the handler saves "模糊", the caption stays.
      {{"0", "x", "a,b", "T", "1"}, "", "0 fuzzy x [a,b] T R", {"0", "模糊", "a,b", "T", "1"}, {}, {}},
      // Exact retrieval runs the serial filter on the restored text.
      {{"0", "精确", "12-abc", "", "1"}, "", "0 exact 精确 [12-abc]  R", {}, {}, {"p12"}},
      {{}, "", "0 exact  []  -", {}, {}, {}},
      {{"x", "模糊"}, "", "0 exact  []  -", {}, {"'x' is not a valid integer value"}, {}},
      {{"12"}, "", "-1 exact  []  -", {}, {}, {}},
      // A failing save ends the restore; the switch shows its new state.
      {{"0", "模糊", "abc", "T", "1"}, "A2", "0 fuzzy 模糊 []  -", {}, {"locked"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    FakeBrowser b(kCriteria, c.settings);
    b.query.lockedCode = c.locked;
    b.query.answers[store::SerialFilterStatement("12", "12-abc")] = {Texts8(2), Texts8(3)};
    b.Show();
    EXPECT_EQ(b.view.Switches(), c.switches);
    if (!c.saved.empty()) EXPECT_EQ(b.query.settings, c.saved);
    EXPECT_EQ(b.view.errors, c.errors);
    EXPECT_EQ(b.Column(1), c.grid);
  }
}

TEST(BrowserModel, ShowAllAtStartLoadsEveryCriterionUnderTheProgressWindow) {
  FakeBrowser b(kCriteria, {"0", "精确", "", "T", "0"});
  std::function<void()> exportDuringLoad = [&] {  // refused once the load has begun
    if (b.model.grid().RowCount() > 1) return b.model.ExportClicked();
    b.view.meanwhile = exportDuringLoad;
  };
  b.view.meanwhile = exportDuringLoad;
  b.Show();
  EXPECT_EQ(b.Column(0), Texts({"1", "2", "3", "4"}));
  EXPECT_EQ(b.Column(1), Texts({"p1", "p2", "p12", "p13"}));
  EXPECT_EQ(b.view.windowOpened + b.view.windowClosed, 2);
  EXPECT_TRUE(b.view.windowBar && b.view.highest == 4 && b.view.position == 0);
  EXPECT_FALSE(b.view.controls.searchBox || b.view.controls.fieldSelector || b.view.controls.fuzzyCheck);
  EXPECT_TRUE(b.view.controls.retrievalButton);
  b.model.ExportClicked();
  EXPECT_EQ(b.view.exports, std::vector<bool>({true, false}));
  const size_t statements = b.query.statements;
  b.model.ShowAllChosen();  // the mode that is on: nothing
  EXPECT_EQ(b.query.statements, statements);
}

TEST(BrowserModel, ExactSearchFiltersTheCacheAndPicksFromTheList) {
  FakeBrowser b(kCriteria, kExact);
  b.Show();
  const size_t statements = b.query.statements;
  b.Type(" abc ");
  EXPECT_EQ(b.query.settings[2], "abc");
  EXPECT_EQ(b.query.statements, statements + 1);  // the save only: no select
  EXPECT_TRUE(b.view.listVisible);
  EXPECT_EQ(b.view.lines, Texts({"1-p1c1r1医嘱t1ABC hiss1q1"}));
  b.Type("two");  // the second line of criterion 12 begins with a dash: no pick
  EXPECT_EQ(b.view.lines, Texts({"-twos12q12"}));
  b.model.SuggestionClicked(0);
  EXPECT_EQ(b.model.PickedValue(), "");
  EXPECT_EQ(b.view.marked, 0);
  b.Type("");
  EXPECT_FALSE(b.view.listVisible);
  b.model.SuggestionClicked(0);
  EXPECT_EQ(b.model.PickedValue(), kNoMatchMessage);
  b.Type("护理");
  ASSERT_TRUE(b.view.listVisible);
  b.model.FuzzyToggled(true);  // empties the box (the saved text stays), hides the list
  EXPECT_EQ(b.view.Switches(), "0 fuzzy 模糊 [] T R");
  EXPECT_EQ(b.query.settings, Texts({"0", "模糊", "护理", "T", "1"}));
  EXPECT_FALSE(b.view.listVisible);
}

TEST(BrowserModel, FuzzySearchFillsTheGridFromItsStatement) {
  FakeBrowser b(kCriteria, {"4", "模糊", "", "T", "1"});
  b.Show();
  b.query.answers[store::FuzzySearchStatement(4, "护理")] = {Texts8(1), Texts8(2)};
  b.Type("  护理\t");
  EXPECT_EQ(b.query.settings[2], "护理");
  EXPECT_EQ(b.Column(0), Texts({"1", "2"}));
  EXPECT_EQ(b.Column(1), Texts({"p2", "p12"}));
  EXPECT_TRUE(!b.view.windowBar && b.view.highest == 2 && b.view.position == 0);
  EXPECT_FALSE(b.view.listVisible);
  b.Type("zzz");  // rejected by the database: reported, the grid already clear
  EXPECT_EQ(b.view.errors, Texts({"syntax error"}));
  EXPECT_EQ(b.model.grid().RowCount(), 1);
  b.model.SearchBoxKeyReleased(65);  // other keys start nothing
  EXPECT_EQ(b.view.errors.size(), 1u);
}

// A fuzzy fill lets events run between rows. What would replace its result
// (a new Enter, a switch, the export) or the window's close ends it before
// its next row and runs after it, never inside it; the rows of an ended fill
// are no result: the export refuses them until the grid is cleared.
TEST(BrowserModel, FuzzyFillIsEndedByWhatReplacesItsResult) {
  FakeBrowser b(kCriteria, {"0", "模糊", "", "T", "1"});
  b.Show();
  b.query.answers[store::FuzzySearchStatement(0, "many")] = Rows(40, Texts8(0));
  b.query.answers[store::FuzzySearchStatement(0, "护理")] = {Texts8(1), Texts8(2)};
  // Runs `act` at the first pump of a fill that finds 3 rows in the grid.
  std::vector<std::unique_ptr<std::function<void()>>> checks;  // live as long as the test
  const auto atRow3 = [&b, &checks](std::function<void()> act) {
    auto* check = checks.emplace_back(std::make_unique<std::function<void()>>()).get();
    *check = [&b, act, check] {
      if (!b.model.GridFilling() || b.model.grid().RowCount() - 1 < 3) b.view.meanwhile = *check;
      else act();
    };
    b.view.meanwhile = *check;
  };
  atRow3([&] {
    b.Type("护理");
    EXPECT_EQ(b.model.grid().RowCount(), 4);  // waits: the fill is not replaced under itself
  });
  b.Type("many");
  EXPECT_EQ(b.Column(1), Texts({"p2", "p12"}));
  EXPECT_EQ(b.query.settings[2], "护理");
  EXPECT_EQ(b.view.position, 0);
  EXPECT_FALSE(b.model.GridCutShort());

  const std::function<void()> ends[] = {
      [&] { b.model.ExportClicked(); }, [&] { b.model.FuzzyToggled(false); },
      [&] { b.model.Closing(); }};
  for (const auto& end : ends) {
    SCOPED_TRACE(&end - ends);
    b.model.FuzzyToggled(true);
    atRow3(end);
    b.Type("many");
    EXPECT_EQ(b.model.grid().RowCount(), 4);
    EXPECT_TRUE(b.model.GridCutShort());
    EXPECT_EQ(b.view.position, 3);  // the bar stands where the fill stopped
  }
  EXPECT_EQ(b.view.exports, std::vector<bool>{true});  // refused as unfinished
  b.model.ExportClicked();
  EXPECT_EQ(b.view.exports, std::vector<bool>({true, true}));
  b.model.FuzzyToggled(false);
  b.Type("ABC");  // clearing the grid leaves nothing unfinished
  EXPECT_FALSE(b.model.GridCutShort());
  EXPECT_EQ(b.view.position, 0);
  EXPECT_TRUE(b.view.errors.empty());
}

// Why a line or a row matched reaches the view: a literal match and one by
// initials, in the suggestion list, and in the grid after a fuzzy search,
// where a match may run across two joined columns.
TEST(BrowserModel, MatchedPartsReachTheView) {
  FakeBrowser b(kCriteria, kExact);
  b.Show();
  b.Type("abc");  // line "1-p1c1r1医嘱t1ABC hiss1q1"
  EXPECT_EQ(b.view.lineMatches, std::vector<Highlights>({{{14, 17}}}));
  b.Type("yz");
  EXPECT_EQ(b.view.lineMatches, std::vector<Highlights>({{{8, 12}}}));
  b.Type("zzz");
  EXPECT_TRUE(b.view.lineMatches.empty());  // the no-match message matched nothing

  b.model.FuzzyToggled(true);
  b.query.answers[store::FuzzySearchStatement(0, "hlt")] = {Texts8(1)};
  b.Type("hlt");  // 护理 in column 4, then t2 in column 5
  std::vector<Highlights> row(9);
  row[4] = {{0, 4}};
  row[5] = {{0, 1}};
  EXPECT_EQ(b.view.gridMatches[1], row);
  b.model.FieldPicked(6);
  b.query.answers[store::FuzzySearchStatement(6, "one")] = {Texts8(2)};
  b.Type("one");  // the chosen column only
  row.assign(9, {});
  row[6] = {{0, 3}};
  EXPECT_EQ(b.view.gridMatches[1], row);
}

TEST(BrowserModel, SerialFilterTakesTheSerialNumberOrSearchesTheWholeText) {
  const std::pair<std::string, std::string> cases[] = {
      {"12-abc", "12"}, {"12", "12"}, {"abc", ""}, {"100.5-x", ""}, {"-12", ""}, {"", ""}};
  for (const auto& [text, serial] : cases) {
    FakeBrowser b(kCriteria, {});
    b.query.answers[store::SerialFilterStatement(serial, text)] = {Texts8(2), Texts8(3)};
    b.model.SearchTextEdited(text);
    b.model.ShowPickedCriterion();
    EXPECT_EQ(b.Column(1), Texts({"p12"})) << text;  // one row, whatever the result
    EXPECT_EQ(b.view.listVisible, !text.empty()) << text;
  }
}

TEST(BrowserModel, SteppingWalksThePickedCriterionsColumnsToTheLast) {
  FakeBrowser b(kCriteria, {"7", "精确", "", "T", "1"});
  b.Show();
  b.Type("12-");
  b.model.SuggestionClicked(0);
  b.query.answers[store::SteppingStatement("12")] = {kCriteria[2]};
  b.model.SuggestionRightPressed();
  EXPECT_EQ(b.view.lines, Texts({"12-q12"}));
  EXPECT_EQ(b.model.lineCache().Count(), 1);
  EXPECT_EQ(b.view.fieldIndex, 8);
  EXPECT_EQ(b.query.settings[0], "7");  // moved, not picked: not saved
  const size_t statements = b.query.statements;
  b.model.SuggestionRightPressed();  // past the last column: nothing
  EXPECT_EQ(b.query.statements, statements);
  // The like case over a picked value that is no serial number; no result
  // changes nothing.
  b.model.FieldPicked(3);
  b.Type("zzz");
  b.model.SuggestionClicked(0);
  b.query.answers[store::SteppingStatement(kNoMatchMessage)] = {};
  b.model.SuggestionRightPressed();
  EXPECT_EQ(b.view.fieldIndex, 3);
  EXPECT_EQ(b.view.lines, Texts({kNoMatchMessage}));
  EXPECT_TRUE(b.view.errors.empty());
}

TEST(BrowserModel, HandlersStartedDuringALoopWaitForIt) {
  FakeBrowser b(kCriteria, kExact);
  b.Show();
  b.view.meanwhile = [&] {  // a field picked while a click rebuilds the cache
    EXPECT_TRUE(b.model.gate().LoopRunning());
    b.model.FieldPicked(2);
    EXPECT_EQ(b.query.settings[0], "0");
  };
  b.model.SearchTextEdited("c");
  b.model.SearchBoxClicked();
  EXPECT_EQ(b.query.settings[0], "2");
  EXPECT_EQ(std::string(b.model.lineCache().Line(0)), "1-c1");
  // Show-all chosen during stepping, its save failing: the selector stays
  // held, the switch shows show-all.
  b.Type("12-");
  b.model.SuggestionClicked(0);
  b.query.answers[store::SteppingStatement("12")] = {kCriteria[2], kCriteria[2]};
  b.query.lockedCode = "A5";
  b.view.meanwhile = [&] {
    b.model.ShowAllChosen();
    EXPECT_FALSE(b.view.controls.fieldSelector);
  };
  b.model.SuggestionRightPressed();
  EXPECT_EQ(b.view.lines, Texts({"12-r12", "12-r12"}));
  EXPECT_EQ(b.view.mode, DisplayMode::ShowAll);
  EXPECT_FALSE(b.view.controls.fieldSelector);
  EXPECT_TRUE(b.view.controls.searchBox);
  EXPECT_EQ(b.view.errors, Texts({"locked"}));
}

}  // namespace
