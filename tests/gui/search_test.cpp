// Searching and remembering through the real controls and a real database:
// the restore reaching the controls, the mouse and keys reaching the model,
// the statements as SQLite runs them, and clicks that arrive while a loop
// lets window messages run. The model's own rules are tested behind a fake
// window in tests/browser.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "gui/base/qt_text.h"
#include "core/browser/line_cache.h"
#include "gui/browser/search_controls.h"
#include "tests/support/browser_fixture.h"

using namespace testing_support;

namespace {

using Settings = std::vector<std::string>;
using Lines = std::vector<std::string>;

std::vector<Criterion> Sample() {
  return {
      {1, {"1", "01.01.0", "病房医师", "病房医嘱处理", "基本", "ABC his entry", "0", "q1"}},
      {2, {"2", "01.02.1", std::nullopt, "医嘱", "基本", "100% done_x", "1", "q2"}},
      {12, {"3", "01.03.2", "病房护士", "护理记录", "选择", "line one\r\nline two", "2", "score12"}},
      {13, {"4", "02.01.3", "门诊医师", "门诊处方", "选择", "O'Brien rule", "3", std::nullopt}},
      {20, {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
            std::nullopt, std::nullopt}},
  };
}

const Settings kExact = {"0", "精确", "", "标题", "1"};
const char* const kNoMatch = "对不起,没有查到您要的内容。";
const Settings kFuzzy = {"0", "模糊", "", "标题", "1"};

// The serial numbers (column 0 of the grid is the running number, so the
// tests read column 1, the item number) of the grid's data rows.
Lines ItemNumbers(BrowserTest& t, GridModel& g) {
  (void)t;
  Lines out;
  for (int r = 1; r < g.RowCount(); ++r) out.push_back(g.Cell(1, r));
  return out;
}

class Restore : public BrowserTest {};

TEST_F(Restore, AppliesEveryValueToItsControl) {
  Open(Sample(), {"3", "模糊", "评分", "我的标题", "1"});
  EXPECT_EQ(w().fieldSelector->currentIndex(), 3);
  EXPECT_TRUE(w().fuzzyCheck->isChecked());
  EXPECT_EQ(FromQ(w().fuzzyCheck->text()), "模糊");
  EXPECT_EQ(FromQ(w().searchBox->text()), "评分");
  EXPECT_EQ(FromQ(w().windowTitle()), "我的标题");
  EXPECT_TRUE(w().retrievalButton->isChecked());
  EXPECT_FALSE(w().showAllButton->isChecked());
  EXPECT_TRUE(w().searchBox->isEnabled());
  // Fuzzy mode: no serial filter ran at start.
  EXPECT_EQ(w().grid().RowCount(), 1);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(Restore, ApostropheInTheSearchTextIsSavedAndRestored) {
  Open(Sample(), kExact);
  TypeSearch("O'Brien");
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(SavedSettings()[2], "O'Brien");
  EXPECT_EQ(SuggestionLines(), Lines({"13-402.01.3门诊医师门诊处方选择O'Brien rule3"}));
  Restart();
  EXPECT_EQ(FromQ(w().searchBox->text()), "O'Brien");
  ASSERT_EQ(w().grid().RowCount(), 2);  // serial filter at start found it by the like case
  EXPECT_EQ(Cell(1, 1), "4");
}

class ExactSearch : public BrowserTest {};

TEST_F(ExactSearch, ShowsMatchingLinesWithWildcardsAsPlainText) {
  Open(Sample(), kExact);
  TypeSearch("100%");
  EXPECT_TRUE(w().suggestionList->isVisible());
  EXPECT_EQ(SuggestionLines(), Lines({"2-201.02.1医嘱基本100% done_x1q2"}));
  TypeSearch("o_e");
  EXPECT_EQ(SuggestionLines(), Lines({kNoMatch}));
}

TEST_F(ExactSearch, DoubleClickShowsThePickedCriterionAlone) {
  Open(Sample(), kExact);
  TypeSearch("病房");
  ASSERT_EQ(SuggestionLines().size(), 2u);
  DoubleClickSuggestion(1);
  EXPECT_EQ(FromQ(w().searchBox->text()), "12-301.03.2病房护士护理记录选择line one");
  ASSERT_EQ(w().grid().RowCount(), 2);
  EXPECT_EQ(Row(1), (Lines{"1", "3", "01.03.2", "病房护士", "护理记录", "选择", "line one\r\nline two",
                           "2", "score12"}));
  EXPECT_FALSE(w().suggestionList->isVisible());
  EXPECT_EQ(SavedSettings()[2], "病房");  // a double click saves nothing
}

TEST_F(ExactSearch, ClickInTheSearchBoxRebuildsAndFilters) {
  Open(Sample(), kExact);
  TypeSearch("q2");
  ExecOnDb(dir_.path(), "update Public_hospital_assessment set scoring_criteria='q2 too' where serrial_number=13");
  TypeSearch("q2");
  EXPECT_EQ(SuggestionLines().size(), 1u);  // Enter answers from the cache as it stands
  Click(w().searchBox);
  EXPECT_EQ(SuggestionLines().size(), 2u);  // a click re-reads the table
  EXPECT_TRUE(w().suggestionList->isVisible());
  EXPECT_EQ(PickedValue(), "");
  DoubleClick(w().searchBox);
  EXPECT_FALSE(w().suggestionList->isVisible());
}

TEST_F(ExactSearch, RightButtonOpensNoContextMenu) {
  Open(Sample(), kExact);
  TypeSearch("ABC");
  // A menu that opened would wait for the user: note it and close it.
  bool menuOpened = false;
  QTimer::singleShot(0, &w(), [&] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      menuOpened = true;
      popup->close();
    }
  });
  QWidget* list = w().suggestionList->viewport();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), list->mapToGlobal(QPoint(5, 5)));
  menu.ignore();  // a new event starts accepted; only the list may accept it
  QApplication::sendEvent(list, &menu);
  Pump();
  EXPECT_TRUE(menu.isAccepted());
  EXPECT_FALSE(menuOpened);
}

