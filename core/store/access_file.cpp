#include "core/store/access_file.h"

#include <mdbtools.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "core/store/statements.h"
#include "platform/ascii_case.h"
#include "platform/codepage.h"

namespace store {

namespace {

constexpr const char* kCriteriaTable = "Public_hospital_assessment";
constexpr const char* kSettingsTable = "record_table";
constexpr const char* kSettingsColumns[] = {"record_id", "record_code", "record_name"};
// The rows of a new database's record_table (UTF-8), for a file without one.
constexpr const char* kNewSettings[][2] = {
    {"A1", "0"},
    {"A2", "\xE7\xB2\xBE\xE7\xA1\xAE"},  // 精确
    {"A3", ""},
    {"A4",
     "\xE7\x94\xB5\xE5\xAD\x90\xE7\x97\x85\xE5\x8E\x86\xE7\xB3\xBB\xE7\xBB\x9F\xE5\x8A\x9F\xE8\x83"
     "\xBD\xE5\xBA\x94\xE7\x94\xA8\xE6\xB0\xB4\xE5\xB9\xB3\xE5\x88\x86\xE7\xBA\xA7\xE8\xAF\x84\xE4"
     "\xBB\xB7\xE6\xA0\x87\xE5\x87\x86\xE6\x9F\xA5\xE8\xAF\xA2"},  // 电子病历系统功能应用水平分级评价标准查询
    {"A5", "1"},
};

// Text values are bound into buffers of this size (a text column holds at
// most 255 characters); a longer memo is read again whole (ReadWholeMemo),
// since the library cuts what it binds there.
constexpr size_t kBindSize = 4096;
// Where a row's offset ends and its flags begin, in a data page's row table.
constexpr int kRowOffsetMask = 0x1fff;

class AccessFileError : public std::runtime_error {
 public:
  AccessFileError(const std::string& shownName, const std::string& problem)
      : std::runtime_error("无法读取 Access 数据库文件 " + shownName + "：" + problem +
                           "。文件未作任何改动。") {}
};

struct HandleCloser {
  void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = platform::Utf8ToCp936(error ? error : "out of memory");
    sqlite3_free(error);
    throw std::runtime_error("无法建立内存中的数据表：" + message);
  }
}

Statement Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
    throw std::runtime_error("无法建立内存中的数据表：" +
                             platform::Utf8ToCp936(sqlite3_errmsg(db)));
  return Statement(stmt);
}

// The table of that name in the catalogue (Access names ignore case).
MdbCatalogEntry* FindTable(MdbHandle* mdb, const char* name) {
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && ascii::EqualIgnoringCase(entry->object_name, name))
      return entry;
  }
  return nullptr;
}

// The memo of `column` in the row just fetched, whole: the library gives at
// most its bind size, so the bind size is raised to what this memo can take
// as UTF-8 (at most two bytes for each stored byte) for one more reading.
std::string ReadWholeMemo(MdbHandle* mdb, MdbColumn* column) {
  const unsigned long stored =
      static_cast<unsigned long>(mdb_get_int32(mdb->pg_buf, column->cur_value_start)) & 0x3fffffffUL;
  mdb_set_bind_size(mdb, stored * 2 + 64);
  char* text = mdb_col_to_string(mdb, mdb->pg_buf, column->cur_value_start, MDB_MEMO,
                                 column->cur_value_len);
  mdb_set_bind_size(mdb, kBindSize);
  std::string whole = text ? text : "";
  g_free(text);
  return whole;
}

// Copies the columns `names` of the Access table `entry` into `insertSql`'s
// table, one row at a time. A column missing from the table is named in the
// message thrown.
void CopyTable(MdbHandle* mdb, MdbCatalogEntry* entry, const std::vector<std::string>& names,
               sqlite3* db, const std::string& insertSql, const std::string& shownName) {
  std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(entry));
  if (!table || !mdb_read_columns(table.get()))
    throw AccessFileError(shownName, std::string("表 ") + entry->object_name + " 已损坏，读不出它的结构");
  std::vector<MdbColumn*> columns(names.size(), nullptr);
  std::vector<int> columnNumbers(names.size(), -1);
  std::string missing;
  for (size_t k = 0; k < names.size(); ++k) {
    for (unsigned i = 0; i < table->num_cols; ++i) {
      auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      if (ascii::EqualIgnoringCase(column->name, names[k])) {
        columns[k] = column;
        columnNumbers[k] = static_cast<int>(i);
      }
    }
    if (!columns[k]) missing += (missing.empty() ? "" : "、") + names[k];
  }
  if (!missing.empty())
    throw AccessFileError(shownName, std::string("表 ") + entry->object_name + " 缺少列 " + missing);

  std::vector<std::vector<char>> buffers(names.size(), std::vector<char>(kBindSize));
  std::vector<int> lengths(names.size(), 0);
  for (size_t k = 0; k < names.size(); ++k)
    mdb_bind_column(table.get(), columnNumbers[k] + 1, buffers[k].data(), &lengths[k]);
  mdb_set_bind_size(mdb, kBindSize);
  mdb_rewind_table(table.get());

  Statement insert = Prepare(db, insertSql);
  std::vector<MdbField> fields(table->num_cols);
  std::vector<std::string> memos(names.size());
  unsigned rows = 0;
  while (mdb_fetch_row(table.get())) {
    // The library gives an empty text for NULL too; where a value came out
    // empty, the row's own null flags say which it was.
    std::vector<bool> isNull(names.size(), false);
    bool anyEmpty = false;
    for (const int length : lengths) anyEmpty = anyEmpty || length == 0;
    if (anyEmpty) {
      int start = 0;
      size_t size = 0;
      if (mdb_find_row(mdb, static_cast<int>(table->cur_row) - 1, &start, &size) == 0) {
        const int cracked = mdb_crack_row(table.get(), start & kRowOffsetMask, size, fields.data());
        for (int f = 0; f < cracked; ++f)
          for (size_t k = 0; k < names.size(); ++k)
            if (fields[f].colnum == columnNumbers[k] && lengths[k] == 0) isNull[k] = fields[f].is_null;
      }
    }
    sqlite3_reset(insert.get());
    for (size_t k = 0; k < names.size(); ++k) {
      const int parameter = static_cast<int>(k) + 1;
      if (isNull[k]) {
        sqlite3_bind_null(insert.get(), parameter);
      } else if (columns[k]->col_type == MDB_MEMO &&
                 static_cast<size_t>(lengths[k]) + 8 >= kBindSize) {
        memos[k] = ReadWholeMemo(mdb, columns[k]);
        sqlite3_bind_text(insert.get(), parameter, memos[k].data(), static_cast<int>(memos[k].size()),
                          SQLITE_STATIC);
      } else {
        sqlite3_bind_text(insert.get(), parameter, buffers[k].data(), lengths[k], SQLITE_STATIC);
      }
    }
    if (sqlite3_step(insert.get()) != SQLITE_DONE)
      throw std::runtime_error("无法建立内存中的数据表：" +
                               platform::Utf8ToCp936(sqlite3_errmsg(db)));
    ++rows;
  }
  // A page that cannot be read ends the table early: the table's own count
  // tells a damaged or cut-off file from a complete one.
  if (rows != table->num_rows)
    throw AccessFileError(shownName, std::string("文件已损坏或不完整，表 ") + entry->object_name +
                                         " 应有 " + std::to_string(table->num_rows) +
                                         " 行，只读出 " + std::to_string(rows) + " 行");
}

}  // namespace

