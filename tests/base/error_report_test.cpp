// The full stop of the application's standard error report.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "gui/base/error_report.h"

namespace {

// The error report's full stop: after a letter, a digit or a double-byte
// character, never after a Chinese sentence's own stop "。".
TEST(WithFullStop, EndsEveryMessageWithOneStop) {
  const std::pair<std::string, std::string> cases[] = {
      {"database is locked", "database is locked."},
      {"no such table: x1", "no such table: x1."},
      {"already.", "already."},
      {"导出失败!", "导出失败!"},
      {"ends in a blank ", "ends in a blank "},
      {"文件未作任何改动", "文件未作任何改动."},
      {"文件未作任何改动。", "文件未作任何改动。"},
      // A character whose second byte is the first of "。", then a lone
      // byte: the two bytes at the end are no full stop.
      {"\xCA\xA1\xA3", "\xCA\xA1\xA3."},
      {"", ""},
  };
  for (const auto& [message, shown] : cases) EXPECT_EQ(WithFullStop(message), shown) << message;
}

}  // namespace
