#include "store/ado.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "base/pinyin_initials.h"
#include "platform/codepage.h"
#include "store/statements.h"
#include "store/jet_dialect.h"

namespace store {

std::string BuildConnectionText(const std::filesystem::path& folder) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
         platform::PathToUtf8(folder / "VARN.mdb") + ";Persist Security Info=true;Password=\"\"";
}

std::string DataSourceOf(const std::string& connectionText) {
  static const std::string key = "Data Source=";
  size_t at = connectionText.find(key);
  if (at == std::string::npos) return {};
  at += key.size();
  size_t end = connectionText.find(';', at);
  return connectionText.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

namespace {

[[noreturn]] void ThrowEngine(sqlite3* db, const std::string& context = {}) {
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
  const std::string unchanged = "。文件未作任何改动";
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

}  // namespace

AdoConnection::AdoConnection() = default;

AdoConnection::~AdoConnection() { Close(); }

void AdoConnection::Open() {
  Close();
  const std::string path = DataSourceOf(connectionString_);  // UTF-8
  const std::string file = platform::Utf8ToCp936(path);      // as the user is shown it
  // Looked at before SQLite touches it, so a file of another kind is left
  // exactly as it was.
  if (const std::string problem = NotAnSqliteDatabase(path); !problem.empty())
    throw std::runtime_error(problem);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) {
    // SQLite opens lazily; read the schema now so a file that is not a
    // database fails here and not at the first statement.
    rc = sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    std::string msg = platform::Utf8ToCp936(db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    throw std::runtime_error(file + ": " + msg);
  }
  sqlite3_busy_timeout(db, 2000);
  if (sqlite3_create_function_v2(db, kInitialsFunction, -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                 nullptr, PinyinInitialsFunction, nullptr, nullptr,
                                 nullptr) != SQLITE_OK) {
    const std::string msg = platform::Utf8ToCp936(sqlite3_errmsg(db));
    sqlite3_close(db);
    throw std::runtime_error(file + ": " + msg);
  }
  db_ = db;
}

void AdoConnection::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
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
    if (n.size() == name.size() &&
        std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        }))
      return Field(static_cast<int>(i));
  }
  throw std::runtime_error(std::string(name) + ": field not found");
}

}  // namespace store
