#pragma once
// Small databases for tests: every test builds its own VARN.mdb in its own
// temporary folder. Texts are given as CP936 (the program's text).
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace testing_support {

using Field = std::optional<std::string>;  // nullopt is NULL

struct Criterion {
  long long serial;
  std::vector<Field> fields;  // the eight text columns; missing ones are NULL
};

// Settings rows A1..A5 (values in record_id order). Fewer or more are allowed.
std::vector<std::string> DefaultSettings();

// Creates `folder`/VARN.mdb (UTF-8 path) with both tables and the given rows.
// settings[k] goes into the row with record_id k+1 and code "A<k+1>".
void CreateVarnDb(const std::string& folder, const std::vector<Criterion>& criteria,
                  const std::vector<std::string>& settings = DefaultSettings());

// The record_name of every settings row in record_id order, as CP936.
std::vector<std::string> ReadSettingsRows(const std::string& folder);

// Runs a statement (CP936 text) directly on the test database.
void ExecOnDb(const std::string& folder, const std::string& cp936Sql);

}  // namespace testing_support
