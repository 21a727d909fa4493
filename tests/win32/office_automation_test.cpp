// The COM automation client against the recording automation server of the
// tests (modules/recording_automation_server.cpp), registered in this
// system's class registry for the length of the tests. The Excel and Word
// writers' call sequences are driven through the dispatch interface and read
// back from the server's record.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/base/Excel_unit.h"
#include "platform/dispatch.h"
#include "win32_test_support.h"

namespace {

using platform::DispatchObject;
using platform::DispatchRef;
using platform::NamedArg;
using platform::TextBlock;
using platform::Variant;
using win32_testing::Cp936Path;
using win32_testing::ProgramFolder;

DispatchRef Object(const Variant& value) {
  const auto* object = std::get_if<DispatchRef>(&value);
  if (!object || !*object) throw std::runtime_error("not an object");
  return *object;
}

template <typename T>
T As(const Variant& value) {
  const auto* v = std::get_if<T>(&value);
  if (!v) throw std::runtime_error("a result of another type");
  return *v;
}

// The server's name for an object (ASCII), read through the client.
std::wstring LabelOf(DispatchObject& object) {
  const std::string label = As<std::string>(object.Get("Label"));
  return std::wstring(label.begin(), label.end());
}

void ClearRecord() {
  if (FARPROC clear = win32_testing::RecordingServerFunction("ClearRecordedCalls"))
    reinterpret_cast<void (*)()>(reinterpret_cast<void (*)()>(clear))();
}

class OfficeAutomation : public testing::Test {
 protected:
  static std::filesystem::path ServerPath() {
    return ProgramFolder() / win32_testing::kRecordingServerFile;
  }
  static void SetUpTestSuite() { registered_ = RegisterServerFile(ServerPath()); }
  static void TearDownTestSuite() { UnregisterServerFile(ServerPath()); }
  void SetUp() override { ASSERT_TRUE(registered_) << "DllRegisterServer of " << ServerPath(); }

  // A new application object of the server; its record starts empty.
  platform::OfficeApplication Start(const std::string& progId) {
    auto app = platform::PlatformAutomationServer().Obtain(progId);
    if (!app) throw std::runtime_error(progId + " not found");
    prefix_ = LabelOf(*app->application);
    ClearRecord();
    return *app;
  }
  std::vector<std::wstring> Record() const { return win32_testing::RecordedCalls(prefix_); }

