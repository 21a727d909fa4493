#pragma once
// Every statement the program runs, written in Jet (Access) syntax, the form in
// which the program states them; the Jet dialect adapter turns them into
// SQLite just before they are prepared. Text placed between single quotes
// always passes through QuoteText first.
#include <string>
#include <string_view>

namespace store {

// The criteria table's nine columns in the grid's order, each with the title
// the grid shows over it (CP936): the serial number, then the eight text
// columns. Every statement, the schema and the grid's header take them from here.
struct CriteriaColumn {
  const char* name;
  const char* title;
};
inline constexpr int kCriteriaColumnCount = 9;
inline constexpr CriteriaColumn kCriteriaColumns[kCriteriaColumnCount] = {
    {"serrial_number", "序号"},          {"project_number", "项目序号"},
    {"project_code", "项目代码"},        {"job_role", "工作角色"},
    {"operational_project", "业务项目"}, {"business_type", "评价类别"},
    {"system_function", "主要评价内容"}, {"functional_score", "功能评分"},
    {"scoring_criteria", "数据质量评价内容"}};

// The names of the columns from `first` on, each followed by `suffix` and
// joined by `separator`.
inline std::string CriteriaColumnList(int first, std::string_view separator,
                                      std::string_view suffix = {}) {
  std::string out;
  for (int k = first; k < kCriteriaColumnCount; ++k) {
    if (k > first) out += separator;
    out += kCriteriaColumns[k].name;
    out += suffix;
  }
  return out;
}

// Every criterion, all nine columns, in serial order.
inline const std::string kFullSelect =
    "select  " + CriteriaColumnList(0, ",") +
    " from Public_hospital_assessment order by serrial_number asc";
// Every criterion, the eight text columns, in serial order.
inline const std::string kShowAllSelect =
    "select  " + CriteriaColumnList(1, ",") +
    " from Public_hospital_assessment order by serrial_number asc";

inline constexpr const char* kSettingsSelect =
    "select record_name from record_table where record_code  order by  record_id asc;";

// Doubles every apostrophe, so the text stays one literal between quotes.
std::string QuoteText(std::string_view text);

// The two tables of VARN.mdb, as the demo database and the tests create them:
// the criteria, and the settings rows.
inline const std::string kDatabaseSchema =
    std::string("CREATE TABLE Public_hospital_assessment (") + kCriteriaColumns[0].name +
    " INTEGER, " + CriteriaColumnList(1, ", ", " TEXT") +
    ");CREATE TABLE record_table (record_id INTEGER PRIMARY KEY, record_code TEXT, "
    "record_name TEXT);";

// The codes (record_code) of the settings rows, one value each; the rows are
// read back in record_id order, A1 first.
inline constexpr const char* kSettingField = "A1";        // the field selector's index
inline constexpr const char* kSettingMatchKind = "A2";    // "精确" exact or "模糊" fuzzy
inline constexpr const char* kSettingSearchText = "A3";   // the last search text
inline constexpr const char* kSettingWindowTitle = "A4";  // the main window's title; never written
inline constexpr const char* kSettingMode = "A5";         // "0" show all, "1" retrieval

// code is kSettingField, kSettingMatchKind, kSettingSearchText or kSettingMode.
std::string SettingsUpdate(std::string_view code, std::string_view value);

// The SQL function, registered on every connection, that matches a keyword
// of letters and digits against the pinyin initials of its further arguments
// joined as text (pinyin_match('yzcl', a, b)): 1 when a run of their
// characters spells the keyword by initials, any reading of a character
// counting (InitialsPattern), else 0.
inline constexpr const char* kInitialsMatchFunction = "pinyin_match";

// The condition with which a search text s is looked for in `operand` (a
// column, or the eight joined), `columns` being the same column(s) separated
// by commas: "<operand> like '%s%'"; when folding full-width letters and
// digits changes s, also a like over the folded text; and for a keyword of
// letters and digits (IsInitialsKeyword), also the initials match. Either of
// the latter makes the condition a bracketed "or".
std::string KeywordCondition(const std::string& operand, const std::string& columns,
                             std::string_view s);

// The fuzzy keyword search for selector index k and (trimmed) search text s,
// over the column k names or the eight joined (KeywordCondition).
std::string FuzzySearchStatement(int k, std::string_view s);

// The serial filter: serial number n when not empty, else the criteria whose
// eight joined columns match s (KeywordCondition), so that a search text
// restored at start-up finds by initials as the typed search does.
std::string SerialFilterStatement(std::string_view n, std::string_view s);

// Column stepping over the picked value v.
std::string SteppingStatement(std::string_view v);

}  // namespace store
