// The Jet syntax of the statements, run against the database: the & text
// join, like patterns, the bare-column condition, and quoted text.
#include <gtest/gtest.h>

#include <string>

#include "core/store/jet_dialect.h"
#include "core/store/statements.h"
#include "tests/store/store_fixture.h"

namespace {

using store_testing::StoreTest;
using Strings = std::vector<std::string>;

// Serial numbers of the records a statement with nine columns finds.
std::string SerialsWhere(const std::string& condition) {
  return "select serrial_number from Public_hospital_assessment where " + condition +
         " order by serrial_number asc";
}

TEST_F(StoreTest, JoinTreatsNullAsEmptyAndFindsKeywordsAcrossColumns) {
  OpenWith({{1, {"ab", "cd"}},
            {2, {std::nullopt, "bcd"}},
            {3, {}},  // every column NULL
            {4, {"", ""}},
            {5, {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                 std::nullopt, std::nullopt, "末"}},
            {6, {"p", std::nullopt, "q"}}});
  // "bc" spans project_number and project_code of record 1.
  EXPECT_EQ(Column(SerialsWhere("project_number&project_code like '%bc%'")),
            (Strings{"1", "2"}));
  EXPECT_EQ(Column("select project_number&project_code from Public_hospital_assessment "
                   "order by serrial_number asc"),
            (Strings{"abcd", "bcd", "", "", "", "p"}));
  // All operands NULL joins as NULL, which even '%%' does not match; two
  // empty texts join as an empty text, which it does.
  EXPECT_EQ(Column(SerialsWhere("project_number&project_code like '%%'")), (Strings{"1", "2", "4", "6"}));
  EXPECT_EQ(Column(SerialsWhere("project_number & project_code is null")), (Strings{"3", "5"}));

  // The keyword search over all eight columns with an empty keyword.
  EXPECT_EQ(Column(store::FuzzySearchStatement(0, "")), (Strings{"ab", "", "", "", "p"}));
  EXPECT_EQ(Column(store::FuzzySearchStatement(0, ""), 7), (Strings{"", "", "", "末", ""}));
  // A NULL column between two others joins as nothing.
  EXPECT_EQ(Column(store::FuzzySearchStatement(0, "pq")), Strings{"p"});
  EXPECT_EQ(Column(store::FuzzySearchStatement(0, "d末")), Strings{});
  EXPECT_EQ(Column(store::FuzzySearchStatement(0, "cd")), (Strings{"ab", ""}));
}

TEST_F(StoreTest, LikePatternsOfTheSearchText) {
  OpenWith({{1, {"abc"}}, {2, {"a_c"}}, {3, {"ac"}}, {4, {"100%"}}, {5, {"1000"}},
            {6, {"ABC"}}, {7, {"工作角色"}}, {8, {std::nullopt, "x"}}});
  // "_" stands for one character, "%" for any run; letters match in any case.
  EXPECT_EQ(Column(store::FuzzySearchStatement(1, "a_c"), 0), (Strings{"abc", "a_c", "ABC"}));
  EXPECT_EQ(Column(store::FuzzySearchStatement(1, "a%c"), 0),
            (Strings{"abc", "a_c", "ac", "ABC"}));
  EXPECT_EQ(Column(store::FuzzySearchStatement(1, "100%")), (Strings{"100%", "1000"}));
  EXPECT_EQ(Column(store::FuzzySearchStatement(1, "角")), Strings{"工作角色"});
  // Field 1 with an empty keyword finds the NULL ones.
  EXPECT_EQ(Column(store::FuzzySearchStatement(1, ""), 1), Strings{"x"});
  EXPECT_EQ(Column(store::FuzzySearchStatement(2, "")).size(), 7u);
}

TEST_F(StoreTest, QuotedTextIsNeverRewritten) {
  OpenWith({{1, {"a&b"}}, {2, {"ab"}}, {3, {"where x order by y"}}, {4, {"o'clock"}},
            {5, {"where x"}}});
  EXPECT_EQ(Column(store::FuzzySearchStatement(1, "a&b")), Strings{"a&b"});
  EXPECT_EQ(Column(store::FuzzySearchStatement(1, "where x order")),
            Strings{"where x order by y"});
  EXPECT_EQ(Column(store::FuzzySearchStatement(0, "where x order")),
            Strings{"where x order by y"});
  EXPECT_EQ(Column(store::FuzzySearchStatement(1, "o'clock")), Strings{"o'clock"});
  EXPECT_EQ(Column(store::SerialFilterStatement("", "o'c")), Strings{"o'clock"});
  EXPECT_EQ(Column(store::SteppingStatement("x'c"), 1), Strings{});

  // The adapter leaves every quoted literal as it was, doubled apostrophes
  // included, whatever it rewrites around it.
  const std::string literal = "'it''s a&b where c order by d'";
  const std::string rewritten =
      store::TranslateJet("select a&b, " + literal + " from t where c order by d");
  EXPECT_NE(rewritten.find(literal), std::string::npos) << rewritten;
  EXPECT_EQ(Column("select 'p&q' || ' where z order by w'"), Strings{"p&q where z order by w"});
}

TEST_F(StoreTest, BareColumnConditionReadsTheSettingsInRecordIdOrder) {
  OpenWith({}, {});
  // Inserted out of order, with a gap in the record ids.
  testing_support::ExecOnDb(dir_.path(),
                            "insert into record_table values (9, 'A5', 'e');"
                            "insert into record_table values (2, 'A2', '精确');"
                            "insert into record_table values (7, 'A4', 'd,x');"
                            "insert into record_table values (1, 'A1', 'a');"
                            "insert into record_table values (4, 'A3', NULL);");
  EXPECT_EQ(Column(store::kSettingsSelect), (Strings{"a", "精确", "", "d,x", "e"}));
  // The same condition at the very end of a statement.
  EXPECT_EQ(Column("select record_id from record_table where record_code"),
            (Strings{"1", "2", "4", "7", "9"}));
}

}  // namespace
