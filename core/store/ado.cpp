#include "core/store/ado.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <optional>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "core/base/app_folder.h"
#include "core/base/pinyin_initials.h"
#include "core/store/access_file.h"
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

// The engine's failure in words for the user: which file, what went wrong
// with it, and the engine's own words for the details.
std::string EngineMessage(sqlite3* db, const std::string& file) {
  const int code = db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM;
  const std::string detail = platform::Utf8ToCp936(db ? sqlite3_errmsg(db) : "out of memory");
  std::string what;
  switch (code) {
    case SQLITE_READONLY:
      what = "文件不能写入（它是只读的，或在程序运行时被换掉了），这次的改动没有保存";
      break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: what = "文件已损坏"; break;
    case SQLITE_FULL: what = "磁盘已满，这次的改动没有保存"; break;
    case SQLITE_IOERR: what = "读写文件时出错"; break;
    case SQLITE_CANTOPEN: what = "文件不存在或打不开"; break;
    case SQLITE_PERM:
    case SQLITE_AUTH: what = "没有访问这个文件的权限"; break;
    case SQLITE_NOMEM: what = "内存不足"; break;
    default: what = "数据库不能执行这条语句"; break;
  }
  return "数据库文件 " + file + " 出错：" + what + "（" + detail + "）。";
}

[[noreturn]] void ThrowEngine(sqlite3* db, const std::string& file) {
  if (db && sqlite3_errcode(db) == SQLITE_BUSY)
    throw std::runtime_error(LockedMessage(file) + "这次操作没有完成。");
  throw std::runtime_error(EngineMessage(db, file));
}

// The first bytes of a file ("" when it is missing or cannot be read).
std::string FirstBytes(const std::string& utf8Path) {
  const std::filesystem::path path(std::u8string(utf8Path.begin(), utf8Path.end()));
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return {};
  std::ifstream in(path, std::ios::binary);
  char header[32] = {};
  in.read(header, sizeof header);
  return std::string(header, static_cast<size_t>(in.gcount()));
}

// What the first bytes of an existing file that is not an Access database
// say about it: "" for an SQLite database (or a file that cannot be read,
// which SQLite then reports), else the whole message for the user.
std::string NotAnSqliteDatabase(const std::string& utf8Path, const std::string& head) {
  const std::filesystem::path path(std::u8string(utf8Path.begin(), utf8Path.end()));
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return {};
  if (head.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0) return {};
  const std::string file = platform::Utf8ToCp936(utf8Path);
  const std::string prefix = "无法打开数据库文件 " + file + "：";
  const std::string unchanged = "。" + kUnchanged;
  if (head.empty()) return prefix + "文件是空的，其中没有任何数据" + unchanged;
  return prefix + "它既不是 Access 数据库也不是 SQLite 数据库，可能已经损坏或是别的文件" + unchanged;
}

// pinyin_match(keyword, a, b, ...): 1 when the keyword matches the pinyin
// initials of a, b, ... joined as text (a NULL joining as nothing), else 0.
// Taking the columns one by one spares the statement a second join of the
// eight columns. The keyword's pattern is kept with the statement while it
// runs, so it is built once and not once per row.
void PinyinMatchFunction(sqlite3_context* context, int argc, sqlite3_value** args) {
  try {
    if (argc < 1 || sqlite3_value_type(args[0]) == SQLITE_NULL) {
      sqlite3_result_int(context, 0);
      return;
    }
    std::unique_ptr<InitialsPattern> built;
    const auto* pattern = static_cast<const InitialsPattern*>(sqlite3_get_auxdata(context, 0));
    if (!pattern) {
      const auto* keyword = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
      built = std::make_unique<InitialsPattern>(
          std::string_view(keyword ? keyword : "", static_cast<size_t>(sqlite3_value_bytes(args[0]))));
      pattern = built.get();
    }
    std::string initials;
    for (int i = 1; i < argc; ++i)
      if (const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[i])))
        AppendPinyinInitialsOfUtf8(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(args[i]))),
                                   initials);
    sqlite3_result_int(context, pattern->FoundIn(initials) ? 1 : 0);
    // Handed over last: SQLite may free it at once when it cannot keep it.
    if (built)
      sqlite3_set_auxdata(context, 0, built.release(), [](void* p) { delete static_cast<InitialsPattern*>(p); });
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
    rc = sqlite3_create_function_v2(db, kInitialsMatchFunction, -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                    nullptr, PinyinMatchFunction, nullptr, nullptr, nullptr);
  }
  if (rc == SQLITE_OK) {
    // SQLite opens lazily; read the schema now so a file that is not a
    // database fails here and not at the first statement.
    rc = Run(db, "select count(*) from sqlite_master");
  }
  if (rc == SQLITE_OK) return db;
  const bool busy = db && sqlite3_errcode(db) == SQLITE_BUSY;
  const std::string msg = EngineMessage(db, file);
  sqlite3_close(db);
  if (busy) throw std::runtime_error("无法打开数据库文件。" + LockedMessage(file) + kUnchanged);
  throw std::runtime_error(msg);
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

