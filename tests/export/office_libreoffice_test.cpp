// The Excel and Word exports written for real by LibreOffice, through the
// export command, and read back by readers of their own: xlrd for the
// workbook, LibreOffice's own import of the document (saved as flat XML and
// parsed by Python) for the table, its texts and its alignment.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/base/app_folder.h"
#include "gui/export/Excel_unit_export.h"
#include "export_test_helpers.h"
#include "platform/codepage.h"
#include "platform/dispatch.h"
#include "platform/posix/office_convert.h"
#include "tests/support/child_processes.h"
#include "tests/support/test_db.h"

namespace {

namespace fs = std::filesystem;
using export_tests::RecordingUi;
using Rows = std::vector<std::vector<std::string>>;

using export_tests::kPython;

// Every cell of the first sheet as hex of its GBK bytes.
constexpr const char* kXlsReader = R"(import sys, xlrd
sheet = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)
with open(sys.argv[2], 'w') as out:
    for r in range(sheet.nrows):
        out.write(' '.join('=' + str(sheet.cell_value(r, c)).encode('gbk').hex()
                           for c in range(sheet.ncols)) + '\n')
)";

// Every cell of the first table of a flat text document as hex of its GBK
// text (paragraphs joined by LF), then ':' and the paragraphs' alignments.
constexpr const char* kFodtReader = R"(import sys, xml.etree.ElementTree as ET
O = {'style': '{urn:oasis:names:tc:opendocument:xmlns:style:1.0}',
     'fo': '{urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0}',
     'text': '{urn:oasis:names:tc:opendocument:xmlns:text:1.0}',
     'table': '{urn:oasis:names:tc:opendocument:xmlns:table:1.0}'}
root = ET.parse(sys.argv[1]).getroot()
align, parent = {}, {}
for st in root.iter(O['style'] + 'style'):
    name = st.get(O['style'] + 'name')
    parent[name] = st.get(O['style'] + 'parent-style-name')
    pp = st.find(O['style'] + 'paragraph-properties')
    if pp is not None and pp.get(O['fo'] + 'text-align'):
        align[name] = pp.get(O['fo'] + 'text-align')
def alignment(name):
    while name:
        if name in align: return align[name]
        name = parent.get(name)
    return 'none'
def text_of(el):
    out = el.text or ''
    for ch in el:
        if ch.tag == O['text'] + 's': out += ' ' * int(ch.get(O['text'] + 'c', '1'))
        elif ch.tag == O['text'] + 'tab': out += '\t'
        elif ch.tag == O['text'] + 'line-break': out += '\n'
        else: out += text_of(ch)
        out += ch.tail or ''
    return out
table = next(root.iter(O['table'] + 'table'))
with open(sys.argv[2], 'w') as out:
    for row in table.iter(O['table'] + 'table-row'):
        cells = []
        for cell in row.findall(O['table'] + 'table-cell'):
            ps = cell.findall(O['text'] + 'p')
            text = '\n'.join(text_of(p) for p in ps)
            aligns = ','.join(sorted(set(alignment(p.get(O['text'] + 'style-name')) for p in ps)))
            cells.append('=' + text.encode('gbk').hex() + ':' + aligns)
        out.write(' '.join(cells) + '\n')
)";

using export_tests::RunReader;
using export_tests::Unhex;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

class OfficeWithLibreOffice : public export_tests::ExportFolderTest {
 protected:
  void SetUp() override {
    ExportFolderTest::SetUp();
    if (!platform::PlatformAutomationServer().Obtain("excel.application"))
      GTEST_SKIP() << "LibreOffice (soffice) is not installed; the office exports cannot run";
    // The server's temporary folders go here, so the test sees they are gone.
    fs::create_directory(scratch_);
    const char* old = std::getenv("TMPDIR");
    oldTmp_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("TMPDIR", scratch_.c_str(), 1);
  }
  void TearDown() override {
    ExportFolderTest::TearDown();
    if (oldTmp_) setenv("TMPDIR", oldTmp_->c_str(), 1); else unsetenv("TMPDIR");
  }

  // ~300 criteria: Chinese text, commas, quotes, apostrophes, line breaks,
  // a lone CR, blanks inside and at the ends, and empty cells.
  static GridModel BigGrid() {
    std::vector<std::vector<std::string>> criteria;
    for (int i = 1; i <= 300; ++i) {
      const std::string n = std::to_string(i);
      criteria.push_back({"1." + n, "EMR-" + n + ",甲", "医生\"审核\"", "it's 护士 " + n,
                          i % 7 == 0 ? "" : "基础", "第一行\r\n第二行 " + n,
                          i % 50 == 0 ? "4" : "  两个空格  在内 ", "数据质量评价内容 " + n});
    }
    criteria[10][6] = "a\rb";
    return export_tests::CriteriaGrid(criteria);
  }

