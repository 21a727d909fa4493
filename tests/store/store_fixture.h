#pragma once
// A connection and query on a fresh VARN.mdb in a temporary folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "core/store/ado.h"
#include "tests/support/test_db.h"

namespace store_testing {

using testing_support::Criterion;
using testing_support::Field;

// Runs a select and returns field `index` of every record, in result order.
inline std::vector<std::string> ColumnOf(store::AdoQuery& query, const std::string& statement,
                                         int index = 0) {
  query.Close();
  query.ClearSql();
  query.AddSql(statement);
  query.Open();
  std::vector<std::string> values;
  query.First();
  for (int k = query.RecordCount(); k > 0; --k) {
    values.push_back(query.Field(index));
    query.Next();
  }
  EXPECT_TRUE(query.Eof());
  return values;
}

class StoreTest : public ::testing::Test {
 protected:
  // Creates the database with `criteria` and the default settings, and opens it.
  void OpenWith(const std::vector<Criterion>& criteria,
                const std::vector<std::string>& settings = testing_support::DefaultSettings()) {
    testing_support::CreateVarnDb(dir_.path(), criteria, settings);
    connection_.SetConnectionString(
        store::BuildConnectionText(dir_.path()));
    connection_.Open();
  }

  std::vector<std::string> Column(const std::string& statement, int index = 0) {
    return ColumnOf(query_, statement, index);
  }

  testing_support::TempDir dir_{"zelvoran-store"};
  store::AdoConnection connection_;
  store::AdoQuery query_{connection_};
};

}  // namespace store_testing
