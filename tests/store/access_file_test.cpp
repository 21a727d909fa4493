// The hospitals' VARN.mdb as a real Access file (Jet 4 and ACE, written by
// an independent implementation of the format): read whole and exactly,
// searched like any database, never written, and refused clearly when bad.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/store/ado.h"
#include "core/store/settings_record.h"
#include "core/store/statements.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using Strings = std::vector<std::string>;

const std::string kData = std::string(ZELVORAN_SOURCE_DIR) + "/tests/data/access/";
const std::string kTitle = "电子病历系统功能应用水平分级评价标准查询";

// A program folder holding `file` as VARN.mdb, and a settings place of its own.
struct Folder {
  TempDir dir{"zelvoran-access"};
  TempDir userData{"zelvoran-access-user"};
  explicit Folder(const std::string& file, const std::function<void(std::string&)>& change = {}) {
    setenv("XDG_DATA_HOME", userData.path().c_str(), 1);
    Put(file, change);
  }
  void Put(const std::string& file, const std::function<void(std::string&)>& change = {}) {
    std::string bytes = ReadFileBytes(kData + file);
    if (change) change(bytes);
    std::filesystem::remove(Varn());
    std::ofstream(Varn(), std::ios::binary) << bytes;
  }
  std::string Varn() const { return dir.path() + "VARN.mdb"; }
  std::string SettingsFolder() const { return userData.path() + "Zelvoran/"; }
};

void Open(store::AdoConnection& connection, const Folder& folder) {
  connection.SetConnectionString(store::BuildConnectionText(folder.dir.path()));
  connection.Open();
}

// Every row of a select, its fields joined by "|".
Strings Rows(store::AdoConnection& connection, const std::string& sql) {
  store::AdoQuery query(connection);
  query.SetSql(sql);
  query.Open();
  Strings rows;
  for (; !query.Eof(); query.Next()) {
    std::string row;
    for (int i = 0; i < query.FieldCount(); ++i) row += (i ? "|" : "") + query.Field(i);
    rows.push_back(row);
  }
  return rows;
}

// The 6,000-character memo of serial 9002 as the writer of the files made
// it: "长文本", the count of the characters up to here, "；", again and again.
std::string BigMemo() {
  std::string memo;
  size_t characters = 0;
  while (characters < 6000) {
    const std::string n = std::to_string(characters + 3);
    memo += "长文本" + n + "；";
    characters += 3 + n.size() + 1;
  }
  return memo;
}

TEST(AccessFile, EachFormatReadsEveryAwkwardCellExactlyAndSortsBySerial) {
  struct Case {
    std::string file;
    size_t rows;
    bool awkward;
  };
  for (const Case& c : {Case{"VARN-jet4.mdb", 336, true}, Case{"VARN-ace.accdb", 333, false},
                        Case{"VARN-jet4-double-serial.mdb", 15, true},
                        Case{"VARN-jet4-text-serial.mdb", 15, true}}) {
    SCOPED_TRACE(c.file);
    Folder folder(c.file);
    const std::string before = ReadFileBytes(folder.Varn());
    store::AdoConnection connection;
    Open(connection, folder);
    EXPECT_TRUE(connection.AccessFile());
    const Strings all = Rows(connection, store::kFullSelect);
    ASSERT_EQ(all.size(), c.rows);
    // Numeric order, whatever type the file gives the serial number.
    long previous = 0;
    for (const std::string& row : all) {
      const long serial = std::stol(row.substr(0, row.find('|')));
      EXPECT_LE(previous, serial) << row;
      EXPECT_EQ(row.substr(0, row.find('|')), std::to_string(serial));
      previous = serial;
    }
    EXPECT_EQ(Rows(connection, store::kShowAllSelect).size(), c.rows);
    if (c.awkward) {
      EXPECT_EQ(all[all.size() - 2],
                "9001||99.99.9|测试'角色|含%百分号||第一行\r\n第二行，含\"引号\"与,逗号|7|");
      const std::string expected =
          "9002|X|EMR-01|信息科|病历管理|选择|" + BigMemo() + "|8|长";
      EXPECT_TRUE(all.back() == expected) << all.back().size() << " bytes, not " << expected.size();
      EXPECT_EQ(Rows(connection, "select serrial_number from Public_hospital_assessment where "
                                 "serrial_number = 5"),
                (Strings{"5", "5"}));
      // NULL stays NULL and an empty text stays empty: the second serial 5
      // has empty texts, serial 9001 NULLs.
      EXPECT_EQ(Rows(connection, "select serrial_number from Public_hospital_assessment where "
                                 "scoring_criteria is null or functional_score is null"),
                Strings{"9001"});
      // Both search modes and the initials: fuzzy on one column, the serial
      // filter of exact mode, "csjs" for 测试角色.
      EXPECT_EQ(Rows(connection, store::FuzzySearchStatement(4, "百分号")).size(), 1u);
      EXPECT_EQ(Rows(connection, store::SerialFilterStatement("9002", "")).size(), 1u);
      EXPECT_EQ(Rows(connection, store::FuzzySearchStatement(3, "csjs")).size(), 1u);
      EXPECT_EQ(Rows(connection, store::FuzzySearchStatement(0, "引号")).size(), 1u);
    }
    connection.Close();
    EXPECT_TRUE(ReadFileBytes(folder.Varn()) == before) << "the Access file was changed";
  }
}

