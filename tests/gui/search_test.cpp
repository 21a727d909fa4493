// Searching and remembering, driven through the real controls: the settings
// restore, exact and fuzzy keyword search, picking from the suggestion list,
// the serial filter, column stepping, and the mode and option switches.
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
  EXPECT_EQ(w().ComboBox1->currentIndex(), 3);
  EXPECT_TRUE(w().cb_accurate->isChecked());
  EXPECT_EQ(FromQ(w().cb_accurate->text()), "模糊");
  EXPECT_EQ(FromQ(w().Edit1->text()), "评分");
  EXPECT_EQ(FromQ(w().windowTitle()), "我的标题");
  EXPECT_TRUE(w().RadioButton2->isChecked());
  EXPECT_FALSE(w().RadioButton1->isChecked());
  EXPECT_TRUE(w().Edit1->isEnabled());
  // Fuzzy mode: no serial filter ran at start.
  EXPECT_EQ(w().grid().RowCount(), 1);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(Restore, OtherTextThanExactChecksTheBoxAndKeepsItsOwnCaption) {
  Open(Sample(), {"0", "x", "", "T", "1"});
  EXPECT_TRUE(w().cb_accurate->isChecked());
  EXPECT_EQ(FromQ(w().cb_accurate->text()), "x");
  EXPECT_EQ(SavedSettings()[1], "模糊");  // the check box's handler saved it again
}

TEST_F(Restore, ExactLeavesTheBoxAloneAndRunsTheSerialFilter) {
  Open(Sample(), {"0", "精确", "12-abc", "T", "1"});
  EXPECT_FALSE(w().cb_accurate->isChecked());
  EXPECT_EQ(FromQ(w().Edit1->text()), "12-abc");
  // Exact retrieval mode: the serial filter showed criterion 12.
  ASSERT_EQ(w().grid().RowCount(), 2);
  EXPECT_EQ(Cell(1, 1), "3");
  EXPECT_TRUE(w().Memocontent->isVisible());
}

TEST_F(Restore, SearchTextWithACommaStaysWhole) {
  Open(Sample(), {"0", "精确", "a,b", "标题", "1"});
  EXPECT_EQ(FromQ(w().Edit1->text()), "a,b");
  EXPECT_EQ(FromQ(w().windowTitle()), "标题");
  EXPECT_TRUE(w().RadioButton2->isChecked());
  // And it is saved that way when searched again.
  TypeSearch("c,d");
  Restart();
  EXPECT_EQ(FromQ(w().Edit1->text()), "c,d");
  EXPECT_EQ(FromQ(w().windowTitle()), "标题");
}

TEST_F(Restore, EmptyTableOrEmptyValuesApplyNothing) {
  Open(Sample(), {});
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(w().RadioButton1->isChecked());
  EXPECT_FALSE(w().RadioButton2->isChecked());
  EXPECT_EQ(FromQ(w().windowTitle()), "Form_grade_hospital");
  EXPECT_EQ(w().ComboBox1->currentIndex(), 0);
}

TEST_F(Restore, BadFieldIndexStopsTheRestoreWithAnError) {
  Open(Sample(), {"x", "模糊", "abc", "T", "1"});
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "'x' is not a valid integer value.");
  EXPECT_EQ(ui_.messages[0].caption, "Kestrowan软件");
  EXPECT_FALSE(w().cb_accurate->isChecked());
  EXPECT_TRUE(w().Edit1->text().isEmpty());
  EXPECT_FALSE(w().RadioButton2->isChecked());
  // The rest of the show handler was skipped: no line cache was built.
  EXPECT_EQ(std::string(w().lineCache().Line(0)), "Memocontent");
  EXPECT_TRUE(w().isVisible());
}

TEST_F(Restore, FieldIndexOutOfRangeSelectsNothing) {
  Open(Sample(), {"12", "精确", "", "T", "1"});
  EXPECT_EQ(w().ComboBox1->currentIndex(), -1);
}

TEST_F(Restore, ApostropheInTheSearchTextIsSavedAndRestored) {
  Open(Sample(), kExact);
  TypeSearch("O'Brien");
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(SavedSettings()[2], "O'Brien");
  EXPECT_EQ(SuggestionLines(), Lines({"13-402.01.3门诊医师门诊处方选择O'Brien rule3"}));
  Restart();
  EXPECT_EQ(FromQ(w().Edit1->text()), "O'Brien");
  ASSERT_EQ(w().grid().RowCount(), 2);  // serial filter at start found it by the like case
  EXPECT_EQ(Cell(1, 1), "4");
}

