// The export button on the real window: what it writes, and its refusals.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include <QProgressBar>
#include <QString>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "gui/base/qt_text.h"
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
  w().exportButton->click();
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
  w().exportButton->click();
  EXPECT_TRUE(ui_.dialogs.empty());
  EXPECT_TRUE(ui_.messages.empty());
  // During the show-all fill the bar stands above 0: the click is refused.
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (w().progressBar->value() == 2) w().exportButton->click();
  });
  probe.start(0);
  Click(w().showAllButton, QPoint(3, 8));
  probe.stop();
  EXPECT_TRUE(ui_.dialogs.empty());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "注意：暂未检索完毕，请稍候导出数据！");
  EXPECT_EQ(ui_.messages[0].caption, "提示");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(w().grid().RowCount(), 6);  // the load went on to its end
}

// While the office application writes the file, the window goes on
// painting and answering: the stand-in office suite waits until the test,
// running from the window's own event loop, has looked at the window.
TEST_F(ExportButton, TheWindowAnswersWhileTheOfficeApplicationWrites) {
  Open({{7, {"1", "01.01", "医师", "医嘱", "基本", "a,b", "3", "q"}}}, {"0", "模糊", "", "T", "1"});
  TypeSearch("医嘱");
  ASSERT_EQ(w().grid().RowCount(), 2);
  const std::string bin = dir_.path() + "bin/";
  std::filesystem::create_directory(bin);
  std::ofstream(bin + "soffice")
      << "#!/bin/sh\n"
         "out=''; to=''\n"
         "while [ $# -gt 1 ]; do\n"
         "  [ \"$1\" = --outdir ] && out=\"$2\"; [ \"$1\" = --convert-to ] && to=\"${2%%:*}\"\n"
         "  shift\n"
         "done\n"
         "base=$(basename \"$1\")\n"
         "touch '" << dir_.path() << "started'\n"
         "i=0; while [ ! -e '" << dir_.path() << "release' ] && [ $i -lt 1200 ]; do\n"
         "  sleep 0.05; i=$((i+1)); done\n"
         "cp \"$1\" \"$out/${base%.*}.$to\"\n";
  std::filesystem::permissions(bin + "soffice", std::filesystem::perms::owner_all);
  const std::string oldPath = getenv("PATH");
  setenv("PATH", (bin.substr(0, bin.size() - 1) + ":" + oldPath).c_str(), 1);
  const char* oldTmp = getenv("TMPDIR");
  const std::optional<std::string> savedTmp = oldTmp ? std::optional<std::string>(oldTmp) : std::nullopt;
  setenv("TMPDIR", bin.c_str(), 1);  // the conversion's folder goes in the test's own
  const std::string file = dir_.path() + "out.xls";
  ui_.nextFileName = file;

  // Runs from the event loop while the export waits.
  QString note;
  int dialogsDuringExport = -1;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!std::filesystem::exists(dir_.path() + "started") || dialogsDuringExport >= 0) return;
    note = w().progressBar->isTextVisible() ? w().progressBar->text() : QString();
    w().exportButton->click();  // a second export is not started meanwhile
    dialogsDuringExport = static_cast<int>(ui_.dialogs.size());
    std::ofstream(dir_.path() + "release") << "";
  });
  probe.start(20);
  w().exportButton->click();
  probe.stop();
  setenv("PATH", oldPath.c_str(), 1);
  if (savedTmp) setenv("TMPDIR", savedTmp->c_str(), 1); else unsetenv("TMPDIR");

  EXPECT_TRUE(note.startsWith(ToQ("正在导出"))) << note.toStdString();
  EXPECT_EQ(dialogsDuringExport, 1);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "导出成功!");
  EXPECT_NE(ReadFileBytes(file).find("<office:document"), std::string::npos);
  EXPECT_FALSE(w().progressBar->isTextVisible());
  EXPECT_EQ(ui_.busyDepth, 0);
}

}  // namespace