  static inline bool registered_ = false;
  std::wstring prefix_;
};

TEST_F(OfficeAutomation, TheExcelSequenceArrivesWithItsNamesArgumentsAndTheValueBlock) {
  const auto app = Start("ZelvoranTest.Excel");
  EXPECT_FALSE(app.alreadyRunning);
  DispatchObject& excel = *app.application;

  EXPECT_EQ(As<long>(Object(excel.Get("WorkBooks"))->Get("Count")), 2);
  const DispatchRef workbook = Object(Object(excel.Get("WorkBooks"))->Call("Add"));
  const DispatchRef sheet = Object(workbook->Get("Sheets", {1L}));
  const DispatchRef range = Object(sheet->Get("Range", {std::string("A1:C3")}));
  const TextBlock block = {{"", "项目序号", "主要评价内容"},
                           {"1", "01.01", "病房医师\n录入"},
                           {"2", "", "“引号”, 逗号"}};
  range->Put("Value", block);
  // A file name keeps a character that CP936 lacks.
  workbook->Call("SaveAs", {std::filesystem::path(L"C:\\导出\\评审 标준.xls")});
  excel.Call("Quit");

  const std::vector<std::wstring> expected = {
      L"app.WorkBooks get()",
      L"app.WorkBooks.Count get()",
      L"app.WorkBooks get()",
      L"app.WorkBooks.Add call()",
      L"app.WorkBooks.Add.Sheets get(1)",
      L"app.WorkBooks.Add.Sheets.Range get(\"A1:C3\")",
      L"app.WorkBooks.Add.Sheets.Range.Value put() = array(3x3){"
      L"\"\",\"项目序号\",\"主要评价内容\";"
      L"\"1\",\"01.01\",\"病房医师\\n录入\";"
      L"\"2\",\"\",\"“引号”, 逗号\"}",
      L"app.WorkBooks.Add.SaveAs call(\"C:\\导出\\评审 标준.xls\")",
      L"app.Quit call()",
  };
  EXPECT_EQ(Record(), expected);
}

TEST_F(OfficeAutomation, TheWordSequenceArrivesWithNamedArgumentsAndTheRangeObject) {
  const auto app = Start("ZelvoranTest.Word");
  DispatchObject& word = *app.application;

  const DispatchRef document = Object(Object(word.Get("Documents"))->Call("Add"));
  document->Put("ShowSpellingErrors", false);
  const DispatchRef selection = Object(word.Get("Selection"));
  selection->Call("TypeText", {std::string()});
  selection->Call("TypeParaGraph");
  const DispatchRef start = Object(document->Call("Range", {}, {{"start", 0L}, {"end", 0L}}));
  const DispatchRef table = Object(Object(document->Get("Tables"))
                                       ->Call("Add", {start}, {{"numRows", 1L}, {"numColumns", 2L}}));
  const char* texts[] = {"序号", "行一\r\n行二"};
  for (long c = 1; c <= 2; ++c) {
    const DispatchRef cell = Object(table->Call("Cell", {}, {{"Row", 1L}, {"Column", c}}));
    Object(cell->Get("Range"))->Call("InsertAfter", {std::string(texts[c - 1])});
    if (c == 1) Object(Object(cell->Get("Range"))->Get("ParagraphFormat"))->Put("Alignment", 1L);
  }
  document->Call("SaveAs", {std::filesystem::path(L"D:\\报告.doc")});
  word.Call("Quit");

  const std::vector<std::wstring> expected = {
      L"app.Documents get()",
      L"app.Documents.Add call()",
      L"app.Documents.Add.ShowSpellingErrors put() = false",
      L"app.Selection get()",
      L"app.Selection.TypeText call(\"\")",
      L"app.Selection.TypeParaGraph call()",
      L"app.Documents.Add.Range call(start=0, end=0)",
      L"app.Documents.Add.Tables get()",
      L"app.Documents.Add.Tables.Add call(app.Documents.Add.Range, numRows=1, numColumns=2)",
      L"app.Documents.Add.Tables.Add.Cell call(Row=1, Column=1)",
      L"app.Documents.Add.Tables.Add.Cell.Range get()",
      L"app.Documents.Add.Tables.Add.Cell.Range.InsertAfter call(\"序号\")",
      L"app.Documents.Add.Tables.Add.Cell.Range get()",
      L"app.Documents.Add.Tables.Add.Cell.Range.ParagraphFormat get()",
      L"app.Documents.Add.Tables.Add.Cell.Range.ParagraphFormat.Alignment put() = 1",
      L"app.Documents.Add.Tables.Add.Cell call(Row=1, Column=2)",
      L"app.Documents.Add.Tables.Add.Cell.Range get()",
      L"app.Documents.Add.Tables.Add.Cell.Range.InsertAfter call(\"行一\\r\\n行二\")",
      L"app.Documents.Add.SaveAs call(\"D:\\报告.doc\")",
      L"app.Quit call()",
  };
  EXPECT_EQ(Record(), expected);
}

TEST_F(OfficeAutomation, ArgumentsAndResultsKeepTheirTypeAndText) {
  const auto app = Start("ZelvoranTest.Excel");
  DispatchObject& excel = *app.application;

  EXPECT_EQ(As<std::string>(excel.Call("Echo", {std::string("评审标准 A-1")})), "评审标准 A-1");
  EXPECT_EQ(As<long>(excel.Call("Echo", {-7L})), -7);
  EXPECT_TRUE(As<bool>(excel.Call("Echo", {true})));
  EXPECT_FALSE(As<bool>(excel.Call("Echo", {false})));
  EXPECT_TRUE(As<bool>(excel.Get("Visible")));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(excel.Call("Echo")));
  // A character that CP936 lacks comes back as one '?'.
  EXPECT_EQ(As<std::string>(excel.Call("Echo", {std::filesystem::path(L"a준b")})), "a?b");
  // An object goes out and comes back as the same object of the server.
  const DispatchRef books = Object(excel.Get("WorkBooks"));
  EXPECT_EQ(LabelOf(*Object(excel.Call("Echo", {books}))), LabelOf(*books));

