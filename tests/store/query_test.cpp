// The connection and the query object: opening, reading results as text,
// and the errors of a bad file or statement.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "gui/base/error_report.h"
#include "core/store/statements.h"
#include "tests/store/store_fixture.h"

namespace {

using store_testing::ColumnOf;
using store_testing::StoreTest;
using Strings = std::vector<std::string>;

// The message of the error that `action` throws ("" when none).
template <typename Action>
std::string ErrorOf(Action action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

TEST_F(StoreTest, SelectReadsEveryRecordInAscendingSerialOrderAsText) {
  // Inserted out of order; a NULL field and a number that needs many digits.
  OpenWith({{30, {"c1", "c2", "c3", "c4", "c5", "c6", "c7", "c8"}},
            {2, {"a1", std::nullopt, "工作"}},
            {1234567890123, {"z"}},
            {17, {"b1"}}});
  query_.Close();
  query_.ClearSql();
  query_.AddSql(store::kFullSelect);
  query_.Open();
  ASSERT_TRUE(query_.Active());
  EXPECT_EQ(query_.RecordCount(), 4);
  EXPECT_EQ(query_.FieldCount(), 9);

  query_.First();
  EXPECT_EQ(query_.Field(0), "2");
  EXPECT_EQ(query_.Field(1), "a1");
  EXPECT_EQ(query_.Field(2), "");  // NULL
  EXPECT_EQ(query_.Field(3), "工作");
  EXPECT_EQ(query_.Field(8), "");
  EXPECT_EQ(query_.FieldByName("job_role"), "工作");
  EXPECT_EQ(query_.FieldByName("SERRIAL_NUMBER"), "2");  // names in any case
  query_.Next();
  EXPECT_EQ(query_.Field(0), "17");
  query_.Next();
  EXPECT_EQ(query_.Field(0), "30");
  EXPECT_EQ(query_.FieldByName("scoring_criteria"), "c8");
  query_.Next();
  EXPECT_EQ(query_.Field(0), "1234567890123");
  EXPECT_FALSE(query_.Eof());
  query_.Next();
  EXPECT_TRUE(query_.Eof());
  query_.Next();  // past the end stays at the end
  EXPECT_TRUE(query_.Eof());
  EXPECT_THROW(query_.Field(0), std::runtime_error);

  query_.First();  // back to the start of the same result
  EXPECT_EQ(query_.Field(0), "2");
  EXPECT_THROW(query_.Field(9), std::runtime_error);
  EXPECT_THROW(query_.FieldByName("no_such_column"), std::runtime_error);

  // The show-all select has the same order, without the serial number.
  EXPECT_EQ(Column(store::kShowAllSelect), (Strings{"a1", "b1", "c1", "z"}));
}

TEST_F(StoreTest, EmptyResultAndClosedQuery) {
  OpenWith({});
  EXPECT_EQ(Column(store::kFullSelect), Strings{});
  EXPECT_EQ(query_.RecordCount(), 0);
  EXPECT_TRUE(query_.Eof());
  query_.Close();
  EXPECT_FALSE(query_.Active());
  EXPECT_THROW(query_.RecordCount(), std::runtime_error);
  EXPECT_THROW(query_.Eof(), std::runtime_error);
}

TEST_F(StoreTest, RejectedStatementThrowsTheEngineMessageAndLeavesTheQueryClosed) {
  OpenWith({{1, {"x"}}});
  Column(store::kFullSelect);
  ASSERT_TRUE(query_.Active());

  query_.Close();
  query_.ClearSql();
  query_.AddSql("selec serrial_number from Public_hospital_assessment");
  const std::string syntax = ErrorOf([&] { query_.Open(); });
  EXPECT_NE(syntax.find("syntax error"), std::string::npos) << syntax;
  EXPECT_FALSE(query_.Active());

  // A failing open after a good one does not leave the old result readable.
  Column(store::kFullSelect);
  query_.SetSql("select x from no_such_table");
  const std::string table = ErrorOf([&] { query_.Open(); });
  EXPECT_NE(table.find("no such table"), std::string::npos) << table;
  EXPECT_FALSE(query_.Active());
  EXPECT_THROW(query_.RecordCount(), std::runtime_error);

  query_.SetSql("update no_such_table set a = 1");
  EXPECT_NE(ErrorOf([&] { query_.ExecSQL(); }).find("no such table"), std::string::npos);
  EXPECT_FALSE(query_.Active());

  query_.SetSql("");
  EXPECT_THROW(query_.Open(), std::runtime_error);
}

TEST(StoreConnection, MissingFileFailsWithTheEngineMessageAndCreatesNothing) {
  testing_support::TempDir dir("zelvoran-store");
  store::AdoConnection connection;
  connection.SetConnectionString(store::BuildConnectionText(dir.path()));
  const std::string message = ErrorOf([&] { connection.Open(); });
  EXPECT_NE(message.find("unable to open database file"), std::string::npos) << message;
  EXPECT_FALSE(connection.Connected());
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "VARN.mdb"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

  // Every statement on the unopened connection fails too.
  store::AdoQuery query(connection);
  query.SetSql(store::kFullSelect);
  EXPECT_THROW(query.Open(), std::runtime_error);
  EXPECT_FALSE(query.Active());
}

TEST(StoreConnection, FolderNamesReachTheEngineWhole) {
  testing_support::TempDir dir("zelvoran-store");
  // "数据" and "jörg" in UTF-8, as the file system names them; GBK has no
  // "ö". The others hold what separates or quotes the parts of the text.
  const char* const names[] = {"my data \xE6\x95\xB0\xE6\x8D\xAE j\xC3\xB6rg/", "a;b/",
                               "say \"hi\";Password=x/", "'quoted/"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string folder = dir.path() + name;
    std::filesystem::create_directory(folder);
    testing_support::CreateVarnDb(folder, {{5, {"甲"}}});

    const std::string text = store::BuildConnectionText(folder);
    EXPECT_EQ(store::DataSourceOf(text), folder + "VARN.mdb");
    EXPECT_NE(text.find(";Persist Security Info=true;Password=\"\""), std::string::npos);
    store::AdoConnection connection;
    connection.SetConnectionString(text);
    ASSERT_NO_THROW(connection.Open());
    store::AdoQuery query(connection);
    EXPECT_EQ(ColumnOf(query, store::kShowAllSelect), Strings{"甲"});
  }
  // A plain name is not quoted.
  EXPECT_EQ(store::BuildConnectionText(dir.path() + names[0]),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.path() + names[0] +
                "VARN.mdb;Persist Security Info=true;Password=\"\"");
}

// A lock that another connection holds for a moment is waited for; one held
// on is reported with the file's name.
TEST(StoreConnection, WaitsForAShortLockAndNamesTheFileOfALongOne) {
  testing_support::TempDir dir("zelvoran-store");
  testing_support::CreateVarnDb(dir.path(), {{1, {"甲"}}});
  const std::string file = dir.path() + "VARN.mdb";
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &holder), SQLITE_OK);