// Where the settings record is kept, decided in this one place: in the
// database itself when it is an SQLite file that the user may change in
// place (or no file at all, which then fails to open as it is), else in the
// user's own settings file. An Access file is never written.
enum class SettingsPlace { kInDatabase, kUserFile };
SettingsPlace ChooseSettingsPlace(const std::filesystem::path& database, bool accessFile) {
  if (accessFile) return SettingsPlace::kUserFile;
  std::error_code error;
  if (!std::filesystem::exists(database, error) || MayChangeDatabase(database))
    return SettingsPlace::kInDatabase;
  return SettingsPlace::kUserFile;
}

// The name of the file that keeps the settings when the database may not be
// changed in place.
constexpr const char* kSettingsFileName = "settings.db";

// Access files copied into memory, shared by the connections open on the
// same file at once (the browser's and the progress window's), so that each
// is read and held once: a named in-memory database lives as long as a
// connection has it attached.
struct SharedCopy {
  std::string key;  // the file's name, size and time of change
  std::string uri;
  int users = 0;
};
std::vector<SharedCopy>& SharedCopies() {
  static std::vector<SharedCopy> copies;
  return copies;
}

std::string SharedCopyKey(const std::string& utf8Path) {
  std::error_code error;
  const std::filesystem::path path = Utf8Path(utf8Path);
  const auto size = std::filesystem::file_size(path, error);
  const auto changed = std::filesystem::last_write_time(path, error).time_since_epoch().count();
  return utf8Path + "|" + std::to_string(size) + "|" + std::to_string(changed);
}

// Whether an open settings file is sound: its schema reads and its pages
// pass the engine's quick check. A file whose header is valid but whose
// tables are damaged fails here rather than at every later statement.
bool SettingsFileSound(sqlite3* db) {
  return FirstText(db, "pragma quick_check").value_or("") == "ok";
}

// Renames a damaged settings file out of the way, the date and time in its
// new name, so nothing of it is lost; the new name, or nothing when it
// could not be renamed.
std::optional<std::filesystem::path> SetAside(const std::filesystem::path& file) {
  const std::time_t now = std::time(nullptr);
  char stamp[32] = {};
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
  std::filesystem::path aside = file;
  aside += std::string(".damaged-") + stamp;
  std::error_code error;
  for (int n = 2; std::filesystem::exists(aside, error); ++n) {
    aside = file;
    aside += std::string(".damaged-") + stamp + "-" + std::to_string(n);
  }
  std::filesystem::rename(file, aside, error);
  if (error) return std::nullopt;
  for (const char* companion : {"-journal", "-wal", "-shm"}) {
    std::filesystem::path beside = file, besideAside = aside;
    beside += companion;
    besideAside += companion;
    if (std::filesystem::exists(beside, error)) std::filesystem::rename(beside, besideAside, error);
  }
  return aside;
}

}  // namespace

AdoConnection::AdoConnection() = default;

AdoConnection::~AdoConnection() { Close(); }

