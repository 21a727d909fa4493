// The exact texts of the statements (every blank counts), and the settings
// statements run against a database.
#include <gtest/gtest.h>

#include <string>

#include "core/store/ado.h"
#include "core/store/settings_record.h"
#include "core/store/statements.h"
#include "tests/store/store_fixture.h"

namespace {

using store_testing::StoreTest;
using Strings = std::vector<std::string>;

const std::string kEight =
    "project_number,project_code,job_role,operational_project,business_type,system_function,"
    "functional_score,scoring_criteria";
const std::string kJoined =
    "project_number&project_code&job_role&operational_project&business_type&system_function&"
    "functional_score&scoring_criteria";

TEST(StatementTexts, FixedStatements) {
  EXPECT_EQ(std::string(store::kFullSelect),
            "select  serrial_number,project_number,project_code,job_role,operational_project,"
            "business_type,system_function,functional_score,scoring_criteria from "
            "Public_hospital_assessment order by serrial_number asc");
  EXPECT_EQ(std::string(store::kShowAllSelect),
            "select  project_number,project_code,job_role,operational_project,business_type,"
            "system_function,functional_score,scoring_criteria from Public_hospital_assessment "
            "order by serrial_number asc");
  EXPECT_EQ(std::string(store::kSettingsSelect),
            "select record_name from record_table where record_code  order by  record_id asc;");
  EXPECT_EQ(store::SettingsUpdate("A3", "工作"),
            "update record_table set record_name = '工作' where record_code = 'A3';");
  EXPECT_EQ(store::SettingsUpdate("A5", ""),
            "update record_table set record_name = '' where record_code = 'A5';");
}

TEST(StatementTexts, KeywordSearch) {
  const std::string head =
      "select  " + kEight + " from Public_hospital_assessment where";
  const std::string tail = " order by serrial_number asc  ";
  EXPECT_EQ(store::FuzzySearchStatement(0, "ab-1"), head + " " + kJoined + " like '%ab-1%' " + tail);
  EXPECT_EQ(store::FuzzySearchStatement(0, ""), head + " " + kJoined + " like '%%' " + tail);
  EXPECT_EQ(store::FuzzySearchStatement(1, "x y"), head + " project_number like '%x y%' " + tail);
  EXPECT_EQ(store::FuzzySearchStatement(3, ""), head + " job_role is null " + tail);
  EXPECT_EQ(store::FuzzySearchStatement(8, "评"), head + " scoring_criteria like '%评%' " + tail);
  EXPECT_EQ(store::FuzzySearchStatement(8, ""), head + " scoring_criteria is null " + tail);
  // No item selected: no blank after the closing quote.
  EXPECT_EQ(store::FuzzySearchStatement(-1, "ab-1"), head + " " + kJoined + " like '%ab-1%'" + tail);
  // A keyword of letters and digits also matches the pinyin initials; a
  // full-width letter or digit is also looked for in its ASCII form.
  EXPECT_EQ(store::FuzzySearchStatement(0, "Ab1"),
            head + " (" + kJoined + " like '%Ab1%' or pinyin_match('Ab1'," + kEight + ")) " + tail);
  EXPECT_EQ(store::FuzzySearchStatement(1, "ｘ"),
            head + " (project_number like '%ｘ%' or project_number like '%x%' or "
                   "pinyin_match('x',project_number)) " + tail);
  EXPECT_EQ(store::FuzzySearchStatement(-1, "１-"),
            head + " (" + kJoined + " like '%１-%' or " + kJoined + " like '%1-%')" + tail);
  EXPECT_EQ(store::FuzzySearchStatement(9, ""), head + " " + kJoined + " like '%%'" + tail);
  // An apostrophe is doubled, wildcards stay as typed.
  EXPECT_EQ(store::FuzzySearchStatement(2, "a'b%_"), head + " project_code like '%a''b%_%' " + tail);
}

TEST(StatementTexts, SerialFilterAndStepping) {
  const std::string eightHead = "select  " + kEight + " from Public_hospital_assessment where";
  EXPECT_EQ(store::SerialFilterStatement("12", "12-abc"),
            eightHead + " serrial_number = 12 order by serrial_number asc");
  EXPECT_EQ(store::SerialFilterStatement("", "abc-d"),
            eightHead +
                " serrial_number in (select serrial_number from Public_hospital_assessment where " +
                kJoined + " like '%abc-d%') order by serrial_number asc");
  // A search text restored at start-up finds by initials as a typed one.
  EXPECT_EQ(store::SerialFilterStatement("", "yzcl"),
            eightHead +
                " serrial_number in (select serrial_number from Public_hospital_assessment where (" +
                kJoined + " like '%yzcl%' or pinyin_match('yzcl'," + kEight +
                "))) order by serrial_number asc");

  const std::string nineHead = "select  serrial_number," + kEight +
                               " from Public_hospital_assessment  where serrial_number ";
  EXPECT_EQ(store::SteppingStatement("12"), nineHead + "=  12 order by serrial_number asc");
  EXPECT_EQ(store::SteppingStatement("100.5"),
            nineHead + "in (select serrial_number from Public_hospital_assessment where " +
                kJoined + " like '%100.5%') order by serrial_number asc");
  EXPECT_EQ(store::SteppingStatement("it's"),
            nineHead + "in (select serrial_number from Public_hospital_assessment where " +
                kJoined + " like '%it''s%') order by serrial_number asc");
}

TEST_F(StoreTest, SerialFilterAndSteppingFindTheirCriteria) {
  OpenWith({{12, {"p12", "c12", "r", "o", "b", "s", "f", "末12"}},
            {3, {"p3", "abc-d"}},
            {40, {"p40", "xabc-dx"}},
            {41, {"p41", "药品调配"}}});
  EXPECT_EQ(Column(store::SerialFilterStatement("12", "12-abc")), Strings{"p12"});
  EXPECT_EQ(Column(store::SerialFilterStatement("", "yptp")), Strings{"p41"});
  EXPECT_EQ(Column(store::SerialFilterStatement("", "abc-d")), (Strings{"p3", "p40"}));
  EXPECT_EQ(Column(store::SerialFilterStatement("99", "99")), Strings{});
  EXPECT_EQ(Column(store::SteppingStatement("12"), 8), Strings{"末12"});
  EXPECT_EQ(Column(store::SteppingStatement("abc-d")), (Strings{"3", "40"}));
}

TEST_F(StoreTest, SettingsAreSavedAndReadBackWhole) {
  OpenWith({}, {"0", "精确", "", "标题", "1"});
  EXPECT_EQ(store::ReadSettingsValues(query_), (Strings{"0", "精确", "", "标题", "1"}));
  EXPECT_FALSE(query_.Active());

  // Apostrophes, commas, & and SQL words inside the value all stay as typed.
  const std::string value = "it's a,b & c where x order by '工作'";
  store::SaveSetting(query_, "A3", value);
  store::SaveSetting(query_, "A1", "5");
  EXPECT_EQ(testing_support::ReadSettingsRows(dir_.path()),
            (Strings{"5", "精确", value, "标题", "1"}));
  EXPECT_EQ(store::ReadSettingsValues(query_).at(2), value);

  // A code without a row changes nothing and raises nothing.
  EXPECT_NO_THROW(store::SaveSetting(query_, "A9", "x"));
  EXPECT_EQ(testing_support::ReadSettingsRows(dir_.path()),
            (Strings{"5", "精确", value, "标题", "1"}));
}

}  // namespace