class ExactSearch : public BrowserTest {};

TEST_F(ExactSearch, FoldsAsciiLettersAndShowsMatchingLines) {
  Open(Sample(), kExact);
  TypeSearch("  abc his  ");
  EXPECT_EQ(SavedSettings()[2], "abc his");  // trimmed before saving
  EXPECT_TRUE(w().Memocontent->isVisible());
  EXPECT_EQ(SuggestionLines(), Lines({"1-101.01.0病房医师病房医嘱处理基本ABC his entry0q1"}));
  EXPECT_EQ(w().grid().RowCount(), 1);
  // Wildcards are plain text here.
  TypeSearch("100%");
  EXPECT_EQ(SuggestionLines(), Lines({"2-201.02.1医嘱基本100% done_x1q2"}));
  TypeSearch("o_e");
  EXPECT_EQ(SuggestionLines(), Lines({kNoMatch}));
}

TEST_F(ExactSearch, NoMatchAndEmptyText) {
  Open(Sample(), kExact);
  TypeSearch("zzz");
  EXPECT_EQ(SuggestionLines(), Lines({kNoMatch}));
  ClickSuggestion(0);
  EXPECT_EQ(PickedValue(), kNoMatch);
  TypeSearch("");
  EXPECT_FALSE(w().Memocontent->isVisible());
  EXPECT_EQ(SuggestionLines(), Lines({kNoMatch}));
}

TEST_F(ExactSearch, LineBreakInAFieldSplitsTheCachedLine) {
  Open(Sample(), kExact);
  TypeSearch("line");
  EXPECT_EQ(SuggestionLines(), Lines({"12-301.03.2病房护士护理记录选择line one", "line two2score12"}));
  ClickSuggestion(1);
  EXPECT_EQ(PickedValue(), "line two2score12");
  ClickSuggestion(0);
  EXPECT_EQ(PickedValue(), "12");
  EXPECT_EQ(FromQ(w().Memocontent->textCursor().selectedText()),
            "12-301.03.2病房护士护理记录选择line one");
}

TEST_F(ExactSearch, PickedValueIsTheSerialNumberBeforeTheFirstDash) {
  std::vector<Criterion> rows = {{5, {"-x", "c"}}};
  Open(rows, {"1", "精确", "", "T", "1"});  // selector on the item number
  TypeSearch("x");
  EXPECT_EQ(SuggestionLines(), Lines({"5--x"}));
  ClickSuggestion(0);
  EXPECT_EQ(PickedValue(), "5");
  EXPECT_EQ(PickedValueOf("100.5-x"), "100.5-x");
}

TEST_F(ExactSearch, LineThatStartsWithADashPicksNothingAndStepsNowhere) {
  std::vector<Criterion> rows = {{5, {"1", "a\r\n-b"}}};
  Open(rows, {"2", "精确", "", "T", "1"});  // selector on the item code
  TypeSearch("b");
  ASSERT_EQ(SuggestionLines(), Lines({"-b"}));
  ClickSuggestion(0);
  EXPECT_EQ(PickedValue(), "");
  RightPress(w().Memocontent->viewport());
  EXPECT_EQ(SuggestionLines(), Lines({"-b"}));
  EXPECT_EQ(w().ComboBox1->currentIndex(), 2);
}

TEST_F(ExactSearch, DoubleClickShowsThePickedCriterionAlone) {
  Open(Sample(), kExact);
  TypeSearch("病房");
  ASSERT_EQ(SuggestionLines().size(), 2u);
  DoubleClickSuggestion(1);
  EXPECT_EQ(FromQ(w().Edit1->text()), "12-301.03.2病房护士护理记录选择line one");
  ASSERT_EQ(w().grid().RowCount(), 2);
  EXPECT_EQ(Row(1), (Lines{"1", "3", "01.03.2", "病房护士", "护理记录", "选择", "line one\r\nline two",
                           "2", "score12"}));
  EXPECT_FALSE(w().Memocontent->isVisible());
  EXPECT_EQ(SavedSettings()[2], "病房");  // a double click saves nothing
}

