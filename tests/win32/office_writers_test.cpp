// The Excel and Word writers over the COM client, against the recording
// automation server: the order of the calls on the way out of a failed
// save, where an invisible application must not be left with an unsaved
// workbook or document. Also the start-up's COM apartment.
#include <gtest/gtest.h>

#include <objbase.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/base/Excel_unit.h"
#include "gui/base/ui_services.h"
#include "gui/export/office_server.h"
#include "gui/export/office_writers.h"
#include "core/grid/grid_model.h"
#include "platform/com_apartment.h"
#include "platform/dispatch.h"
#include "win32_test_support.h"

// The writers show the hourglass through the UI services; this test program
// has no windows, so its services only count.
namespace {
class SilentUi final : public UiServices {
 public:
  void ShowMessage(const MessageRequest&) override {}
  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest&) override {
    return std::nullopt;
  }
  void PushBusyCursor() override { ++depth; }
  void PopCursor() override { --depth; }
  int depth = 0;
};
SilentUi g_ui;
}  // namespace
UiServices& Ui() { return g_ui; }
void SetUi(UiServices*) {}

namespace {


// Hands the writers the recording server's classes for the office ProgIDs
// and remembers the name of the last application object.
class TestClasses final : public platform::AutomationServer {
 public:
  std::optional<platform::OfficeApplication> Obtain(const std::string& progId) override {
    const std::string test = progId == "excel.application" ? "ZelvoranTest.Excel" : "ZelvoranTest.Word";
    auto app = platform::PlatformAutomationServer().Obtain(test);
    if (app) {
      const platform::Variant name = app->application->Get("Label");
      const auto* label = std::get_if<std::string>(&name);
      prefix = label ? std::wstring(label->begin(), label->end()) : L"?";
      if (FARPROC clear = win32_testing::RecordingServerFunction("ClearRecordedCalls"))
        reinterpret_cast<void (*)()>(reinterpret_cast<void (*)()>(clear))();
    }
    return app;
  }
  bool Installed(const std::string&) override { return true; }
  std::wstring prefix;
};

class OfficeWritersOverCom : public testing::Test {
 protected:
  static std::filesystem::path ServerPath() {
    return win32_testing::ProgramFolder() / win32_testing::kRecordingServerFile;
  }
  void SetUp() override {
    ASSERT_TRUE(RegisterServerFile(ServerPath()));
    SetOfficeServer(&classes_);
  }
  void TearDown() override {
    SetOfficeServer(nullptr);
    UnregisterServerFile(ServerPath());
  }
  static GridModel Grid() {
    GridModel grid;
    grid.SetColCount(2);
    grid.SetCell(0, 0, "序号");
    grid.SetCell(1, 0, "项目");
    grid.AddRow();
    grid.SetCell(0, 1, "1");
    grid.SetCell(1, 1, "甲");
    return grid;
  }
  TestClasses classes_;
};

TEST_F(OfficeWritersOverCom, AFailedSaveClosesWithoutSavingBeforeQuitting) {
  const GridModel grid = Grid();
  EXPECT_THROW(WriteExcelWorkbook(grid, L"C:\\cannot-save.xls"), std::runtime_error);
  const std::vector<std::wstring> excel = {
      L"app.WorkBooks get()",
      L"app.WorkBooks.Count get()",
      L"app.WorkBooks get()",
      L"app.WorkBooks.Add call()",
      L"app.WorkBooks.Add.Sheets get(1)",
      L"app.WorkBooks.Add.Sheets.Range get(\"A1:B2\")",
      L"app.WorkBooks.Add.Sheets.Range.Value put() = array(2x2){\"序号\",\"项目\";\"1\",\"甲\"}",
      L"app.WorkBooks.Add.SaveAs call(\"C:\\cannot-save.xls\")",
      L"app.WorkBooks.Add.Close call(SaveChanges=false)",
      L"app.Quit call()",
  };
  EXPECT_EQ(win32_testing::RecordedCalls(classes_.prefix), excel);

  EXPECT_THROW(WriteWordDocument(grid, L"C:\\cannot-save.doc"), std::runtime_error);
  const std::vector<std::wstring> word = win32_testing::RecordedCalls(classes_.prefix);
  ASSERT_GE(word.size(), 3u);
  EXPECT_EQ(word[word.size() - 3], L"app.Documents.Add.SaveAs call(\"C:\\cannot-save.doc\")");
  EXPECT_EQ(word[word.size() - 2], L"app.Documents.Add.Close call(SaveChanges=false)");
  EXPECT_EQ(word[word.size() - 1], L"app.Quit call(SaveChanges=false)");

  // A save that works: no closing, a plain Quit.
  WriteExcelWorkbook(grid, L"C:\\saved.xls");
  const std::vector<std::wstring> saved = win32_testing::RecordedCalls(classes_.prefix);
  ASSERT_GE(saved.size(), 2u);
  EXPECT_EQ(saved[saved.size() - 2], L"app.WorkBooks.Add.SaveAs call(\"C:\\saved.xls\")");
  EXPECT_EQ(saved.back(), L"app.Quit call()");
  EXPECT_EQ(g_ui.depth, 0);
}

// The start-up's apartment: single-threaded while it lives, left at its end.
TEST(ComApartment, HoldsTheSingleThreadedApartmentForItsLifetime) {
  std::thread([] {
    {
      const platform::ComApartment com;
      EXPECT_TRUE(com.Initialised());
      // In the single-threaded apartment, the multithreaded one is refused.
      EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    }
    // Uninitialised at its end: the thread is free to choose again.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(again, S_OK);
    if (SUCCEEDED(again)) CoUninitialize();
  }).join();
}

}  // namespace