TEST_F(ExactSearch, HighlightedLongLineKeepsItsBeginningInView) {
  const std::string longText(300, 'x');
  Open({{7, {"1", longText}}, {8, {"2", longText}}}, {"2", "精确", "", "T", "1"});
  TypeSearch("xxx");
  ASSERT_EQ(SuggestionLines().size(), 2u);
  ClickSuggestion(1);
  EXPECT_EQ(PickedValue(), "8");
  EXPECT_EQ(FromQ(w().suggestionList->textCursor().selectedText()), "8-" + longText);
  EXPECT_EQ(w().suggestionList->horizontalScrollBar()->value(), 0);
}

class FuzzySearch : public BrowserTest {};

TEST_F(FuzzySearch, KeywordInOneColumnOrInAllJoined) {
  Open(Sample(), kFuzzy);
  TypeSearch("病房");
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"1", "3"}));
  EXPECT_EQ(Cell(0, 2), "2");
  EXPECT_FALSE(w().suggestionList->isVisible());
  EXPECT_EQ(w().progressBar->value(), 0);
  // Across the border of two columns: "处理" + "基本".
  TypeSearch("处理基本");
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"1"}));
  PickField(3);
  TypeSearch("病房");
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"1", "3"}));
  PickField(4);
  TypeSearch("病房");
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"1"}));
  TypeSearch("nothing like it");
  EXPECT_EQ(w().grid().RowCount(), 1);
}

TEST_F(FuzzySearch, EmptyTextFindsNullsOrEveryJoinedRow) {
  Open(Sample(), kFuzzy);
  TypeSearch("");
  // Index 0: "%%" matches every row whose joined columns are not all NULL.
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"1", "2", "3", "4"}));
  PickField(3);
  TypeSearch("");
  EXPECT_EQ(w().grid().RowCount(), 3);  // job_role is NULL for 2 and 20
  EXPECT_EQ(Cell(1, 1), "2");
  EXPECT_EQ(Cell(1, 2), "");
}