TEST_F(ExactSearch, ClickInTheSearchBoxRebuildsAndFilters) {
  Open(Sample(), kExact);
  TypeSearch("q2");
  ExecOnDb(dir_.path(), "update Public_hospital_assessment set scoring_criteria='q2 too' where serrial_number=13");
  TypeSearch("q2");
  EXPECT_EQ(SuggestionLines().size(), 1u);  // Enter answers from the cache as it stands
  Click(w().Edit1);
  EXPECT_EQ(SuggestionLines().size(), 2u);  // a click re-reads the table
  EXPECT_TRUE(w().Memocontent->isVisible());
  EXPECT_EQ(PickedValue(), "");
  DoubleClick(w().Edit1);
  EXPECT_FALSE(w().Memocontent->isVisible());
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
  QWidget* list = w().Memocontent->viewport();
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
  EXPECT_EQ(FromQ(w().Memocontent->textCursor().selectedText()), "8-" + longText);
  EXPECT_EQ(w().Memocontent->horizontalScrollBar()->value(), 0);
}

class FuzzySearch : public BrowserTest {};

TEST_F(FuzzySearch, KeywordInOneColumnOrInAllJoined) {
  Open(Sample(), kFuzzy);
  TypeSearch("病房");
  EXPECT_EQ(ItemNumbers(*this, w().grid()), Lines({"1", "3"}));
  EXPECT_EQ(Cell(0, 2), "2");
  EXPECT_FALSE(w().Memocontent->isVisible());
  EXPECT_EQ(w().ProgressBar1->value(), 0);
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
  w().Edit1->setFocus();
  w().Edit1->setText(QStringLiteral("1"));
  QTest::keyClick(w().Edit1, Qt::Key_Tab);
  QTest::keyClick(w().Edit1, Qt::Key_A);
  Pump();
  EXPECT_EQ(w().grid().RowCount(), 1);
  EXPECT_EQ(SavedSettings()[2], "");
}

class SerialFilter : public BrowserTest {
 protected:
  void Filter(const std::string& text) {
    w().Edit1->setText(ToQ(text));
    w().bt_precisionClick();
  }
};

TEST_F(SerialFilter, SerialNumberOrLikeOverTheWholeText) {
  Open(Sample(), kExact);
  Filter("12-abc");
  ASSERT_EQ(w().grid().RowCount(), 2);
  EXPECT_EQ(Cell(1, 1), "3");
  EXPECT_TRUE(w().Memocontent->isVisible());
  Filter("12");
  EXPECT_EQ(Cell(1, 1), "3");
  Filter("rule");  // not a serial number: like over everything
  EXPECT_EQ(Cell(1, 1), "4");
  Filter("100.5-x");
  EXPECT_EQ(w().grid().RowCount(), 1);
  Filter("基本");  // several matches: only the first, by serial number
  ASSERT_EQ(w().grid().RowCount(), 2);
  EXPECT_EQ(Cell(1, 1), "1");
  EXPECT_EQ(Cell(0, 1), "1");
  w().Memocontent->hide();
  Filter("");  // "%%": the first criterion; the list keeps its visibility
  EXPECT_EQ(Cell(1, 1), "1");
  EXPECT_FALSE(w().Memocontent->isVisible());
  Filter("-3");
  EXPECT_EQ(w().grid().RowCount(), 1);  // like '%-3%' finds nothing here
}

class Stepping : public BrowserTest {};

TEST_F(Stepping, RightButtonWalksThePickedCriterionsColumns) {
  Open(Sample(), {"7", "精确", "", "T", "1"});
  TypeSearch("12-");
  ClickSuggestion(0);
  ASSERT_EQ(PickedValue(), "12");
  RightPress(w().Memocontent->viewport());
  EXPECT_EQ(SuggestionLines(), Lines({"12-score12"}));
  EXPECT_EQ(w().lineCache().Count(), 1);
  EXPECT_EQ(w().ComboBox1->currentIndex(), 8);
  EXPECT_EQ(SavedSettings()[0], "7");  // moved by code: not saved
  RightPress(w().Memocontent->viewport());
  EXPECT_EQ(SuggestionLines(), Lines({"12-score12"}));
  EXPECT_EQ(w().ComboBox1->currentIndex(), 8);
  // An exact search now runs over the stepped lines only.
  TypeSearch("score");
  EXPECT_EQ(SuggestionLines(), Lines({"12-score12"}));
}

TEST_F(Stepping, DoesNothingAtAllColumnsOrWithoutAPickedValue) {
  Open(Sample(), kExact);
  TypeSearch("ABC");
  ClickSuggestion(0);
  ASSERT_EQ(PickedValue(), "1");
  RightPress(w().Memocontent->viewport());  // index 0, "全部"
  EXPECT_EQ(w().ComboBox1->currentIndex(), 0);
  EXPECT_EQ(SuggestionLines().size(), 1u);
  PickField(2);
  w().Label1->setText(QString());
  RightPress(w().Memocontent->viewport());
  EXPECT_EQ(w().ComboBox1->currentIndex(), 2);
  // A picked value that is not a serial number runs the like case.
  w().Label1->setText(QStringLiteral("rule"));
  w().bt_next_stepClick();
  EXPECT_EQ(SuggestionLines(), Lines({"13-门诊医师"}));
  EXPECT_EQ(w().ComboBox1->currentIndex(), 3);
}

