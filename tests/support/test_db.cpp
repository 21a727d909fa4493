#include "tests/support/test_db.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/codepage.h"
#include "core/store/statements.h"

namespace testing_support {

namespace {

// The program keeps files of the user's own (the settings of a read-only
// VARN.mdb) under $XDG_DATA_HOME. Every test program, and every program it
// starts, keeps them in a folder of its own, so that no test reads or
// removes such a file of the person who runs the tests.
struct PrivateUserDataFolder {
  TempDir folder{"zelvoran-user-data"};
  PrivateUserDataFolder() { setenv("XDG_DATA_HOME", folder.path().c_str(), 1); }
};
const PrivateUserDataFolder g_privateUserData;

}  // namespace

std::vector<std::string> DefaultSettings() {
  return {"0", "精确", "", "测试标题", "1"};
}

namespace {

struct Db {
  sqlite3* db = nullptr;
  explicit Db(const std::string& file, int flags) {
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open test database " + file);
  }
  ~Db() { sqlite3_close(db); }
  void Exec(const std::string& utf8) {
    char* err = nullptr;
    if (sqlite3_exec(db, utf8.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : "?";
      sqlite3_free(err);
      throw std::runtime_error("test database: " + msg + " in " + utf8);
    }
  }
};

void BindText(sqlite3_stmt* st, int index, const Field& value) {
  if (!value) {
    sqlite3_bind_null(st, index);
    return;
  }
  std::string utf8 = platform::Cp936ToUtf8(*value);
  sqlite3_bind_text(st, index, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

}  // namespace

void CreateVarnDb(const std::string& folder, const std::vector<Criterion>& criteria,
                  const std::vector<std::string>& settings) {
  Db db(folder + "VARN.mdb", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  db.Exec(store::kDatabaseSchema + "BEGIN;");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db.db, "INSERT INTO Public_hospital_assessment VALUES (?,?,?,?,?,?,?,?,?)",
                     -1, &st, nullptr);
  for (const auto& c : criteria) {
    sqlite3_reset(st);
    sqlite3_bind_int64(st, 1, c.serial);
    for (int i = 0; i < 8; ++i)
      BindText(st, i + 2, i < static_cast<int>(c.fields.size()) ? c.fields[i] : std::nullopt);
    if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error("insert failed");
  }
  sqlite3_finalize(st);
  sqlite3_prepare_v2(db.db, "INSERT INTO record_table VALUES (?,?,?)", -1, &st, nullptr);
  for (size_t k = 0; k < settings.size(); ++k) {
    sqlite3_reset(st);
    sqlite3_bind_int(st, 1, static_cast<int>(k + 1));
    std::string code = "A" + std::to_string(k + 1);
    sqlite3_bind_text(st, 2, code.c_str(), -1, SQLITE_TRANSIENT);
    BindText(st, 3, settings[k]);
    if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error("insert setting failed");
  }
  sqlite3_finalize(st);
  db.Exec("COMMIT;");
}

std::vector<std::string> ReadSettingsRows(const std::string& folder) {
  Db db(folder + "VARN.mdb", SQLITE_OPEN_READONLY);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db.db, "SELECT record_name FROM record_table ORDER BY record_id", -1, &st,
                     nullptr);
  std::vector<std::string> out;
  while (sqlite3_step(st) == SQLITE_ROW) {
    auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    out.push_back(platform::Utf8ToCp936(t ? t : ""));
  }
  sqlite3_finalize(st);
  return out;
}

void ExecOnDb(const std::string& folder, const std::string& cp936Sql) {
  Db db(folder + "VARN.mdb", SQLITE_OPEN_READWRITE);
  db.Exec(platform::Cp936ToUtf8(cp936Sql));
}

}  // namespace testing_support
