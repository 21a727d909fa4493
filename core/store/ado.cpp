#include "core/store/ado.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/base/app_folder.h"
#include "core/base/pinyin_initials.h"
#include "platform/ascii_case.h"
#include "platform/codepage.h"
#include "platform/user_files.h"
#include "core/store/statements.h"
#include "core/store/jet_dialect.h"

namespace store {

namespace {

constexpr int kBusyWaitMs = 2000;
const std::string kDataSourceKey = "Data Source=";

// Every connection that is open now, for CheckpointOpenConnections.
std::vector<AdoConnection*>& OpenConnections() {
  static std::vector<AdoConnection*> open;
  return open;
}

}  // namespace

std::string BuildConnectionText(const std::filesystem::path& folder) {
  std::string source = platform::PathToUtf8(folder / "VARN.mdb");
  if (source.find_first_of(";\"") != std::string::npos || source.rfind('\'', 0) == 0) {
    std::string quoted = "\"";
    for (const char c : source) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    source = quoted + "\"";
  }
  return "Provider=Microsoft.Jet.OLEDB.4.0;" + kDataSourceKey + source +
         ";Persist Security Info=true;Password=\"\"";
}

std::string DataSourceOf(const std::string& connectionText) {
  size_t at = connectionText.find(kDataSourceKey);
  if (at == std::string::npos) return {};
  at += kDataSourceKey.size();
  if (at < connectionText.size() && (connectionText[at] == '"' || connectionText[at] == '\'')) {
    // A quoted value runs to the lone closing quote; a doubled quote inside
    // stands for one.
    const char quote = connectionText[at];
    std::string value;
    for (size_t i = at + 1; i < connectionText.size(); ++i) {
      if (connectionText[i] != quote) {
        value += connectionText[i];
      } else if (i + 1 < connectionText.size() && connectionText[i + 1] == quote) {
        value += quote;
        ++i;
      } else {
        break;
      }
    }
    return value;
  }
  const size_t end = connectionText.find(';', at);
  return connectionText.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

void CheckpointOpenConnections() {
  for (AdoConnection* connection : OpenConnections())
    sqlite3_wal_checkpoint_v2(connection->Handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                              nullptr);
}

namespace {

const std::string kUnchanged = "文件未作任何改动。";

std::string LockedMessage(const std::string& file) {
  return "数据库文件 " + file + " 被另一个程序锁定，等了 " + std::to_string(kBusyWaitMs / 1000) +
         " 秒仍未解锁。";
}

[[noreturn]] void ThrowEngine(sqlite3* db, const std::string& context = {}) {
  if (db && sqlite3_errcode(db) == SQLITE_BUSY) {
    const char* file = sqlite3_db_filename(db, "main");
    throw std::runtime_error(LockedMessage(platform::Utf8ToCp936(file ? file : "")) +
                             "这次操作没有完成。");
  }
  std::string msg = platform::Utf8ToCp936(db ? sqlite3_errmsg(db) : "out of memory");
  throw std::runtime_error(context.empty() ? msg : context + ": " + msg);
}

// What the first bytes of an existing file say about it: "" for an SQLite
// database (or a file that cannot be read, which SQLite then reports), else
// the whole message for the user.
std::string NotAnSqliteDatabase(const std::string& utf8Path) {
  const std::filesystem::path path(std::u8string(utf8Path.begin(), utf8Path.end()));
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  char header[32] = {};
  in.read(header, sizeof header);
  const std::string head(header, static_cast<size_t>(in.gcount()));
  if (head.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0) return {};

  const std::string file = platform::Utf8ToCp936(utf8Path);
  const std::string prefix = "无法打开数据库文件 " + file + "：";
  const std::string unchanged = "。" + kUnchanged;
  if (head.empty()) return prefix + "文件是空的，其中没有任何数据" + unchanged;
  // Access databases carry their engine's name at byte 4.
  if (head.size() >= 19 && (head.compare(4, 15, "Standard Jet DB") == 0 ||
                            head.compare(4, 15, "Standard ACE DB") == 0))
    return prefix + "这是 Access 数据库（旧版 Windows 程序使用的格式），本版本只能打开 SQLite 数据库" +
           unchanged;
  return prefix + "它不是 SQLite 数据库，可能已经损坏或是别的文件" + unchanged;
}

// pinyin_initials(a, b, ...): the pinyin initials of its arguments joined
// as text, a NULL joining as nothing; NULL when every argument is NULL (as
// the & join gives). Taking the columns one by one spares the statement a
// second join of the eight columns.
void PinyinInitialsFunction(sqlite3_context* context, int argc, sqlite3_value** args) {
  try {
    std::string initials;
    bool allNull = true;
    for (int i = 0; i < argc; ++i) {
      if (sqlite3_value_type(args[i]) == SQLITE_NULL) continue;
      allNull = false;
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[i]));
      if (text) AppendPinyinInitialsOfUtf8(std::string_view(text, sqlite3_value_bytes(args[i])), initials);
    }
    if (allNull)
      sqlite3_result_null(context);
    else
      sqlite3_result_text(context, initials.data(), static_cast<int>(initials.size()), SQLITE_TRANSIENT);
  } catch (const std::exception& e) {
    sqlite3_result_error(context, e.what(), -1);
  }
}

std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A file name as an SQLite URI ("file:" and the path, every byte outside
// the plain ones as %XX), with the query part given.
std::string FileUri(const std::string& utf8Path, const char* query) {
  static const char hex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const char c : utf8Path) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) || std::strchr("/-._~", c)) {
      uri += c;
    } else {
      uri += '%';
      uri += hex[b >> 4];
      uri += hex[b & 15];
    }
  }
  return uri + "?" + query;
}