class Switches : public BrowserTest {};

TEST_F(Switches, CheckBoxSavesItsCaptionAndEmptiesTheSearchBox) {
  Open(Sample(), kFuzzy);
  TypeSearch("病房");
  ASSERT_EQ(w().grid().RowCount(), 3);
  Click(w().cb_accurate);
  EXPECT_FALSE(w().cb_accurate->isChecked());
  EXPECT_EQ(FromQ(w().cb_accurate->text()), "精确");
  EXPECT_EQ(SavedSettings()[1], "精确");
  EXPECT_TRUE(w().Edit1->text().isEmpty());
  EXPECT_EQ(SavedSettings()[2], "病房");  // the emptied text is not saved
  EXPECT_EQ(w().grid().RowCount(), 3);     // no search ran
  Click(w().cb_accurate);
  EXPECT_EQ(SavedSettings()[1], "模糊");
}

TEST_F(Switches, FieldSelectorSavesItsIndexAndRebuildsTheCache) {
  Open(Sample(), kExact);
  TypeSearch("ABC");
  w().ComboBox1->setFocus();  // where a user's pick leaves the focus
  PickField(5);
  EXPECT_EQ(SavedSettings()[0], "5");
  EXPECT_TRUE(w().Edit1->text().isEmpty());
  EXPECT_EQ(w().focusWidget(), w().Edit1);
  EXPECT_FALSE(w().Memocontent->isVisible());
  EXPECT_EQ(std::string(w().lineCache().Line(0)), "1-基本");
  EXPECT_EQ(SuggestionLines().size(), 1u);  // not refilled
}

TEST_F(Switches, ModeButtonsSaveAndResetTheGrid) {
  Open(Sample(), kExact);
  Click(w().RadioButton1, QPoint(3, 8));
  EXPECT_TRUE(w().RadioButton1->isChecked());
  EXPECT_EQ(SavedSettings()[4], "0");
  EXPECT_EQ(w().grid().RowCount(), 6);
  EXPECT_FALSE(w().Edit1->isEnabled());
  EXPECT_FALSE(w().ComboBox1->isEnabled());
  EXPECT_FALSE(w().cb_accurate->isEnabled());
  w().Edit1->setText(QStringLiteral("kept"));
  Click(w().RadioButton2, QPoint(3, 8));
  EXPECT_EQ(SavedSettings()[4], "1");
  EXPECT_EQ(w().grid().RowCount(), 1);
  EXPECT_TRUE(w().Edit1->isEnabled());
  EXPECT_EQ(FromQ(w().Edit1->text()), "kept");
  // Clicking the button that is already on does nothing.
  ExecOnDb(dir_.path(), "update record_table set record_name='9' where record_code='A5'");
  TypeSearch("x");
  Click(w().RadioButton2, QPoint(3, 8));
  EXPECT_EQ(SavedSettings()[4], "9");
}

class LoopsAndLateClicks : public BrowserTest {};