TEST(AccessFile, SettingsAreTheUsersOwnAndTheTitleFollowsAReplacedFile) {
  Folder folder("VARN-jet4.mdb");
  const std::string before = ReadFileBytes(folder.Varn());
  {
    store::AdoConnection connection;
    Open(connection, folder);
    store::AdoQuery query(connection);
    EXPECT_EQ(store::ReadSettingsValues(query), (Strings{"0", "精确", "", kTitle, "1"}));
    store::SaveSetting(query, store::kSettingSearchText, "评分");
    const std::string note = connection.StatusNote();
    EXPECT_NE(note.find("Access"), std::string::npos) << note;
    EXPECT_NE(note.find(folder.SettingsFolder() + "settings.db"), std::string::npos) << note;
  }
  EXPECT_TRUE(ReadFileBytes(folder.Varn()) == before) << "the Access file was changed";
  {
    store::AdoConnection connection;
    Open(connection, folder);
    store::AdoQuery query(connection);
    EXPECT_EQ(store::ReadSettingsValues(query), (Strings{"0", "精确", "评分", kTitle, "1"}));
  }
  // The hospital's file replaced by another: its title comes along, the
  // user's search text stays.
  folder.Put("VARN-jet4-double-serial.mdb");
  store::AdoConnection connection;
  Open(connection, folder);
  store::AdoQuery query(connection);
  EXPECT_EQ(store::ReadSettingsValues(query), (Strings{"0", "精确", "评分", "标题", "1"}));
}

TEST(AccessFile, BadFilesAreRefusedWithAMessageThatNamesFileAndFault) {
  // Replaces every UTF-16 copy of `from` by `to` (names in the file's tables).
  const auto rename = [](const std::string& from, const std::string& to) {
    return [from, to](std::string& bytes) {
      std::string f, t;
      for (char ch : from) f += std::string{ch, '\0'};
      for (char ch : to) t += std::string{ch, '\0'};
      for (size_t at; (at = bytes.find(f)) != std::string::npos;) bytes.replace(at, f.size(), t);
    };
  };
  struct Case {
    std::string name;
    std::function<void(std::string&)> change;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"cut short", [](std::string& b) { b.resize(8000); }, "文件不完整"},
      {"cut at a page", [](std::string& b) { b.resize(40 * 4096); }, "只读出"},
      {"damaged catalogue",
       [](std::string& b) {
         for (size_t i = 4096; i < b.size(); ++i) b[i] = static_cast<char>(i * 7919 >> 3);
       },
       "已损坏或已加密"},
      {"no criteria table", rename("Public_hospital_assessment", "Public_hospital_assessmenX"),
       "没有评价标准表 Public_hospital_assessment"},
      {"a column missing", rename("job_role", "job_rolX"), "缺少列 job_role"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Folder folder("VARN-jet4.mdb", c.change);
    const std::string before = ReadFileBytes(folder.Varn());
    store::AdoConnection connection;
    std::string message;
    try {
      Open(connection, folder);
    } catch (const std::exception& e) {
      message = e.what();
    }
    EXPECT_NE(message.find(c.says), std::string::npos) << message;
    EXPECT_NE(message.find(folder.Varn()), std::string::npos) << message;
    EXPECT_FALSE(connection.Connected());
    EXPECT_TRUE(ReadFileBytes(folder.Varn()) == before);
  }
  // A file without record_table opens with a new database's settings.
  Folder folder("VARN-jet4-no-settings.mdb");
  store::AdoConnection connection;
  Open(connection, folder);
  store::AdoQuery query(connection);
  EXPECT_EQ(store::ReadSettingsValues(query), (Strings{"0", "精确", "", kTitle, "1"}));
}

TEST(AccessFile, ADamagedSettingsFileIsSetAsideOnceAndStartsAnew) {
  Folder folder("VARN-ace.accdb");
  { store::AdoConnection connection; Open(connection, folder); }
  // The header stays valid, the pages after it are damaged.
  const std::string settings = folder.SettingsFolder() + "settings.db";
  std::string bytes = ReadFileBytes(settings);
  ASSERT_GT(bytes.size(), 4096u);
  for (size_t i = 100; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5);
  std::ofstream(settings, std::ios::binary | std::ios::trunc) << bytes;

  store::AdoConnection connection;
  Open(connection, folder);
  const std::string note = connection.StatusNote();
  EXPECT_NE(note.find("已损坏"), std::string::npos) << note;
  size_t setAside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.SettingsFolder()))
    if (entry.path().filename().string().starts_with("settings.db.damaged-") &&
        ReadFileBytes(entry.path().string()) == bytes)
      ++setAside;
  EXPECT_EQ(setAside, 1u);
  store::AdoQuery query(connection);
  EXPECT_EQ(store::ReadSettingsValues(query), (Strings{"0", "模糊", "医嘱", kTitle, "0"}));
  connection.Close();
  Open(connection, folder);
  EXPECT_EQ(connection.StatusNote().find("已损坏"), std::string::npos);
}

}  // namespace
