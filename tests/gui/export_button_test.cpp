// The export button on the real window: what it writes, and its refusals.
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "base/qt_text.h"
#include "platform/codepage.h"
#include "tests/support/browser_fixture.h"

using namespace testing_support;

namespace {

class ExportButton : public BrowserTest {};

TEST_F(ExportButton, WritesTheGridWithHeaderAndRowNumbers) {
  Open({{7, {"1", "01.01", "医师", "医嘱", "基本", "a,b", "3", "q"}}}, {"0", "模糊", "", "T", "1"});
  TypeSearch("医嘱");
  ASSERT_EQ(w().grid().RowCount(), 2);
  const std::string file = dir_.path() + "out.CSV";
  ui_.nextFileName = file;
  w().RzBitBtnExcel->click();
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(ui_.dialogs[0].initialFolder, std::filesystem::path(dir_.path()) / "Data");
  EXPECT_EQ(ui_.dialogs[0].defaultExtension, "xls");
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "导出成功!");
  EXPECT_EQ(ReadFileBytes(file),
            "序号,项目序号,项目代码,工作角色,业务项目,评价类别,主要评价内容,功能评分,数据质量评价内容\r\n"
            "1,1,01.01,医师,医嘱,基本,\"a,b\",3,q\r\n");
}

TEST_F(ExportButton, HeaderOnlyGridDoesNothingAndALoadIsRefused) {
  Open(SimpleCriteria(5));
  w().grid();
  TypeSearch("zzz");  // exact mode: the grid keeps its header only
  w().RzBitBtnExcel->click();
  EXPECT_TRUE(ui_.dialogs.empty());
  EXPECT_TRUE(ui_.messages.empty());
  // During the show-all fill the bar stands above 0: the click is refused.
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (w().ProgressBar1->value() == 2) w().RzBitBtnExcel->click();
  });
  probe.start(0);
  Click(w().RadioButton1, QPoint(3, 8));
  probe.stop();
  EXPECT_TRUE(ui_.dialogs.empty());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "注意：暂未检索完毕，请稍候导出数据！");
  EXPECT_EQ(ui_.messages[0].caption, "提示");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(w().grid().RowCount(), 6);  // the load went on to its end
}

}  // namespace