  // Exports to `name` (CP936, under the test folder); returns the box's text.
  std::string ExportTo(const GridModel& grid, const std::string& name) {
    ui_.messages.clear();
    ui_.nextFileName = OnDisk(name);
    ExportButtonClick(grid, 0, [] {}, ExportLook{});
    EXPECT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.cursorDepth, 0);
    EXPECT_TRUE(fs::is_empty(scratch_)) << "temporary files left behind";
    return ui_.messages.empty() ? "" : ui_.messages.back().text;
  }
  // The UTF-8 path of a file named in CP936 under the test folder.
  std::string OnDisk(const std::string& name) const {
    return dir_.path() + platform::Cp936ToUtf8(name);
  }

  std::string scratch_ = dir_.path() + "tmp";
  std::optional<std::string> oldTmp_;
};

TEST_F(OfficeWithLibreOffice, WorkbookHoldsEveryCellAndReplacesTheOldFile) {
  if (!fs::exists(kPython)) GTEST_SKIP() << kPython << " is missing";
  const GridModel grid = BigGrid();
  std::ofstream(OnDisk("导出.xls")) << "an older file";
  ASSERT_EQ(ExportTo(grid, "导出.xls"), "导出成功!");
  const Rows cells = RunReader(kXlsReader, OnDisk("导出.xls"), dir_.path());
  ASSERT_EQ(cells.size(), 301u);
  for (int r = 0; r < 301; ++r) {
    ASSERT_EQ(cells[r].size(), 9u) << "row " << r;
    for (int c = 0; c < 9; ++c)
      EXPECT_EQ(Unhex(cells[r][c]), Replaced(grid.Cell(c, r), "\r", "")) << r << "," << c;
  }
  // A folder that does not exist: the export fails and leaves nothing.
  EXPECT_EQ(ExportTo(grid, "无此目录/导出.xls"), "导出失败!");
  EXPECT_FALSE(fs::exists(OnDisk("无此目录")));
}

// The edges of the two formats, read back: a tab and a vertical tab in
// both files, a name that is nothing but ".xls", a cell longer than an .xls
// cell holds (whole in the document, refused for the workbook with the
// reason) and a grid longer than an .xls sheet holds (refused likewise).
TEST_F(OfficeWithLibreOffice, EdgesOfTheFormatsArriveWholeOrAreRefusedWithTheReason) {
  if (!fs::exists(kPython)) GTEST_SKIP() << kPython << " is missing";
  std::string longText;
  for (int i = 0; i < 16500; ++i) longText += "评审";  // 33,000 characters
  const std::vector<std::vector<std::string>> criteria = {
      {"a\tb", "上\v下", "007", "1.10", "\x01控制\x1f", "2023-01-01", "\t前后\t", ""}};
  const GridModel small = export_tests::CriteriaGrid(criteria);
  // What each cell becomes: the vertical tab a line break, the other control
  // bytes gone.
  auto expected = [](std::string text) {
    text = Replaced(text, "\v", "\n");
    text = Replaced(Replaced(text, "\x01", ""), "\x1f", "");
    return text;
  };

  ASSERT_EQ(ExportTo(small, ".xls"), "导出成功!");
  const Rows sheet = RunReader(kXlsReader, OnDisk(".xls"), dir_.path());
  ASSERT_EQ(sheet.size(), 2u);
  ASSERT_GE(sheet[1].size(), 8u);
  for (int c = 1; c < 8; ++c) EXPECT_EQ(Unhex(sheet[1][c]), expected(small.Cell(c, 1))) << c;

  std::vector<std::vector<std::string>> withLongCell = criteria;
  withLongCell[0][1] = longText;
  const GridModel wide = export_tests::CriteriaGrid(withLongCell);
  ASSERT_EQ(ExportTo(wide, "长.doc"), "导出成功!");
  const std::string readBack = dir_.path() + "read/";
  const std::string command =
      "soffice --headless --norestore -env:UserInstallation=file://" + dir_.path() +
      "profile --convert-to fodt --outdir " + readBack + " '" + OnDisk("长.doc") +
      "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const Rows table = RunReader(kFodtReader, readBack + platform::Cp936ToUtf8("长.fodt"), dir_.path());
  ASSERT_EQ(table.size(), 2u);
  for (int c = 1; c < 8; ++c) {
    const std::string& cell = table[1][c];
    EXPECT_EQ(Unhex(cell.substr(0, cell.find(':'))), expected(wide.Cell(c, 1))) << c;
  }

  EXPECT_EQ(ExportTo(wide, "长.xls"),
            "导出失败!\n单元格 C2 有 33000 个字符，超过 .xls 单元格最多的 32767 个");
  EXPECT_FALSE(fs::exists(OnDisk("长.xls")));

  std::vector<std::vector<std::string>> many(65536, {"1.1", "代码"});
  EXPECT_EQ(ExportTo(export_tests::CriteriaGrid(many), "多.xls"),
            "导出失败!\n表格有 65537 行，超过 .xls 工作表最多的 65536 行");
  EXPECT_FALSE(fs::exists(OnDisk("多.xls")));
}