void AdoConnection::Open() {
  Close();
  const std::string path = DataSourceOf(connectionString_);  // UTF-8
  // Looked at before any engine touches it, so a file of another kind is
  // left exactly as it was. The content decides, never the name.
  const std::string head = FirstBytes(path);
  const bool access = IsAccessHeader(head);
  if (!access) {
    if (const std::string problem = NotAnSqliteDatabase(path, head); !problem.empty())
      throw std::runtime_error(problem);
  }
  if (ChooseSettingsPlace(Utf8Path(path), access) == SettingsPlace::kInDatabase)
    OpenInPlace(path);
  else
    OpenWithSettingsApart(path, access);
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

sqlite3* AdoConnection::OpenSettingsFile(std::filesystem::path& settings) {
  if (const std::optional<std::filesystem::path> folder = platform::UserDataFolder()) {
    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    if (!error) settings = *folder / kSettingsFileName;
  }
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI;
  for (int attempt = 0; attempt < 2 && !settings.empty(); ++attempt) {
    const std::string shown = platform::PathToCp936(settings);
    sqlite3* db = nullptr;
    bool damaged = false;
    try {
      db = OpenAndCheck(platform::PathToUtf8(settings), flags, shown);
      damaged = !SettingsFileSound(db);
    } catch (const std::runtime_error&) {
      // Whether the file is damaged (its header, or the schema behind it)
      // or only locked or out of reach, its own engine code tells.
      sqlite3* probe = nullptr;
      sqlite3_open_v2(platform::PathToUtf8(settings).c_str(), &probe, SQLITE_OPEN_READONLY, nullptr);
      const int rc = Run(probe, "select count(*) from sqlite_master");
      damaged = rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
      sqlite3_close(probe);
    }
    if (!damaged && db) return db;
    sqlite3_close(db);
    if (!damaged) break;
    const std::optional<std::filesystem::path> aside = SetAside(settings);
    if (!aside) break;
    settingsNote_ = "设置文件 " + shown + " 已损坏，已改名为 " + platform::PathToCp936(*aside) +
                    " 保留下来；设置已按 VARN.mdb 中的内容重新开始。";
  }
  settings.clear();  // kept in memory instead
  return OpenAndCheck(":memory:", flags, "");
}

void AdoConnection::OpenWithSettingsApart(const std::string& path, bool access) {
  // The user's own file is the main database and holds record_table; the
  // criteria are attached beside it, read-only, so that every statement
  // finds each table by its plain name. An Access file's tables are copied
  // into a database in memory attached in the same way.
  const std::string file = platform::Utf8ToCp936(path);
  std::filesystem::path settings;
  sqlite3* db = OpenSettingsFile(settings);
  int rc;
  if (access) {
    const std::string key = SharedCopyKey(path);
    std::vector<SharedCopy>& copies = SharedCopies();
    auto copy = std::find_if(copies.begin(), copies.end(),
                             [&](const SharedCopy& c) { return c.key == key; });
    if (copy != copies.end()) {
      rc = Run(db, "attach ? as criteria", &copy->uri);
    } else {
      static int copiesMade = 0;
      const std::string uri =
          "file:zelvoran-access-" + std::to_string(++copiesMade) + "?mode=memory&cache=shared";
      rc = Run(db, "attach ? as criteria", &uri);
      if (rc == SQLITE_OK) {
        try {
          Run(db, "begin");
          ImportAccessFile(path, file, db, "criteria");
          Run(db, "commit");
        } catch (...) {
          sqlite3_close(db);
          throw;
        }
        copies.push_back({key, uri, 0});
        copy = copies.end() - 1;
      }
    }
    if (rc == SQLITE_OK) {
      ++copy->users;
      sharedCopyKey_ = key;
    }
  } else {
    // Read-only first; where even that needs a file that cannot be made
    // beside the database (a database in write-ahead mode in a read-only
    // folder), as a file that nothing changes while it is open.
    const std::string readOnly = FileUri(path, "mode=ro");
    const std::string unchanging = FileUri(path, "immutable=1");
    rc = Run(db, "attach ? as criteria", &readOnly);
    if (rc == SQLITE_OK) rc = Run(db, "select count(*) from criteria.sqlite_master");
    if (rc != SQLITE_OK && rc != SQLITE_BUSY) {
      Run(db, "detach criteria");
      rc = Run(db, "attach ? as criteria", &unchanging);
      if (rc == SQLITE_OK) rc = Run(db, "select count(*) from criteria.sqlite_master");
    }
  }
  if (rc != SQLITE_OK) {
    const bool busy = sqlite3_errcode(db) == SQLITE_BUSY;
    const std::string msg = EngineMessage(db, file);
    sqlite3_close(db);
    if (busy) throw std::runtime_error("无法打开数据库文件。" + LockedMessage(file) + kUnchanged);
    throw std::runtime_error(msg);
  }
  // The first time, the settings table is made like the database's own and
  // takes its rows. A database without one gets none here either, and the
  // statements on it fail as they would on the database itself. The title
  // (A4) is no setting of the user's: it is taken from the database at
  // every start, so a replaced VARN.mdb brings its own.
  bool seeded = Run(db, "begin immediate") == SQLITE_OK;
  if (seeded && !FirstText(db, "select name from main.sqlite_master where name = 'record_table'")) {
    const std::optional<std::string> create = FirstText(
        db, "select sql from criteria.sqlite_master where type = 'table' and name = 'record_table'");
    seeded = create && Run(db, create->c_str()) == SQLITE_OK &&
             Run(db, "insert into main.record_table select * from criteria.record_table") ==
                 SQLITE_OK;
  }
  if (seeded)
    Run(db,
        "update main.record_table set record_name = (select c.record_name from "
        "criteria.record_table c where c.record_code = 'A4') where record_code = 'A4' and "
        "exists (select 1 from criteria.record_table c where c.record_code = 'A4')");
  seeded = seeded && Run(db, "commit") == SQLITE_OK;
  if (!seeded) Run(db, "rollback");
  db_ = db;
  settingsKeptApart_ = true;
  accessFile_ = access;
  settingsFile_ = settings;
  settingsApartUnexpected_ = !access && platform::OwnedByCallingUser(Utf8Path(path).parent_path());
}

void AdoConnection::Close() {
  std::erase(OpenConnections(), this);
  if (!sharedCopyKey_.empty()) {
    std::vector<SharedCopy>& copies = SharedCopies();
    for (auto copy = copies.begin(); copy != copies.end(); ++copy)
      if (copy->key == sharedCopyKey_ && --copy->users == 0) {
        copies.erase(copy);
        break;
      }
    sharedCopyKey_.clear();
  }
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  settingsKeptApart_ = false;
  settingsApartUnexpected_ = false;
  accessFile_ = false;
  settingsFile_.clear();
  settingsNote_.clear();
}

std::string AdoConnection::FileShown(bool write) const {
  if (write && settingsKeptApart_ && !settingsFile_.empty())
    return platform::PathToCp936(settingsFile_);
  return platform::Utf8ToCp936(DataSourceOf(connectionString_));
}

std::string AdoConnection::StatusNote() const {
  std::string note = settingsNote_;
  if (!settingsKeptApart_) return note;
  const std::string where = settingsFile_.empty()
                                ? std::string("只保留到程序退出为止（没有地方存放设置文件）")
                                : "保存在 " + platform::PathToCp936(settingsFile_);
  if (accessFile_)
    note += "评价标准读自 Access 数据库 VARN.mdb（只读取，从不改动它）；设置" + where + "。";
  else if (settingsApartUnexpected_ || settingsFile_.empty())
    note += "提示：VARN.mdb 不能写入，设置" + where + "。";
  return note;
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

void Prepare(AdoConnection& connection, const std::string& sql, Statement& st, bool write) {
  if (!connection.Connected()) throw std::runtime_error("Connection is not open");
  const std::string utf8 = platform::Cp936ToUtf8(TranslateJet(sql));
  if (sqlite3_prepare_v2(connection.Handle(), utf8.c_str(), static_cast<int>(utf8.size()),
                         &st.stmt, nullptr) != SQLITE_OK)
    ThrowEngine(connection.Handle(), connection.FileShown(write));
  if (!st.stmt) throw std::runtime_error("The statement text is empty");
}

}  // namespace

void AdoQuery::Open() {
  Close();
  Statement st;
  Prepare(connection_, sql_, st, false);
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
  if (rc != SQLITE_DONE) ThrowEngine(connection_.Handle(), connection_.FileShown(false));
  names_ = std::move(names);
  cells_ = std::move(cells);
  rows_ = rows;
  current_ = 0;
  active_ = true;
}

void AdoQuery::ExecSQL() {
  Close();
  Statement st;
  Prepare(connection_, sql_, st, true);
  int rc;
  while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) ThrowEngine(connection_.Handle(), connection_.FileShown(true));
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
