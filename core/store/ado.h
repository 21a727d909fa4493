#pragma once
// The connection and query objects through which every statement runs.
// A query is used in a fixed order: close, set
// the text, open (a select; the whole result is read at once, so the record
// count is known) or execute (an update); first, next, end test; fields read
// by position or by name, always as text. Text crosses this border as CP936.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/store/query.h"

struct sqlite3;

namespace store {

// "Provider=...;Data Source=" + folder/VARN.mdb + ";Persist Security Info=true;Password=\"\"".
// The Data Source part holds the file name in UTF-8, the form SQLite takes
// on every platform, so no character of the folder's name is lost. A name
// that holds ";" or '"' (or starts with "'") is put between double quotes,
// a double quote inside doubled, as connection texts quote their values.
std::string BuildConnectionText(const std::filesystem::path& folder);

// The value of the "Data Source" part of a connection text ("" when absent),
// its quotes taken off.
std::string DataSourceOf(const std::string& connectionText);

// Writes the changes that every open connection keeps beside its database
// files (the write-ahead log) into the files themselves, so that each file
// holds all its data even when the process ends without closing anything.
void CheckpointOpenConnections();

class AdoConnection {
 public:
  AdoConnection();
  ~AdoConnection();
  AdoConnection(const AdoConnection&) = delete;
  AdoConnection& operator=(const AdoConnection&) = delete;

  void SetConnectionString(std::string text) { connectionString_ = std::move(text); }
  const std::string& ConnectionString() const { return connectionString_; }

  // Opens the file named by Data Source. Never creates a database and never
  // writes to a file that is not one: a missing file throws with the
  // engine's message; an Access file (known by its content) is read into
  // memory and never written, its settings kept as for a read-only file
  // below; an empty file or any other file that is not a database throws
  // one message that names the file and what was found in it; a file that another program keeps locked for
  // longer than the wait (2 s) throws a message that names the file.
  //
  // A file that the user may read but not change in place (a read-only
  // file or folder, a program installed by another user) is read as it is,
  // and the settings table record_table is kept apart, in a file of the
  // user's own (SettingsFile), seeded from the database's own rows the first
  // time: every statement runs as usual. Once the database may be changed
  // again, the settings kept apart go back into it and their file goes.
  void Open();
  void Close();
  bool Connected() const { return db_ != nullptr; }
  sqlite3* Handle() const { return db_; }

  // Whether the settings live apart from the database (see Open), and where:
  // a file of the user's own, or empty when no such file could be made
  // (then they hold only until the connection closes).
  bool SettingsKeptApart() const { return settingsKeptApart_; }
  const std::filesystem::path& SettingsFile() const { return settingsFile_; }
  // Whether the criteria come from an Access file (always read-only).
  bool AccessFile() const { return accessFile_; }

  // The line for the browser's status bar (CP936), "" when there is nothing
  // the user would not expect: where the settings are kept when the criteria
  // come from an Access file, or when a folder of the user's own holds a
  // VARN.mdb that cannot be written, or when the settings cannot be kept at
  // all; and, once, that a damaged settings file was set aside.
  std::string StatusNote() const;

  // The file that a failing statement names in its message (CP936): the
  // settings file for a write while the settings are kept apart, else VARN.mdb.
  std::string FileShown(bool write) const;

 private:
  void OpenInPlace(const std::string& path);
  void OpenWithSettingsApart(const std::string& path, bool access);
  // Opens the user's settings file (its path is put into `settings`), a
  // damaged one set aside and started anew; a database in memory when there
  // is no place for the file.
  sqlite3* OpenSettingsFile(std::filesystem::path& settings);

  std::string connectionString_;
  sqlite3* db_ = nullptr;
  bool settingsKeptApart_ = false;
  bool settingsApartUnexpected_ = false;
  bool accessFile_ = false;
  std::filesystem::path settingsFile_;
  std::string settingsNote_;
  std::string sharedCopyKey_;  // the Access file's copy in memory this connection holds
};

class AdoQuery final : public Query {
 public:
  explicit AdoQuery(AdoConnection& connection) : connection_(connection) {}

  void Close() override;
  void ClearSql() { sql_.clear(); }
  void AddSql(std::string_view line);  // appends one line of statement text
  void SetSql(std::string text) override { sql_ = std::move(text); }
  const std::string& Sql() const { return sql_; }

  // Runs the statement text as a select and reads the whole result.
  // On failure the query stays closed and the engine's message is thrown.
  void Open() override;
  // Runs the statement text as a statement that returns nothing.
  void ExecSQL() override;

  bool Active() const { return active_; }
  int RecordCount() const override;
  void First() override;
  void Next() override;
  bool Eof() const override;
  int FieldCount() const override;
  // The current record's field as text; NULL reads "", an integer as its digits.
  std::string Field(int index) const override;
  std::string FieldByName(std::string_view name) const;

 private:
  void RequireOpenRecord() const;

  AdoConnection& connection_;
  std::string sql_;
  bool active_ = false;
  std::vector<std::string> names_;
  std::vector<std::string> cells_;  // row-major, CP936
  int rows_ = 0;
  int current_ = 0;
};

}  // namespace store