// Runs one statement whose text has at most one parameter, given as text.
int Run(sqlite3* db, const char* sql, const std::string* parameter = nullptr) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  if (rc == SQLITE_OK && parameter)
    rc = sqlite3_bind_text(stmt, 1, parameter->c_str(), static_cast<int>(parameter->size()),
                           SQLITE_TRANSIENT);
  if (rc == SQLITE_OK) {
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  sqlite3_finalize(stmt);
  return rc;
}

// The first column of the first row of a select as text; nothing when the
// select fails or finds no row.
std::optional<std::string> FirstText(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  std::optional<std::string> value;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    value = text ? text : "";
  }
  sqlite3_finalize(stmt);
  return value;
}

// Opens `target` and reads its schema, which is where a file that is not a
// database, or one that another program keeps locked, shows itself.
// Throws the message for the user; `file` is the name shown.
sqlite3* OpenAndCheck(const std::string& target, int flags, const std::string& file) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(target.c_str(), &db, flags, nullptr);
  if (rc == SQLITE_OK) {
    // Waits for a lock that another program holds, from the first statement on.
    sqlite3_busy_timeout(db, kBusyWaitMs);
    rc = sqlite3_create_function_v2(db, kInitialsFunction, -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                    nullptr, PinyinInitialsFunction, nullptr, nullptr, nullptr);
  }
  if (rc == SQLITE_OK) {
    // SQLite opens lazily; read the schema now so a file that is not a
    // database fails here and not at the first statement.
    rc = Run(db, "select count(*) from sqlite_master");
  }
  if (rc == SQLITE_OK) return db;
  const bool busy = db && sqlite3_errcode(db) == SQLITE_BUSY;
  const std::string msg = platform::Utf8ToCp936(db ? sqlite3_errmsg(db) : "out of memory");
  sqlite3_close(db);
  if (busy) throw std::runtime_error("无法打开数据库文件。" + LockedMessage(file) + kUnchanged);
  throw std::runtime_error(file + ": " + msg);
}

// Whether the database may be changed in place: not in a system install's
// folder, whoever runs the program; elsewhere when the user may change the
// file, and the files that the engine keeps beside it while it writes,
// where they exist.
bool MayChangeDatabase(const std::filesystem::path& file) {
  if (IsSystemInstall(file.parent_path()) || !platform::MayChangeInPlace(file)) return false;
  for (const char* companion : {"-journal", "-wal", "-shm"}) {
    std::filesystem::path beside = file;
    beside += companion;
    std::error_code error;
    if (std::filesystem::exists(beside, error) && !platform::MayChangeInPlace(beside)) return false;
  }
  return true;
}

// The name of the file that keeps the settings when the database may not be
// changed in place.
constexpr const char* kSettingsFileName = "settings.db";

}  // namespace

AdoConnection::AdoConnection() = default;