  // Several positional arguments arrive in the order they were given.
  EXPECT_EQ(As<std::string>(excel.Call("Echo", {std::string("一"), 2L, true})), "一");

  const std::vector<std::wstring> record = Record();
  EXPECT_EQ(record.front(), L"app.Echo call(\"评审标准 A-1\")");
  EXPECT_EQ(record.back(), L"app.Echo call(\"一\", 2, true)");
}

TEST_F(OfficeAutomation, FailuresBecomeErrorsWithTheServersOwnMessage) {
  const auto app = Start("ZelvoranTest.Excel");
  DispatchObject& excel = *app.application;

  try {
    excel.Call("Fail", {std::string("x")});
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "文件无法保存：磁盘已满");
  }
  try {
    excel.Get("MissingMember");
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("MissingMember"), std::string::npos) << e.what();
  }
  try {
    excel.Call("Add", {}, {{"MissingArgument", 1L}});
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("MissingArgument"), std::string::npos) << e.what();
  }

  // An object that is no COM object cannot be passed.
  struct Foreign : DispatchObject {
    Variant Get(const std::string&, const std::vector<Variant>&) override { return {}; }
    void Put(const std::string&, const Variant&) override {}
    Variant Call(const std::string&, const std::vector<Variant>&,
                 const std::vector<NamedArg>&) override { return {}; }
  };
  EXPECT_THROW(excel.Call("Echo", {DispatchRef(std::make_shared<Foreign>())}), std::runtime_error);
  // Only the call that the server raised its exception for arrived.
  EXPECT_EQ(Record(), std::vector<std::wstring>{L"app.Fail call(\"x\")"});
}

TEST_F(OfficeAutomation, ARunningInstanceIsUsedBeforeANewOneIsStarted) {
  CLSID excelClass;
  ASSERT_EQ(CLSIDFromProgID(L"ZelvoranTest.Excel", &excelClass), S_OK);
  IUnknown* running = nullptr;
  ASSERT_EQ(CoCreateInstance(excelClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&running)),
            S_OK);
  DWORD registration = 0;
  ASSERT_EQ(RegisterActiveObject(running, excelClass, ACTIVEOBJECT_STRONG, &registration), S_OK);

  auto found = platform::PlatformAutomationServer().Obtain("ZelvoranTest.Excel");
  RevokeActiveObject(registration, nullptr);
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->alreadyRunning);
  const std::wstring runningLabel = LabelOf(*found->application);

  auto started = platform::PlatformAutomationServer().Obtain("ZelvoranTest.Excel");
  ASSERT_TRUE(started);
  EXPECT_FALSE(started->alreadyRunning);
  EXPECT_NE(LabelOf(*started->application), runningLabel);
  running->Release();
}

TEST_F(OfficeAutomation, AnUnknownOrUnregisteredApplicationIsNotFound) {
  EXPECT_FALSE(platform::PlatformAutomationServer().Obtain("ZelvoranTest.NoSuchApplication"));
  // DllUnregisterServer of the server file removes its classes ...
  ASSERT_TRUE(UnregisterServerFile(ServerPath()));
  EXPECT_FALSE(platform::PlatformAutomationServer().Obtain("ZelvoranTest.Word"));
  // ... and DllRegisterServer brings them back.
  ASSERT_TRUE(RegisterServerFile(ServerPath()));
  EXPECT_TRUE(platform::PlatformAutomationServer().Obtain("ZelvoranTest.Word"));
}

}  // namespace
