#include "core/store/settings_record.h"

#include "core/store/statements.h"

namespace store {

std::vector<std::string> ReadSettingsValues(Query& query) {
  RunSelect(query, kSettingsSelect);
  query.First();
  std::vector<std::string> values;
  while (!query.Eof()) {
    values.push_back(query.Field(0));
    query.Next();
  }
  query.Close();
  return values;
}

void SaveSetting(Query& query, std::string_view code, std::string_view value) {
  query.Close();
  query.SetSql(SettingsUpdate(code, value));
  query.ExecSQL();
}

}  // namespace store