AdoConnection::~AdoConnection() { Close(); }

void AdoConnection::Open() {
  Close();
  const std::string path = DataSourceOf(connectionString_);  // UTF-8
  // Looked at before SQLite touches it, so a file of another kind is left
  // exactly as it was.
  if (const std::string problem = NotAnSqliteDatabase(path); !problem.empty())
    throw std::runtime_error(problem);
  std::error_code error;
  if (!std::filesystem::exists(Utf8Path(path), error) || MayChangeDatabase(Utf8Path(path)))
    OpenInPlace(path);
  else
    OpenWithSettingsApart(path);
  OpenConnections().push_back(this);
}

void AdoConnection::OpenInPlace(const std::string& path) {
  db_ = OpenAndCheck(path, SQLITE_OPEN_READWRITE, platform::Utf8ToCp936(path));
  // Settings that were kept apart while the file could not be changed go
  // back into it: the values the program saves, not the title, which only
  // the database's owner sets. Should that fail, they stay apart for the
  // next start.
  const std::optional<std::filesystem::path> folder = platform::UserDataFolder();
  if (!folder) return;
  const std::filesystem::path kept = *folder / kSettingsFileName;
  std::error_code error;
  if (!std::filesystem::exists(kept, error)) return;
  const std::string keptUtf8 = platform::PathToUtf8(kept);
  if (Run(db_, "attach ? as kept", &keptUtf8) != SQLITE_OK) {
    Run(db_, "detach kept");
    return;
  }
  const bool moved =
      Run(db_, "begin immediate") == SQLITE_OK &&
      Run(db_,
          "update main.record_table set record_name = (select k.record_name from "
          "kept.record_table k where k.record_code = main.record_table.record_code) "
          "where record_code in (select record_code from kept.record_table) "
          "and record_code in ('A1', 'A2', 'A3', 'A5')") == SQLITE_OK &&
      Run(db_, "commit") == SQLITE_OK;
  if (!moved) Run(db_, "rollback");
  Run(db_, "detach kept");
  if (moved) std::filesystem::remove(kept, error);
}

void AdoConnection::OpenWithSettingsApart(const std::string& path) {
  // The user's own file is the main database and holds record_table; the
  // criteria file is attached read-only beside it, so that every statement
  // finds each table by its plain name.
  const std::string file = platform::Utf8ToCp936(path);
  std::filesystem::path settings;
  if (const std::optional<std::filesystem::path> folder = platform::UserDataFolder()) {
    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    if (!error) settings = *folder / kSettingsFileName;
  }
  sqlite3* db = nullptr;
  if (!settings.empty()) {
    try {
      db = OpenAndCheck(platform::PathToUtf8(settings),
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI,
                        platform::Utf8ToCp936(platform::PathToUtf8(settings)));
    } catch (const std::runtime_error&) {
      settings.clear();  // kept in memory instead
    }
  }
  if (!db)
    db = OpenAndCheck(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, "");
  // Read-only first; where even that needs a file that cannot be made beside
  // the database (a database in write-ahead mode in a read-only folder), as
  // a file that nothing changes while it is open.
  const std::string readOnly = FileUri(path, "mode=ro");
  const std::string unchanging = FileUri(path, "immutable=1");
  int rc = Run(db, "attach ? as criteria", &readOnly);
  if (rc == SQLITE_OK) rc = Run(db, "select count(*) from criteria.sqlite_master");
  if (rc != SQLITE_OK && rc != SQLITE_BUSY) {
    Run(db, "detach criteria");
    rc = Run(db, "attach ? as criteria", &unchanging);
    if (rc == SQLITE_OK) rc = Run(db, "select count(*) from criteria.sqlite_master");
  }
  if (rc != SQLITE_OK) {
    const bool busy = sqlite3_errcode(db) == SQLITE_BUSY;
    const std::string msg = platform::Utf8ToCp936(sqlite3_errmsg(db));
    sqlite3_close(db);
    if (busy) throw std::runtime_error("无法打开数据库文件。" + LockedMessage(file) + kUnchanged);
    throw std::runtime_error(file + ": " + msg);
  }
  // The first time, the settings table is made like the database's own and
  // takes its rows. A database without one gets none here either, and the
  // statements on it fail as they would on the database itself.
  bool seeded = Run(db, "begin immediate") == SQLITE_OK;
  if (seeded && !FirstText(db, "select name from main.sqlite_master where name = 'record_table'")) {
    const std::optional<std::string> create = FirstText(
        db, "select sql from criteria.sqlite_master where type = 'table' and name = 'record_table'");
    seeded = create && Run(db, create->c_str()) == SQLITE_OK &&
             Run(db, "insert into main.record_table select * from criteria.record_table") ==
                 SQLITE_OK;
  }
  seeded = seeded && Run(db, "commit") == SQLITE_OK;
  if (!seeded) Run(db, "rollback");
  db_ = db;
  settingsKeptApart_ = true;
  settingsFile_ = settings;
}