TEST_F(FuzzySearch, WildcardsAndLetterCase) {
  Open(Sample(), kFuzzy);
  TypeSearch("100%");
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"2"}));
  TypeSearch("o_e");  // "_" is any one character: "done", "line one"
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"2", "3"}));
  TypeSearch("abc HIS");
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"1"}));
}

TEST_F(FuzzySearch, ApostropheIsSearchedNotAnError) {
  Open(Sample(), kFuzzy);
  TypeSearch("O'Brien");
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"4"}));
}

TEST_F(FuzzySearch, OtherKeysStartNothing) {
  Open(Sample(), kFuzzy);
  w().searchBox->setFocus();
  w().searchBox->setText(QStringLiteral("1"));
  QTest::keyClick(w().searchBox, Qt::Key_Tab);
  QTest::keyClick(w().searchBox, Qt::Key_A);
  Pump();
  EXPECT_EQ(w().grid().RowCount(), 1);
  EXPECT_EQ(SavedSettings()[2], "");
}

class LoopsAndLateClicks : public BrowserTest {};

TEST_F(LoopsAndLateClicks, SelectorPickedDuringTheCacheBuildWaitsForIt) {
  Open(SimpleCriteria(40), kExact);
  int cachedWhenPicked = -1;
  bool loopWhenPicked = false;
  // The pick arrives as a window message while the build lets messages run.
  QTimer::singleShot(0, &w(), [&] {
    loopWhenPicked = w().model().gate().LoopRunning();
    cachedWhenPicked = w().model().lineCache().Count();
    PickField(2);
  });
  w().model().RebuildLineCache();
  EXPECT_TRUE(loopWhenPicked);
  EXPECT_LT(cachedWhenPicked, 40);
  // The build ran to its end over its own result (the pick's handler, which
  // runs a statement on the same query, had to wait)...
  EXPECT_EQ(w().model().lineCache().Count(), 40);
  EXPECT_EQ(SavedSettings()[0], "0");
  // ...and the pick ran afterwards: saved, and the cache rebuilt for index 2.
  Pump();
  EXPECT_EQ(SavedSettings()[0], "2");
  EXPECT_EQ(std::string(w().model().lineCache().Line(0)), "1-b1");
  EXPECT_EQ(w().model().lineCache().Count(), 40);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LoopsAndLateClicks, SuggestionClickedDuringARebuildPicksTheLineClicked) {
  Open(SimpleCriteria(30), kExact);
  TypeSearch("a1");  // lines 1, 10 to 19
  ASSERT_EQ(SuggestionLines().size(), 11u);
  // The rebuild will no longer find criterion 11: the click must pick the
  // line it hit, not what stands at that place once the list is refilled.
  ExecOnDb(dir_.path(), "update Public_hospital_assessment set project_number='z' where serrial_number=11");
  QTimer::singleShot(0, &w(), [&] { ClickSuggestion(2); });
  Click(w().searchBox);  // shows the list and rebuilds the cache, letting messages run
  Pump();
  EXPECT_EQ(PickedValue(), "11");
  EXPECT_EQ(SuggestionLines()[2], "12-a12b12c12d12e12f12g12h12");
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LoopsAndLateClicks, SuggestionClickedWhileColumnsAreSteppedPicksTheLineShown) {
  Open(SimpleCriteria(30), {"1", "精确", "", "T", "1"});
  TypeSearch("a1");  // 1-a1, 10-a10 ... 19-a19
  ClickSuggestion(0);
  ASSERT_EQ(PickedValue(), "1");
  // The click arrives while the stepping loop has emptied its stores but the
  // list still shows the lines above.
  QTimer::singleShot(0, &w(), [&] { ClickSuggestion(2); });
  RightPress(w().suggestionList->viewport());
  Pump();
  EXPECT_EQ(PickedValue(), "11");
  EXPECT_EQ(SuggestionLines(), Lines({"1-b1"}));
  EXPECT_EQ(FromQ(w().suggestionList->toPlainText()), "1-b1");
  EXPECT_EQ(w().fieldSelector->currentIndex(), 2);
  EXPECT_TRUE(w().fieldSelector->isEnabled());
  EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