  ASSERT_EQ(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  // The other program's lock lasts 0.7 s: that length is the case under test.
  std::thread release([holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    sqlite3_exec(holder, "commit", nullptr, nullptr, nullptr);
  });
  store::AdoConnection waited;
  waited.SetConnectionString(store::BuildConnectionText(dir.path()));
  EXPECT_EQ(ErrorOf([&] { waited.Open(); }), "");
  release.join();
  store::AdoQuery query(waited);
  EXPECT_EQ(ColumnOf(query, store::kShowAllSelect), Strings{"甲"});

  ASSERT_EQ(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  store::AdoConnection refused;
  refused.SetConnectionString(store::BuildConnectionText(dir.path()));
  const std::string message = ErrorOf([&] { refused.Open(); });
  EXPECT_NE(message.find("数据库文件 " + file + " 被另一个程序锁定"), std::string::npos) << message;
  EXPECT_EQ(WithFullStop(message), message);
  EXPECT_FALSE(refused.Connected());
  sqlite3_exec(holder, "rollback", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
}

TEST(StoreConnection, FilesThatAreNoSqliteDatabaseAreNamedAndLeftUnchanged) {
  testing_support::TempDir dir("zelvoran-store");
  const std::string file = dir.path() + "VARN.mdb";
  const std::pair<std::string, std::string> cases[] = {
      {std::string(600, 'x'), "既不是 Access 数据库也不是 SQLite 数据库"},
      {"", "文件是空的"},
  };
  for (const auto& [content, found] : cases) {
    std::ofstream(file, std::ios::binary) << content;
    store::AdoConnection connection;
    connection.SetConnectionString(store::BuildConnectionText(dir.path()));
    const std::string message = ErrorOf([&] { connection.Open(); });
    EXPECT_EQ(message.rfind("无法打开数据库文件 " + file + "：", 0), 0u) << message;
    EXPECT_NE(message.find(found), std::string::npos) << message;
    EXPECT_NE(message.find("文件未作任何改动。"), std::string::npos) << message;
    EXPECT_EQ(WithFullStop(message), message);  // a Chinese sentence keeps its own stop
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(testing_support::ReadFileBytes(file), content);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

TEST(StoreConnection, TwoConnectionsToOneFileSeeEachOthersUpdates) {
  testing_support::TempDir dir("zelvoran-store");
  testing_support::CreateVarnDb(dir.path(), {});
  store::AdoConnection first, second;
  first.SetConnectionString(store::BuildConnectionText(dir.path()));
  second.SetConnectionString(store::BuildConnectionText(dir.path()));
  first.Open();
  second.Open();
  store::AdoQuery writer(first), reader(second);
  ColumnOf(reader, store::kSettingsSelect);  // an open result on the other connection
  writer.SetSql(store::SettingsUpdate("A3", "新"));
  ASSERT_NO_THROW(writer.ExecSQL());
  EXPECT_EQ(ColumnOf(reader, store::kSettingsSelect).at(2), "新");
}

}  // namespace
