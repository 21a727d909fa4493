// The Excel and Word exports written for real by LibreOffice, through the
// export command, and read back by readers of their own: xlrd for the
// workbook, LibreOffice's own import of the document (saved as flat XML and
// parsed by Python) for the table, its texts and its alignment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/app_folder.h"
#include "export/Excel_unit_export.h"
#include "export_test_helpers.h"
#include "platform/codepage.h"
#include "platform/dispatch.h"
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

}  // namespace