TEST_F(OfficeWithLibreOffice, DocumentTableHoldsEveryCellCentredByTheRule) {
  if (!fs::exists(kPython)) GTEST_SKIP() << kPython << " is missing";
  const GridModel grid = BigGrid();
  ASSERT_EQ(ExportTo(grid, "导出.doc"), "导出成功!");

  // LibreOffice reads the document back, in a profile of this test's own.
  const std::string readBack = dir_.path() + "read/";
  const std::string command =
      "soffice --headless --norestore -env:UserInstallation=file://" + dir_.path() +
      "profile --convert-to fodt --outdir " + readBack + " '" + OnDisk("导出.doc") +
      "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string flat = readBack + platform::Cp936ToUtf8("导出.fodt");
  const Rows cells = RunReader(kFodtReader, flat, dir_.path());
  ASSERT_EQ(cells.size(), 301u);
  for (int r = 0; r < 301; ++r) {
    ASSERT_EQ(cells[r].size(), 9u) << "row " << r;
    for (int c = 0; c < 9; ++c) {
      const std::string& cell = cells[r][c];
      const size_t colon = cell.find(':');
      const std::string text = Unhex(cell.substr(0, colon));
      const std::string alignment = cell.substr(colon + 1);
      EXPECT_EQ(text, Replaced(Replaced(grid.Cell(c, r), "\r\n", "\n"), "\r", "\n"))
          << r << "," << c;
      // Row 0 and the columns 0, 1, 2, 3, 5 and 7 are centred, the rest left.
      const bool centred = r == 0 || c <= 3 || c == 5 || c == 7;
      if (centred)
        EXPECT_EQ(alignment, "center") << r << "," << c;
      else
        EXPECT_TRUE(alignment == "none" || alignment == "start" || alignment == "left")
            << r << "," << c << ": " << alignment;
    }
  }
}

// Parent, group and name of every process, from /proc.
struct ProcessInfo {
  long pid, parent, group;
  std::string name;
};
std::vector<ProcessInfo> Processes() {
  std::vector<ProcessInfo> all;
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    std::ifstream stat(it->path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    ProcessInfo info{std::atol(line.c_str()), 0, 0, line.substr(open + 1, close - open - 1)};
    std::istringstream rest(line.substr(close + 2));
    std::string state;
    rest >> state >> info.parent >> info.group;
    if (state != "Z") all.push_back(info);
  }
  return all;
}

// A program dies by kill -9 while LibreOffice converts for it: LibreOffice's
// whole process group ends with it, and the next conversion removes the
// temporary folder that it left, with the pipe that LibreOffice bound.
TEST_F(OfficeWithLibreOffice, LibreOfficeEndsWithTheProgramAndItsFolderGoesLater) {
  testing_support::ChildProcesses children;
  const pid_t program = children.Start(OFFICE_CONVERT_HELPER, {dir_.path() + "killed.doc"},
                                       {"TMPDIR=" + scratch_, "PATH=" + std::string(getenv("PATH")),
                                        "HOME=" + std::string(getenv("HOME"))});
  ASSERT_GT(program, 0);
  // LibreOffice's group: started by the program, led by its first process,
  // and running LibreOffice's own program by now.
  long group = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (group == 0 && std::chrono::steady_clock::now() < deadline) {
    const std::vector<ProcessInfo> all = Processes();
    for (const ProcessInfo& leader : all) {
      if (leader.parent != program || leader.group != leader.pid) continue;
      for (const ProcessInfo& member : all)
        if (member.group == leader.pid && member.name.starts_with("soffice.bin")) group = leader.pid;
    }
    if (group == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_NE(group, 0) << "LibreOffice did not start";
  ASSERT_FALSE(fs::is_empty(scratch_));
  // The single-instance pipe that LibreOffice binds in /tmp, as the program
  // noted it in the conversion's folder (LibreOffice may restart itself
  // once with a new profile, binding it anew).
  std::string pipe;
  while (std::chrono::steady_clock::now() < deadline) {
    for (const auto& folder : fs::directory_iterator(scratch_))
      if (fs::exists(folder.path() / "pipes"))
        pipe = testing_support::ReadFileBytes((folder.path() / "pipes").string());
    if (!pipe.empty() && pipe.back() == '\n') pipe.pop_back();  // its line end
    if (!pipe.empty() && fs::is_socket(pipe)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(!pipe.empty() && fs::is_socket(pipe)) << "no single-instance pipe of LibreOffice was seen";

  kill(program, SIGKILL);
  const auto killed = std::chrono::steady_clock::now();
  auto groupAlive = [group] {
    for (const ProcessInfo& p : Processes())
      if (p.group == group) return true;
    return false;
  };
  while (groupAlive() && std::chrono::steady_clock::now() - killed < std::chrono::seconds(2))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const bool alive = groupAlive();
  if (alive) kill(-static_cast<pid_t>(group), SIGKILL);  // this test's own
  EXPECT_FALSE(alive) << "LibreOffice still ran 2 s after the program died";
  EXPECT_FALSE(fs::exists(dir_.path() + "killed.doc"));

  // The folder of the dead program is left; the next conversion removes it.
  EXPECT_FALSE(fs::is_empty(scratch_));
  platform::office::RemoveStaleFolders();
  EXPECT_TRUE(fs::is_empty(scratch_));
  EXPECT_FALSE(fs::exists(fs::symlink_status(pipe))) << pipe;
}

}  // namespace
