#include "core/store/settings_record.h"

#include "core/store/statements.h"

namespace store {

std::vector<std::string> ReadSettingsValues(AdoQuery& query) {
  query.Close();
  query.ClearSql();
  query.AddSql(kSettingsSelect);
  query.Open();
  query.First();
  std::vector<std::string> values;
  while (!query.Eof()) {
    values.push_back(query.Field(0));
    query.Next();
  }
  query.Close();
  return values;
}

void SaveSetting(AdoQuery& query, std::string_view code, std::string_view value) {
  query.Close();
  query.ClearSql();
  query.SetSql(SettingsUpdate(code, value));
  query.ExecSQL();
}

}  // namespace store