bool IsAccessHeader(std::string_view head) {
  return head.size() >= 19 &&
         (head.substr(4, 15) == "Standard Jet DB" || head.substr(4, 15) == "Standard ACE DB");
}

void ImportAccessFile(const std::string& utf8Path, const std::string& shownName, sqlite3* db,
                      const std::string& schema) {
  // Jet 3 stored text in the code page of the Windows that wrote it, which
  // the file does not record: for these files that is CP936. Jet 4 and ACE
  // store Unicode. The library reads both settings when it opens a file.
  setenv("MDB_JET3_CHARSET", "CP936", 1);
  setenv("MDBICONV", "UTF-8", 1);

  // A file cut short shows in its size: every Access file is whole pages
  // (2 KB for Jet 3, 4 KB later), and at least its header and catalogue.
  const std::filesystem::path path(std::u8string(utf8Path.begin(), utf8Path.end()));
  std::ifstream in(path, std::ios::binary);
  char header[0x20] = {};
  in.read(header, sizeof header);
  const unsigned pageSize = header[0x14] == 0 ? 2048 : 4096;
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size < 3 * pageSize || size % pageSize != 0)
    throw AccessFileError(shownName, "文件不完整（大小 " + std::to_string(error ? 0 : size) +
                                         " 字节，不是整页），可能只复制或下载了一部分");

  std::unique_ptr<MdbHandle, HandleCloser> mdb(mdb_open(utf8Path.c_str(), MDB_NOFLAGS));
  if (!mdb) throw AccessFileError(shownName, "文件已损坏，读不出它的文件头");
  // A file encrypted with a password (Access 2007 and later encrypt every
  // page) shows as a catalogue that cannot be read, as a damaged one does.
  // A Jet database password alone does not hide the data and is not asked for.
  if (!mdb_read_catalog(mdb.get(), MDB_TABLE) || mdb->num_catalog == 0)
    throw AccessFileError(shownName, "文件已损坏或已加密，读不出其中的表目录；"
                                     "加了密码的数据库请先在 Access 中撤销密码");

  MdbCatalogEntry* criteria = FindTable(mdb.get(), kCriteriaTable);
  if (!criteria)
    throw AccessFileError(shownName, std::string("其中没有评价标准表 ") + kCriteriaTable);

  std::string create = "create table " + schema + "." + kCriteriaTable + " (" +
                       kCriteriaColumns[0].name + " NUMERIC";
  std::vector<std::string> names{kCriteriaColumns[0].name};
  std::string insert = "insert into " + schema + "." + kCriteriaTable + " values (?";
  for (int k = 1; k < kCriteriaColumnCount; ++k) {
    create += std::string(", ") + kCriteriaColumns[k].name + " TEXT";
    names.push_back(kCriteriaColumns[k].name);
    insert += ",?";
  }
  Exec(db, create + "); create table " + schema + "." + kSettingsTable +
               " (record_id INTEGER, record_code TEXT, record_name TEXT)");
  CopyTable(mdb.get(), criteria, names, db, insert + ")", shownName);

  const std::string settingsInsert = "insert into " + schema + "." + kSettingsTable + " values (?,?,?)";
  if (MdbCatalogEntry* settings = FindTable(mdb.get(), kSettingsTable)) {
    CopyTable(mdb.get(), settings, {std::begin(kSettingsColumns), std::end(kSettingsColumns)}, db,
              settingsInsert, shownName);
  } else {
    Statement row = Prepare(db, settingsInsert);
    for (int i = 0; i < 5; ++i) {
      sqlite3_reset(row.get());
      sqlite3_bind_int(row.get(), 1, i + 1);
      sqlite3_bind_text(row.get(), 2, kNewSettings[i][0], -1, SQLITE_STATIC);
      sqlite3_bind_text(row.get(), 3, kNewSettings[i][1], -1, SQLITE_STATIC);
      sqlite3_step(row.get());
    }
  }
}

}  // namespace store
