#pragma once
// Microsoft Access databases (Jet 3, Jet 4 and ACE, the .mdb and .accdb
// files that the hospitals' VARN.mdb is), read through mdbtools' libmdb.
// The file is only ever opened for reading: its two tables are copied into
// SQLite tables, where every statement then runs as on any other database.
#include <string>
#include <string_view>

struct sqlite3;

namespace store {

// Whether the first bytes of a file are those of an Access database (the
// engine's name stands at byte 4). The file name plays no part.
bool IsAccessHeader(std::string_view head);

// Creates Public_hospital_assessment and record_table in the schema `schema`
// of `db` and fills them from the Access file `utf8Path`. Columns are found by
// name, whatever their order, and other columns are left out; every value
// arrives as text (the serial number as a number, so that it sorts as one),
// a NULL as NULL, a memo whole. A file without record_table gets the
// settings rows a new database has. Throws a message for the user (CP936)
// that names the file (`shownName`, CP936) and says what is wrong with it.
void ImportAccessFile(const std::string& utf8Path, const std::string& shownName, sqlite3* db,
                      const std::string& schema);

}  // namespace store
