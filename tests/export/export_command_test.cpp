// The export button and ExportGrid, through a recording UiServices.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "gui/export/Excel_unit_export.h"
#include "core/base/app_folder.h"
#include "core/export/csv_writer.h"
#include "core/export/fixed_width_writer.h"
#include "core/export/html_writer.h"
#include "export_test_helpers.h"
#include "tests/support/recording_automation.h"
#include "tests/support/test_db.h"

namespace {

using export_tests::CriteriaGrid;
using export_tests::RecordingUi;
using testing_support::ReadFileBytes;

class ExportCommand : public export_tests::ExportFolderTest {
 protected:
  // Exports to `fileName` (under the temp folder) and returns the one box shown.
  MessageRequest ExportTo(const std::string& fileName) {
    ui_.messages.clear();
    ui_.nextFileName = dir_.path() + fileName;
    ExportButtonClick(grid_, 0, [this] { ++hides_; }, look_);
    EXPECT_EQ(ui_.messages.size(), 1u) << fileName;
    return ui_.messages.empty() ? MessageRequest{} : ui_.messages.back();
  }
  bool Exists(const std::string& fileName) const {
    return std::filesystem::exists(dir_.path() + fileName);
  }
  std::vector<std::string> FilesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      names.push_back(entry.path().filename().string());
    return names;
  }

  ExportLook look_;
  GridModel grid_ = CriteriaGrid({{"1.1", "A,B", "医生", "书写\r\n记录", "基础", "", "4", "x"}});
  int hides_ = 0;
};

void ExpectSucceeded(const MessageRequest& box) {
  EXPECT_EQ(box.text, "导出成功!");
  EXPECT_EQ(box.caption, "提示");
  EXPECT_EQ(box.icon, MessageIcon::None);
}

void ExpectFailed(const MessageRequest& box) {
  EXPECT_EQ(box.text, "导出失败!");
  EXPECT_EQ(box.caption, "警告");
  EXPECT_EQ(box.icon, MessageIcon::None);
}

TEST_F(ExportCommand, HeaderOnlyGridIsIgnoredAndALoadingGridIsRefused) {
  ExportButtonClick(CriteriaGrid({}), 0, [this] { ++hides_; }, look_);
  EXPECT_TRUE(ui_.dialogs.empty());
  EXPECT_TRUE(ui_.messages.empty());

  ExportButtonClick(grid_, 1, [this] { ++hides_; }, look_);
  EXPECT_TRUE(ui_.dialogs.empty());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "注意：暂未检索完毕，请稍候导出数据！");
  EXPECT_EQ(ui_.messages[0].caption, "提示");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(hides_, 0);
}