void AdoConnection::Close() {
  std::erase(OpenConnections(), this);
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  settingsKeptApart_ = false;
  settingsFile_.clear();
}

void AdoQuery::AddSql(std::string_view line) {
  if (!sql_.empty()) sql_ += '\n';
  sql_ += line;
}

void AdoQuery::Close() {
  active_ = false;
  names_.clear();
  cells_.clear();
  rows_ = 0;
  current_ = 0;
}

namespace {

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

void Prepare(AdoConnection& connection, const std::string& sql, Statement& st) {
  if (!connection.Connected()) throw std::runtime_error("Connection is not open");
  const std::string utf8 = platform::Cp936ToUtf8(TranslateJet(sql));
  if (sqlite3_prepare_v2(connection.Handle(), utf8.c_str(), static_cast<int>(utf8.size()),
                         &st.stmt, nullptr) != SQLITE_OK)
    ThrowEngine(connection.Handle());
  if (!st.stmt) throw std::runtime_error("The statement text is empty");
}

}  // namespace

void AdoQuery::Open() {
  Close();
  Statement st;
  Prepare(connection_, sql_, st);
  const int columns = sqlite3_column_count(st.stmt);
  std::vector<std::string> names;
  for (int i = 0; i < columns; ++i) names.push_back(sqlite3_column_name(st.stmt, i));
  std::vector<std::string> cells;
  int rows = 0;
  int rc;
  while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
    for (int i = 0; i < columns; ++i) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, i));
      const int len = sqlite3_column_bytes(st.stmt, i);
      cells.push_back(text ? platform::Utf8ToCp936(std::string_view(text, len)) : std::string());
    }
    ++rows;
  }
  if (rc != SQLITE_DONE) ThrowEngine(connection_.Handle());
  names_ = std::move(names);
  cells_ = std::move(cells);
  rows_ = rows;
  current_ = 0;
  active_ = true;
}

void AdoQuery::ExecSQL() {
  Close();
  Statement st;
  Prepare(connection_, sql_, st);
  int rc;
  while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) ThrowEngine(connection_.Handle());
}

int AdoQuery::RecordCount() const {
  if (!active_) throw std::runtime_error("Operation not allowed on a closed dataset");
  return rows_;
}

void AdoQuery::First() {
  if (!active_) throw std::runtime_error("Operation not allowed on a closed dataset");
  current_ = 0;
}

void AdoQuery::Next() {
  if (!active_) throw std::runtime_error("Operation not allowed on a closed dataset");
  if (current_ < rows_) ++current_;
}

bool AdoQuery::Eof() const {
  if (!active_) throw std::runtime_error("Operation not allowed on a closed dataset");
  return current_ >= rows_;
}

int AdoQuery::FieldCount() const { return static_cast<int>(names_.size()); }

void AdoQuery::RequireOpenRecord() const {
  if (!active_) throw std::runtime_error("Operation not allowed on a closed dataset");
  if (current_ >= rows_) throw std::runtime_error("Either BOF or EOF is True, or the current record has been deleted");
}

std::string AdoQuery::Field(int index) const {
  RequireOpenRecord();
  if (index < 0 || index >= FieldCount())
    throw std::runtime_error("Field index out of range: " + std::to_string(index));
  return cells_[static_cast<size_t>(current_) * names_.size() + static_cast<size_t>(index)];
}

std::string AdoQuery::FieldByName(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    const std::string& n = names_[i];
    if (ascii::EqualIgnoringCase(n, name))
      return Field(static_cast<int>(i));
  }
  throw std::runtime_error(std::string(name) + ": field not found");
}

}  // namespace store
