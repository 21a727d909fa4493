// Keyword search by pinyin initials ("yzcl" for 医嘱处理), in both modes,
// through the real search box: which criteria a keyword finds.
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include "gui/base/qt_text.h"
#include "core/browser/line_cache.h"
#include "gui/browser/criteria_grid_view.h"
#include "gui/browser/search_controls.h"
#include "tests/support/browser_fixture.h"

using namespace testing_support;

namespace {

using Serials = std::vector<std::string>;

// The item number (column 1) is the serial, so both modes can be read alike.
std::vector<Criterion> Criteria() {
  const auto row = [](int serial, const char* role, const char* project) {
    return Criterion{serial,
                     {std::to_string(serial), "01.0" + std::to_string(serial), role, project,
                      "基本", "说明", "1", std::nullopt}};
  };
  return {
      row(1, "病房医师", "病房医嘱处理"),
      row(2, "信息科", "EMR-01 病历管理"),
      row(3, "行政", "3级：医嘱审核"),
      row(4, "护士", "疝气护理"),  // 疝 is a second-level character
      row(5, "医师", "yz survey"),
      row(6, "检验科", "长期医嘱"),
  };
}

// The serials of the criteria that the exact search lists as suggestions.
Serials SuggestedSerials(TForm_grade_hospital& w) {
  Serials out;
  const MemoLines& lines = w.model().suggestions();
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string line(lines.Line(i));
    if (line != kNoMatchMessage) out.push_back(line.substr(0, line.find('-')));
  }
  return out;
}

// The serials of the criteria that the fuzzy search put into the grid.
Serials GridSerials(TForm_grade_hospital& w) {
  Serials out;
  for (int r = 1; r < w.grid().RowCount(); ++r) out.push_back(w.grid().Cell(1, r));
  return out;
}

class InitialsSearch : public BrowserTest {};

TEST_F(InitialsSearch, KeywordsFindTheirCriteriaInBothModes) {
  struct Case {
    int field;  // selector index: 0 all eight joined, 3 job_role, 4 operational_project
    const char* keyword;
    Serials found;
  };
  const Case cases[] = {
      {0, "EMR-01", {"2"}},             // literal only (not letters only)
      {0, "emr", {"2"}},                // letters stay in the initials and still match literally
      {0, "blgl", {"2"}},               // initials only: 病历管理
      {0, "bfyzcl", {"1"}},             // 病房医嘱处理
      {0, "YZCL", {"1"}},               // letter case folded
      {0, "yz", {"1", "3", "5", "6"}},  // initials, and literally "yz survey"; each once, in order
      {0, "xz", {"3"}},                 // 行政: 行 read as x
      {0, "hz", {"3"}},                 // ... or as h
      {0, "jyz", {"3", "6"}},           // 3级：医嘱 gives 3jyz; 期 of 长期医嘱 is also read ji
      {0, "3jyz", {"3"}},               // digits kept
      {0, "ＣＱ", {"6"}},               // full-width letters folded
      {0, "sqhl", {"4"}},               // second-level 疝
      {0, "cqyz", {"6"}},               // 长期医嘱: 长 as c ...
      {0, "zqyz", {"6"}},               // ... or as z
      {0, "ysbf", {"1"}},               // across two joined columns: 医师 + 病房
      {0, "医嘱", {"1", "3", "6"}},     // Chinese: literal as before
      {0, "yz sh", {}},                 // an inner blank: literal only
      {3, "bfys", {"1"}},               // the chosen column only
      {4, "bfys", {}},
      {4, "ysbf", {}},
  };

  Open(Criteria(), {"0", "精确", "", "标题", "1"});
  for (const bool fuzzy : {false, true}) {
    if (fuzzy) w().fuzzyCheck->setChecked(true);  // as the user ticks it
    ASSERT_EQ(w().fuzzyCheck->isChecked(), fuzzy);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(fuzzy ? "fuzzy" : "exact") + ", field " + std::to_string(c.field) +
                   ", keyword " + c.keyword);
      if (w().fieldSelector->currentIndex() != c.field) PickField(c.field);
      TypeSearch(c.keyword);
      EXPECT_EQ(fuzzy ? GridSerials(w()) : SuggestedSerials(w()), c.found);
      EXPECT_EQ(w().suggestionList->isVisible(), !fuzzy);
    }
  }
  EXPECT_TRUE(ui_.messages.empty());
}

// A keyword of initials saved in exact mode is searched again at start-up as
// the typed search finds it: the list and the grid both show 病房医嘱处理.
TEST_F(InitialsSearch, ExactModeRestoreFindsByInitials) {
  Open(Criteria(), {"0", "精确", "yzcl", "标题", "1"});
  EXPECT_EQ(SuggestedSerials(w()), Serials{"1"});
  EXPECT_EQ(GridSerials(w()), Serials{"1"});
  EXPECT_TRUE(ui_.messages.empty());
}

// What the list and the grid show of why a criterion matched: the matched
// characters marked, and a line whose match lies beyond the list's width
// shortened before the match so that it is in view.
TEST_F(InitialsSearch, MatchedCharactersAreMarkedAndInView) {
  std::vector<Criterion> criteria = Criteria();
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "说明";
  criteria.push_back({7, {"7", "01.07", "医师", longText + "医嘱", "基本", "", "1", std::nullopt}});
  Open(criteria, {"0", "精确", "", "标题", "1"});
  TypeSearch("yz");
  Pump();
  QPlainTextEdit& list = *w().suggestionList;
  // The marked parts of each line of the list, as the user reads them.
  std::vector<QString> marked;
  for (QTextBlock block = list.document()->begin(); block.isValid(); block = block.next())
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
      if (range.format.background() == MatchFormat().background())
        marked.push_back(block.text().mid(range.start, range.length));
  EXPECT_EQ(marked, std::vector<QString>({ToQ("医嘱"), ToQ("医嘱"), ToQ("yz"), ToQ("医嘱"),
                                          ToQ("医嘱")}));
  const QString last = list.document()->lastBlock().text();
  EXPECT_TRUE(last.startsWith(ToQ("7-…说明"))) << FromQ(last);
  EXPECT_LT(list.fontMetrics().horizontalAdvance(last.left(last.indexOf(ToQ("医嘱")) + 2)),
            list.viewport()->width());

  // The grid after a fuzzy search: the cell's matched characters are drawn marked.
  w().fuzzyCheck->setChecked(true);
  TypeSearch("yzcl");
  ASSERT_EQ(GridSerials(w()), Serials{"1"});
  const TextRanges* ranges = w().criteriaGrid->MatchesAt(4, 1);
  ASSERT_TRUE(ranges && ranges->size() == 1u);
  EXPECT_EQ(ToQ("病房医嘱处理").mid(ranges->front().start, ranges->front().length), ToQ("医嘱处理"));
  const QImage shown = w().criteriaGrid->viewport()->grab().toImage();
  int markedPixels = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      markedPixels += shown.pixelColor(x, y) == MatchFormat().background().color();
  EXPECT_GT(markedPixels, 50);
}

}  // namespace