TEST_F(ExportCommand, CancelledDialogWritesNothingButTheListIsHidden) {
  testing_support::RecordingAutomation office;
  ExportButtonClick(grid_, 0, [this] { ++hides_; }, look_);
  // Without an office application the dialog offers CSV rather than Excel.
  office.installed = false;
  ExportButtonClick(grid_, 0, [this] { ++hides_; }, look_);
  ASSERT_EQ(ui_.dialogs.size(), 2u);
  EXPECT_EQ(ui_.dialogs[1].filterIndex, 2);
  EXPECT_EQ(ui_.dialogs[1].defaultExtension, "csv");
  const SaveDialogRequest& dialog = ui_.dialogs[0];
  EXPECT_EQ(dialog.initialFolder, std::filesystem::path(dir_.path()) / "Data");
  EXPECT_EQ(dialog.filter,
            "Excel文件(*.xls)|*.xls|CSV逗号分隔文件(*.cvs)|*.csv|Word文档(*.doc)|*.doc|"
            "文本文件(*.txt)|*.txt|ASCII数据文件(*.dat)|*.dat|网页文件(*.htm)|*.htm|"
            "所有文件(*.*)|*.*");
  EXPECT_EQ(dialog.filterIndex, 1);
  EXPECT_EQ(dialog.defaultExtension, "xls");
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(hides_, 2);
  EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(ExportCommand, ExtensionSelectsTheWriterInAnyLetterCase) {
  const std::string csv = BuildCsv(grid_);
  for (const char* name : {"a.csv", "b.CSV", "c.Txt", "d.txt"}) {
    ExpectSucceeded(ExportTo(name));
    EXPECT_EQ(ReadFileBytes(dir_.path() + name), csv) << name;
  }
  ExpectSucceeded(ExportTo("e.Dat"));
  EXPECT_EQ(ReadFileBytes(dir_.path() + "e.Dat"), BuildFixedWidth(grid_));
  EXPECT_EQ(ui_.cursorPushes, 1);
  EXPECT_EQ(ui_.cursorDepth, 0);
  ExpectSucceeded(ExportTo("f.htm"));
  EXPECT_EQ(ReadFileBytes(dir_.path() + "f.htm"), BuildHtml(grid_, look_));
}

TEST_F(ExportCommand, EveryFailureShowsOneFailureBoxAndLeavesNoFile) {
  // No writer for these names: nothing is written, and the user is told.
  for (const char* name : {"g.html", "h.xlsx", "i.", "j", "k.csv.bak"}) {
    ExpectFailed(ExportTo(name));
    EXPECT_FALSE(Exists(name)) << name;
  }
  // The office formats without an office application to write them: the
  // second line names the program that is needed and how to get it.
  testing_support::RecordingAutomation noOffice;
  noOffice.installed = false;
  for (const auto& [name, program] : {std::pair{"l.xls", "LibreOffice Calc"},
                                      std::pair{"m.DOC", "LibreOffice Writer"}}) {
    const MessageRequest box = ExportTo(name);
    EXPECT_EQ(box.text.substr(0, box.text.find('\n')), "导出失败!") << name;
    EXPECT_NE(box.text.find(program), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("sudo apt install libreoffice-"), std::string::npos) << box.text;
    EXPECT_EQ(box.caption, "警告");
    EXPECT_FALSE(Exists(name)) << name;
  }
  // Targets that cannot be created: in a missing folder, or a folder itself.
  std::filesystem::create_directory(dir_.path() + "folder.csv");
  for (const char* name : {"missing/n.csv", "missing/o.dat", "missing/p.htm", "folder.csv"})
    ExpectFailed(ExportTo(name));
  EXPECT_FALSE(Exists("missing"));
  EXPECT_EQ(ui_.cursorDepth, 0);  // the hourglass went away after the failed .dat
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path() + "folder.csv"));
}

TEST_F(ExportCommand, FileNamesOutsideGbkAreWrittenUnderExactlyThatName) {
  // "Größe€.csv" in UTF-8: GBK has "€" but neither "ö" nor "ß".
  const std::string name = "Gr\xC3\xB6\xC3\x9F" "e\xE2\x82\xAC.csv";
  ExpectSucceeded(ExportTo(name));
  EXPECT_EQ(FilesInFolder(), std::vector<std::string>{name});
  EXPECT_EQ(ReadFileBytes(dir_.path() + name), BuildCsv(grid_));
}

TEST_F(ExportCommand, AFailedWriteKeepsTheEarlierFileAndLeavesNoTemporaryFile) {
  const std::string earlier = "the user's earlier export\r\n";
  std::ofstream(dir_.path() + "keep.csv", std::ios::binary) << earlier;
  // The child may write only 16 bytes into any file, so writing the new
  // content fails part way, as on a full disk.
  const auto exportUnderLimit = [this] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    setrlimit(RLIMIT_FSIZE, &limit);
    const MessageRequest box = ExportTo("keep.csv");
    std::_Exit(box.text == "导出失败!" ? 3 : 1);
  };
  EXPECT_EXIT(exportUnderLimit(), ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(ReadFileBytes(dir_.path() + "keep.csv"), earlier);
  EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"keep.csv"});

  // Without the limit the same export replaces it.
  ExpectSucceeded(ExportTo("keep.csv"));
  EXPECT_EQ(ReadFileBytes(dir_.path() + "keep.csv"), BuildCsv(grid_));
  EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"keep.csv"});
}

TEST(ExportExtension, TakesTheLastDotOfTheNamesLastPart) {
  const std::pair<std::filesystem::path, std::string> cases[] = {
      {"/tmp/a.tar.htm", ".HTM"}, {"/tmp/dir.d/name", ""}, {"name.", "."}, {".csv", ".CSV"},
      {std::filesystem::path(u8"/tmp/报表.Txt"), ".TXT"},
      // Characters outside GBK, and a dot right after a multi-byte character.
      {std::filesystem::path(u8"/tmp/Größe€.csv"), ".CSV"},
  };
  for (const auto& [name, extension] : cases) EXPECT_EQ(ExportExtension(name), extension) << name;
}

}  // namespace
