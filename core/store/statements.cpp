#include "core/store/statements.h"

#include "core/base/Excel_unit.h"
#include "core/base/pinyin_initials.h"

namespace store {
namespace {

const std::string kEightColumns = CriteriaColumnList(1, ",");
const std::string kJoinedColumns = CriteriaColumnList(1, "&");

std::string FuzzyHead() {
  return std::string("select  ") + kEightColumns + " from Public_hospital_assessment where";
}

std::string NineColumnHead() {
  return std::string("select  serrial_number,") + kEightColumns +
         " from Public_hospital_assessment  where serrial_number ";
}

}  // namespace

std::string QuoteText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string SettingsUpdate(std::string_view code, std::string_view value) {
  return "update record_table set record_name = '" + QuoteText(value) +
         "' where record_code = '" + std::string(code) + "';";
}

std::string KeywordCondition(const std::string& operand, const std::string& columns,
                             std::string_view s) {
  const std::string literal = operand + " like '%" + QuoteText(s) + "%'";
  const std::string folded = FoldFullWidth(s);
  const bool byInitials = IsInitialsKeyword(s);
  if (folded == s && !byInitials) return literal;
  std::string condition = "(" + literal;
  if (folded != s) condition += " or " + operand + " like '%" + QuoteText(folded) + "%'";
  if (byInitials)
    condition += std::string(" or ") + kInitialsMatchFunction + "('" + QuoteText(folded) + "'," + columns + ")";
  return condition + ")";
}

std::string FuzzySearchStatement(int k, std::string_view s) {
  const auto like = [&](const std::string& operand, const std::string& columns, bool trailingBlank) {
    std::string condition = " " + KeywordCondition(operand, columns, s);
    if (trailingBlank) condition += ' ';
    return condition;
  };
  std::string condition;
  if (k == 0) {
    condition = like(kJoinedColumns, kEightColumns, true);
  } else if (k >= 1 && k <= 8) {
    const std::string column = kCriteriaColumns[k].name;
    condition = s.empty() ? " " + column + " is null " : like(column, column, true);
  } else {
    condition = like(kJoinedColumns, kEightColumns, false);
  }
  return FuzzyHead() + condition + " order by serrial_number asc  ";
}

std::string SerialFilterStatement(std::string_view n, std::string_view s) {
  if (!n.empty())
    return FuzzyHead() + " serrial_number = " + std::string(n) + " " + "order by serrial_number asc";
  return FuzzyHead() +
         " serrial_number in (select serrial_number from Public_hospital_assessment where " +
         KeywordCondition(kJoinedColumns, kEightColumns, s) + ") " + "order by serrial_number asc";
}

std::string SteppingStatement(std::string_view v) {
  if (IsSerialNumber(std::string(v)))
    return NineColumnHead() + "=  " + std::string(v) + " order by serrial_number asc";
  return NineColumnHead() +
         "in (select serrial_number from Public_hospital_assessment where " + kJoinedColumns +
         " like '%" + QuoteText(v) + "%') order by serrial_number asc";
}

}  // namespace store
