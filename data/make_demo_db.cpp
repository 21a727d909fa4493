// Builds the demo VARN.mdb from data/criteria.tsv (UTF-8, nine TAB-separated
// fields per line; an empty field is NULL; the two characters \n stand for a
// line break inside a field). An existing database is never replaced.
//
//   make_demo_db criteria.tsv path/to/VARN.mdb
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/store/statements.h"

namespace {

const char* const kSettings[][2] = {
    {store::kSettingField, "0"},
    {store::kSettingMatchKind, "精确"},
    {store::kSettingSearchText, ""},
    {store::kSettingWindowTitle, "电子病历系统功能应用水平分级评价标准查询"},
    {store::kSettingMode, "1"},
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    out.push_back(line.substr(start, tab - start));
  out.push_back(line.substr(start));
  return out;
}

std::string ExpandLineBreaks(std::string s) {
  for (size_t at; (at = s.find("\\n")) != std::string::npos;) s.replace(at, 2, "\r\n");
  return s;
}

bool Check(sqlite3* db, int rc, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE) return true;
  std::cerr << "make_demo_db: " << what << ": " << sqlite3_errmsg(db) << "\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_demo_db criteria.tsv VARN.mdb\n";
    return 2;
  }
  const std::filesystem::path source = argv[1], target = argv[2];
  if (std::filesystem::exists(target)) return 0;

  std::ifstream in(source, std::ios::binary);
  if (!in) {
    std::cerr << "make_demo_db: cannot read " << source << "\n";
    return 1;
  }
  // Built under a temporary name and renamed at the end, so an interrupted
  // build never leaves a half-filled database that later builds would keep.
  const std::filesystem::path temp = target.string() + ".building";
  std::filesystem::remove(temp);
  sqlite3* db = nullptr;
  if (sqlite3_open(temp.string().c_str(), &db) != SQLITE_OK) {
    std::cerr << "make_demo_db: cannot create " << temp << "\n";
    return 1;
  }
  bool ok = Check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "begin") &&
            Check(db, sqlite3_exec(db, store::kDatabaseSchema.c_str(), nullptr, nullptr, nullptr), "schema");
  sqlite3_stmt* insert = nullptr;
  ok = ok && Check(db,
                   sqlite3_prepare_v2(db,
                                      "INSERT INTO Public_hospital_assessment VALUES "
                                      "(?,?,?,?,?,?,?,?,?)",
                                      -1, &insert, nullptr),
                   "prepare");
  std::string line;
  int rows = 0, lineNo = 0;
  while (ok && std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    auto fields = SplitTabs(line);
    if (fields.size() != 9) {
      std::cerr << "make_demo_db: line " << lineNo << " has " << fields.size()
                << " fields, not 9\n";
      ok = false;
      break;
    }
    sqlite3_reset(insert);
    sqlite3_bind_int64(insert, 1, std::stoll(fields[0]));
    for (int i = 1; i < 9; ++i) {
      std::string v = ExpandLineBreaks(fields[i]);
      if (v.empty())
        sqlite3_bind_null(insert, i + 1);
      else
        sqlite3_bind_text(insert, i + 1, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    ok = Check(db, sqlite3_step(insert), "insert");
    ++rows;
  }
  sqlite3_finalize(insert);
  sqlite3_stmt* setting = nullptr;
  ok = ok && Check(db,
                   sqlite3_prepare_v2(db,
                                      "INSERT INTO record_table (record_id, record_code, "
                                      "record_name) VALUES (?,?,?)",
                                      -1, &setting, nullptr),
                   "prepare settings");
  for (int i = 0; ok && i < 5; ++i) {
    sqlite3_reset(setting);
    sqlite3_bind_int(setting, 1, i + 1);
    sqlite3_bind_text(setting, 2, kSettings[i][0], -1, SQLITE_STATIC);
    sqlite3_bind_text(setting, 3, kSettings[i][1], -1, SQLITE_STATIC);
    ok = Check(db, sqlite3_step(setting), "insert settings");
  }
  sqlite3_finalize(setting);
  ok = ok && Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
  sqlite3_close(db);
  if (!ok) {
    std::filesystem::remove(temp);
    return 1;
  }
  std::filesystem::rename(temp, target);
  std::cout << "Demo database with " << rows << " criteria: " << target.string() << "\n";
  return 0;
}
