// The browser window after creation and showing, the grid it fills, and the
// error report of a missing database.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "gui/base/error_report.h"
#include "gui/base/qt_text.h"
#include "gui/browser/criteria_grid_view.h"
#include "core/browser/pace.h"
#include "gui/browser/search_controls.h"
#include "tests/support/browser_fixture.h"

using namespace testing_support;

namespace {

const std::vector<std::string> kShowAllSettings = {"0", "精确", "", "标题", "0"};

class BrowserWindow : public BrowserTest {};

TEST_F(BrowserWindow, ShowsOnlyTheOperationAndDisplayAreas) {
  Open(SimpleCriteria(2));
  for (const char* name : {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5",
                           "ComboBox1", "cb_accurate", "Edit1", "RzBitBtnExcel", "RzBitBtn1",
                           "RzBitBtnExit", "RadioButton1", "RadioButton2", "asg_hospital",
                           "ProgressBar1"}) {
    auto* widget = w().findChild<QWidget*>(QLatin1String(name));
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_TRUE(widget->isVisible()) << name;
  }
  // The suggestion list waits for a search; the browser's state lives in
  // its model, not in hidden controls.
  EXPECT_FALSE(w().suggestionList->isVisible());
  for (const char* name : {"btn_adoquery", "btn_empty", "bt_initialize", "Bt_load_data",
                           "bt_precision", "bt_next_step", "Memo1", "Label1"})
    EXPECT_EQ(w().findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
  EXPECT_EQ(FromQ(w().searchBox->toolTip()), "请输入您所需要查找的内容并按回车键显示结果。");
  EXPECT_EQ(FromQ(w().exportButton->text()), "导出");
  EXPECT_EQ(FromQ(w().policyButton->text()), "政策");
  EXPECT_EQ(FromQ(w().exitButton->text()), "退出");
  EXPECT_FALSE(w().exportButton->icon().isNull());
  EXPECT_EQ(FromQ(w().windowTitle()), "测试标题");
}

TEST_F(BrowserWindow, CreationClearsTheGridToItsHeaderAndFillsTheSelector) {
  Create(SimpleCriteria(3));
  GridModel& g = w().grid();
  EXPECT_EQ(g.ColCount(), 9);
  EXPECT_EQ(g.RowCount(), 1);
  EXPECT_EQ(g.FixedRows(), 0);
  EXPECT_EQ(g.FixedCols(), 1);
  EXPECT_EQ(Row(0), (std::vector<std::string>{"序号", "项目序号", "项目代码", "工作角色",
                                              "业务项目", "评价类别", "主要评价内容",
                                              "功能评分", "数据质量评价内容"}));
  const int widths[] = {40, 80, 80, 80, 80, 80, 120, 80, 120};
  for (int c = 0; c < 9; ++c) EXPECT_EQ(g.ColWidth(c), widths[c]) << c;
  std::vector<std::string> items;
  for (int i = 0; i < w().fieldSelector->count(); ++i) items.push_back(FromQ(w().fieldSelector->itemText(i)));
  EXPECT_EQ(items, (std::vector<std::string>{"全部", "项目序号", "项目代码", "工作角色", "业务项目",
                                             "评价类别", "主要评价内容", "功能评分",
                                             "数据质量评价内容"}));
  EXPECT_EQ(w().fieldSelector->currentIndex(), 0);
  EXPECT_EQ(w().ControlFilePath(), FromQ(QString::fromUtf8(dir_.path().c_str())) + "pdfview.ocx");
}

TEST_F(BrowserWindow, ResizingWidensSearchBoxGridAndSuggestionList) {
  Open(SimpleCriteria(1));
  const int edit = w().searchBox->width(), grid = w().criteriaGrid->width();
  EXPECT_EQ(w().suggestionList->width(), edit);
  w().resize(w().width() + 200, w().height() + 100);
  Pump();
  EXPECT_EQ(w().searchBox->width(), edit + 200);
  EXPECT_EQ(w().criteriaGrid->width(), grid + 200);
  EXPECT_EQ(w().suggestionList->width(), edit + 200);
  EXPECT_EQ(w().suggestionList->pos(), QPoint(254, 59));
}

TEST_F(BrowserWindow, ShowAllFillNumbersRowsAndFitsColumnsAndRows) {
  std::vector<Criterion> rows = {
      {1, {"1", "c1", "r", "x", "基本", "short", "3", "q"}},
      {2, {"22", "c2", "r", "x", "基本", "a much longer first line\r\nsecond", "3", "q"}},
      {3, {"3", "c3", "r", "x", "选择", std::string(60, 'w'), "3", std::nullopt}},
  };
  Open(rows, kShowAllSettings);
  GridModel& g = w().grid();
  ASSERT_EQ(g.RowCount(), 4);
  EXPECT_EQ(Row(1), (std::vector<std::string>{"1", "1", "c1", "r", "x", "基本", "short", "3", "q"}));
  EXPECT_EQ(Cell(0, 3), "3");
  EXPECT_EQ(Cell(8, 3), "");  // NULL reads as empty text
  // Every data column: widest first line (header included) + 16.
  const int byteWidth = FixedMeasurer::kByteWidth;
  EXPECT_EQ(g.ColWidth(0), 40);
  EXPECT_EQ(g.ColWidth(1), 8 * byteWidth + 16);   // header "项目序号" (8 bytes)
  EXPECT_EQ(g.ColWidth(6), 60 * byteWidth + 16);  // row 3's 60 bytes beat row 2's first line
  EXPECT_EQ(g.ColWidth(8), 16 * byteWidth + 16);  // header "数据质量评价内容"
  // Row heights: never below 21; a line break grows its row; row 2 keeps the
  // height it got when column 6 was narrower.
  EXPECT_EQ(g.RowHeight(1), 21);
  const int row2Width = 24 * byteWidth + 16;  // column 6 when row 2 was appended
  const int perLine = (row2Width - 8) / byteWidth;
  const int lines = (24 + perLine - 1) / perLine + 1;
  EXPECT_EQ(g.RowHeight(2), std::max(21, lines * FixedMeasurer::kLineHeight + 6));
  EXPECT_GT(g.RowHeight(2), 21);
  EXPECT_EQ(g.RowHeight(3), 21);
  // Both bars back at 0, retrieval button usable again.
  EXPECT_EQ(w().progressBar->value(), 0);
  EXPECT_TRUE(w().retrievalButton->isEnabled());
  EXPECT_TRUE(w().showAllButton->isChecked());
  EXPECT_FALSE(w().searchBox->isEnabled());
  // The view follows the model.
  EXPECT_EQ(w().criteriaGrid->model()->rowCount(), 4);
  EXPECT_EQ(w().criteriaGrid->rowHeight(2), g.RowHeight(2));
  EXPECT_EQ(w().criteriaGrid->columnWidth(5), g.ColWidth(6));
}

TEST_F(BrowserWindow, AlignmentRuleCentresHeaderAndNarrowColumns) {
  for (int col = 0; col < 9; ++col) EXPECT_EQ(GridModel::HorizontalAlignment(col, 0), HAlign::Center);
  for (int col : {0, 1, 2, 3, 5, 7}) {
    EXPECT_EQ(GridModel::HorizontalAlignment(col, 4), HAlign::Center) << col;
    EXPECT_EQ(GridModel::VerticalAlignment(col, 4), VAlign::Center) << col;
  }
  for (int col : {4, 6, 8}) {
    EXPECT_EQ(GridModel::HorizontalAlignment(col, 2), HAlign::Left) << col;
    EXPECT_EQ(GridModel::VerticalAlignment(col, 2), VAlign::Top) << col;
  }
  Open(SimpleCriteria(1), kShowAllSettings);
  auto* model = w().criteriaGrid->model();
  auto align = [&](int row, int viewCol) {
    return model->data(model->index(row, viewCol), Qt::TextAlignmentRole).value<Qt::Alignment>();
  };
  EXPECT_EQ(align(1, 5), Qt::AlignLeft | Qt::AlignTop);          // grid column 6
  EXPECT_EQ(align(1, 0), Qt::AlignHCenter | Qt::AlignVCenter);    // grid column 1
  EXPECT_EQ(align(0, 5), Qt::AlignHCenter | Qt::AlignVCenter);    // header row
}

TEST_F(BrowserWindow, ShowAllOfAnEmptyTableLeavesTheHeader) {
  Open({}, kShowAllSettings);
  EXPECT_EQ(w().grid().RowCount(), 1);
  EXPECT_EQ(w().progressBar->value(), 0);
  EXPECT_TRUE(w().retrievalButton->isEnabled());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(BrowserWindow, ShowAllFillKeepsItsPaceOfFiftyMillisecondsARow) {
  SetRowPauseMsForTests(kRowPauseMs);
  Create(SimpleCriteria(6));
  w().show();
  QElapsedTimer timer;
  timer.start();
  w().showAllButton->setChecked(true);
  EXPECT_GE(timer.elapsed(), 6 * 50);
  EXPECT_EQ(w().grid().RowCount(), 7);
}

TEST_F(BrowserWindow, MissingOrForeignDatabaseIsReportedOnceAndTheWindowStillShows) {
  window_ = std::make_unique<TForm_grade_hospital>();  // no VARN.mdb in the folder
  window_->show();
  Pump();
  ASSERT_EQ(ui_.messages.size(), 1u);  // the show handler adds no second report
  const MessageRequest& report = ui_.messages.front();
  EXPECT_EQ(report.caption, "Kestrowan软件");
  EXPECT_EQ(report.icon, MessageIcon::Error);
  EXPECT_NE(report.text.find("VARN.mdb"), std::string::npos);
  EXPECT_NE(report.text.find("文件不存在或打不开"), std::string::npos) << report.text;
  EXPECT_EQ(WithFullStop(report.text), report.text);  // its own Chinese full stop
  EXPECT_TRUE(w().isVisible());
  EXPECT_EQ(w().fieldSelector->count(), 0);  // the creation stopped before the selector
  EXPECT_FALSE(std::filesystem::exists(dir_.path() + "VARN.mdb"));

  // The hospital's own Access database: read as it is and never written, its
  // title on the window, and the status line says where the settings go.
  window_.reset();
  ui_.messages.clear();
  std::filesystem::copy_file(std::string(ZELVORAN_SOURCE_DIR) + "/tests/data/access/VARN-jet4.mdb",
                             dir_.path() + "VARN.mdb");
  const std::string access = ReadFileBytes(dir_.path() + "VARN.mdb");
  window_ = std::make_unique<TForm_grade_hospital>();
  window_->show();
  Pump();
  EXPECT_TRUE(ui_.messages.empty()) << (ui_.messages.empty() ? "" : ui_.messages[0].text);
  EXPECT_EQ(FromQ(w().windowTitle()), "电子病历系统功能应用水平分级评价标准查询");
  EXPECT_TRUE(w().statusNote->isVisible());
  EXPECT_TRUE(w().statusNote->text().contains(QStringLiteral("Access")));
  EXPECT_TRUE(ReadFileBytes(dir_.path() + "VARN.mdb") == access);
}

// A VARN.mdb that cannot be changed in place (here a folder stands where
// SQLite would put its journal): no message, a status line that says where
// the settings go, and the settings back in VARN.mdb once it can be changed.
TEST_F(BrowserWindow, ADatabaseThatCannotBeChangedKeepsTheSettingsApartAndSaysWhere) {
  CreateVarnDb(dir_.path(), SimpleCriteria(2), {"0", "x", "ab", "T", "1"});
  const std::string journal = dir_.path() + "VARN.mdb-journal";
  std::filesystem::create_directory(journal);
  const std::filesystem::path settings =
      std::filesystem::path(getenv("XDG_DATA_HOME")) / "Zelvoran" / "settings.db";
  // The folder is the user's own, so a VARN.mdb there that cannot be
  // written is worth a word.
  const QString note = ToQ("提示：VARN.mdb 不能写入，设置保存在 ") + FromPath(settings) + ToQ("。");
  window_ = std::make_unique<TForm_grade_hospital>();
  window_->SetMeasurer(&measurer_);
  window_->show();
  Pump();
  // The restore went through: the check box's handler saved A2 on the way.
  EXPECT_TRUE(ui_.messages.empty()) << (ui_.messages.empty() ? "" : ui_.messages[0].text);
  EXPECT_TRUE(w().statusNote->isVisible());
  EXPECT_EQ(w().statusNote->text(), note);
  EXPECT_TRUE(w().fuzzyCheck->isChecked());
  EXPECT_EQ(FromQ(w().searchBox->text()), "ab");
  EXPECT_TRUE(w().retrievalButton->isChecked());
  EXPECT_LE(w().criteriaGrid->geometry().bottom(), w().statusNote->geometry().top());
  PickField(3);
  EXPECT_TRUE(ui_.messages.empty());

  Restart();  // the next start reads what was saved apart
  EXPECT_EQ(w().fieldSelector->currentIndex(), 3);
  EXPECT_EQ(FromQ(w().fuzzyCheck->text()), "模糊");
  EXPECT_TRUE(w().statusNote->isVisible());

  std::filesystem::remove(journal);
  Restart();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(w().statusNote->isVisible());
  EXPECT_EQ(w().fieldSelector->currentIndex(), 3);
  EXPECT_EQ(SavedSettings(), (std::vector<std::string>{"3", "模糊", "ab", "T", "1"}));
  EXPECT_FALSE(std::filesystem::exists(settings));
}

TEST_F(BrowserWindow, GridClickHidesTheSuggestionList) {
  Open(SimpleCriteria(3));
  TypeSearch("a1");
  ASSERT_TRUE(w().suggestionList->isVisible());
  Click(w().criteriaGrid->viewport(), QPoint(60, 5));
  EXPECT_FALSE(w().suggestionList->isVisible());
  // The row numbers belong to the grid too.
  TypeSearch("a2");
  ASSERT_TRUE(w().suggestionList->isVisible());
  Click(w().criteriaGrid->verticalHeader()->viewport(), QPoint(5, 5));
  EXPECT_FALSE(w().suggestionList->isVisible());
}

// Notes, each time a widget is painted, what it showed.
class PaintLog final : public QObject {
 public:
  PaintLog(QWidget* widget, std::function<std::string()> look) : look_(std::move(look)) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) looks.push_back(look_());
    return false;
  }
  bool Saw(const std::string& look) const {
    return std::find(looks.begin(), looks.end(), look) != looks.end();
  }
  std::vector<std::string> looks;

 private:
  std::function<std::string()> look_;
};

TEST_F(BrowserWindow, ModeButtonsShowTheNewModeAsSoonAsTheShowAllFillStarts) {
  Open(SimpleCriteria(5), {"0", "模糊", "", "标题", "1"});  // the grid holds its header only
  // How a button was drawn, and how many grid rows (header included) there
  // were at that moment.
  auto look = [this](QRadioButton* button) {
    return std::string(button->isChecked() ? "on" : "off") + (button->isDown() ? " pressed" : "") +
           ", rows " + std::to_string(w().grid().RowCount());
  };
  PaintLog showAll(w().showAllButton, [&] { return look(w().showAllButton); });
  PaintLog retrieval(w().retrievalButton, [&] { return look(w().retrievalButton); });
  Click(w().showAllButton, QPoint(3, 8));
  ASSERT_EQ(w().grid().RowCount(), 6);
  // Both drawn in the new mode before the first criterion arrived.
  EXPECT_TRUE(showAll.Saw("on, rows 1")) << ::testing::PrintToString(showAll.looks);
  EXPECT_TRUE(retrieval.Saw("off, rows 1")) << ::testing::PrintToString(retrieval.looks);
}

TEST_F(BrowserWindow, FuzzyFillDrawsEachRowAsItArrives) {
  Open(SimpleCriteria(3), {"0", "模糊", "", "标题", "1"});
  QAbstractItemModel* shown = w().criteriaGrid->model();
  // Rows the view holds, and the item number of its last row.
  PaintLog cells(w().criteriaGrid->viewport(), [shown] {
    const int rows = shown->rowCount();
    return std::to_string(rows) + " " + FromQ(shown->index(rows - 1, 0).data().toString());
  });
  PaintLog numbers(w().criteriaGrid->verticalHeader()->viewport(), [shown] {
    const int rows = shown->rowCount();
    return FromQ(shown->headerData(rows - 1, Qt::Vertical).toString());
  });
  TypeSearch("a");
  EXPECT_TRUE(cells.Saw("2 a1"));
  EXPECT_TRUE(cells.Saw("3 a2"));
  EXPECT_TRUE(cells.Saw("4 a3"));
  EXPECT_TRUE(numbers.Saw("1"));
  EXPECT_TRUE(numbers.Saw("2"));
  EXPECT_EQ(w().progressBar->value(), 0);
}

}  // namespace