TEST_F(LoopsAndLateClicks, SelectorPickedDuringTheCacheBuildWaitsForIt) {
  Open(SimpleCriteria(40), kExact);
  int cachedWhenPicked = -1;
  bool loopWhenPicked = false;
  // The pick arrives as a window message while the build lets messages run.
  QTimer::singleShot(0, &w(), [&] {
    loopWhenPicked = w().gate().LoopRunning();
    cachedWhenPicked = w().lineCache().Count();
    PickField(2);
  });
  w().Bt_load_dataClick();
  EXPECT_TRUE(loopWhenPicked);
  EXPECT_LT(cachedWhenPicked, 40);
  // The build ran to its end over its own result (the pick's handler, which
  // runs a statement on the same query, had to wait)...
  EXPECT_EQ(w().lineCache().Count(), 40);
  EXPECT_EQ(SavedSettings()[0], "0");
  // ...and the pick ran afterwards: saved, and the cache rebuilt for index 2.
  Pump();
  EXPECT_EQ(SavedSettings()[0], "2");
  EXPECT_EQ(std::string(w().lineCache().Line(0)), "1-b1");
  EXPECT_EQ(w().lineCache().Count(), 40);
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
  Click(w().Edit1);  // shows the list and rebuilds the cache, letting messages run
  Pump();
  EXPECT_EQ(PickedValue(), "11");
  EXPECT_EQ(SuggestionLines()[2], "12-a12b12c12d12e12f12g12h12");
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LoopsAndLateClicks, SelectorIsHeldStillWhileColumnsAreStepped) {
  std::vector<Criterion> rows;
  for (int i = 0; i < 30; ++i) rows.push_back({12, {"x", "y", "z"}});
  Open(rows, {"1", "精确", "", "T", "1"});
  TypeSearch("12-");
  ClickSuggestion(0);
  ASSERT_EQ(PickedValue(), "12");
  bool enabledDuringLoop = true;
  QTimer::singleShot(0, &w(), [&] { enabledDuringLoop = w().ComboBox1->isEnabled(); });
  RightPress(w().Memocontent->viewport());
  EXPECT_FALSE(enabledDuringLoop);
  EXPECT_TRUE(w().ComboBox1->isEnabled());
  EXPECT_EQ(w().ComboBox1->currentIndex(), 2);
  EXPECT_EQ(SuggestionLines().size(), 30u);
  EXPECT_EQ(SuggestionLines()[0], "12-y");
}

TEST_F(LoopsAndLateClicks, SuggestionClickedWhileColumnsAreSteppedPicksTheLineShown) {
  Open(SimpleCriteria(30), {"1", "精确", "", "T", "1"});
  TypeSearch("a1");  // 1-a1, 10-a10 ... 19-a19
  ClickSuggestion(0);
  ASSERT_EQ(PickedValue(), "1");
  // The click arrives while the stepping loop has emptied its stores but the
  // list still shows the lines above.
  QTimer::singleShot(0, &w(), [&] { ClickSuggestion(2); });
  RightPress(w().Memocontent->viewport());
  Pump();
  EXPECT_EQ(PickedValue(), "11");
  EXPECT_EQ(SuggestionLines(), Lines({"1-b1"}));
  EXPECT_EQ(FromQ(w().Memocontent->toPlainText()), "1-b1");
  EXPECT_EQ(w().ComboBox1->currentIndex(), 2);
  EXPECT_TRUE(w().ComboBox1->isEnabled());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LoopsAndLateClicks, SelectorStaysDisabledWhenShowAllIsChosenDuringStepping) {
  std::vector<Criterion> rows;
  for (int i = 0; i < 30; ++i) rows.push_back({12, {"x", "y", "z"}});
  Open(rows, {"1", "精确", "", "T", "1"});
  TypeSearch("12-");
  ClickSuggestion(0);
  ASSERT_EQ(PickedValue(), "12");
  // Saving the mode fails, so show-all mode's own handler stops before it
  // disables anything: what stays disabled is up to the stepping.
  ExecOnDb(dir_.path(),
           "CREATE TRIGGER locked BEFORE UPDATE ON record_table WHEN new.record_code = 'A5' "
           "BEGIN SELECT RAISE(ABORT, 'mode is locked'); END;");
  QTimer::singleShot(0, &w(), [&] { Click(w().RadioButton1, QPoint(3, 8)); });
  RightPress(w().Memocontent->viewport());
  Pump();
  EXPECT_TRUE(w().RadioButton1->isChecked());
  EXPECT_FALSE(w().ComboBox1->isEnabled());
  EXPECT_EQ(w().ComboBox1->currentIndex(), 2);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            "数据库文件 " + dir_.path() + "VARN.mdb 出错：数据库不能执行这条语句（mode is locked）。");
}

TEST_F(Restore, FailingSaveOfARestoredSwitchEndsTheRestore) {
  Create(Sample(), {"0", "模糊", "abc", "新标题", "1"});
  ExecOnDb(dir_.path(),
           "CREATE TRIGGER locked BEFORE UPDATE ON record_table WHEN new.record_code = 'A2' "
           "BEGIN SELECT RAISE(ABORT, 'settings are locked'); END;");
  w().show();
  Pump();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "数据库文件 " + dir_.path() +
                                      "VARN.mdb 出错：数据库不能执行这条语句（settings are locked）。");
  EXPECT_TRUE(w().cb_accurate->isChecked());        // the control shows its new state
  EXPECT_TRUE(w().Edit1->text().isEmpty());          // A3 and what follows were not applied
  EXPECT_EQ(FromQ(w().windowTitle()), "Form_grade_hospital");
  EXPECT_FALSE(w().RadioButton2->isChecked());
}

}  // namespace
