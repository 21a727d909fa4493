// A VARN.mdb that the user may read but not change: the criteria are read
// from it, the settings are kept in a file of the user's own and go back
// into VARN.mdb once it may be changed again. The user is the ordinary
// user 65534, in a child process, since the tests run as root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "core/store/ado.h"
#include "core/store/settings_record.h"
#include "core/store/statements.h"
#include "tests/support/test_db.h"

namespace {

using namespace testing_support;
constexpr uid_t kOrdinaryUser = 65534;

// Runs `check` in a child as the ordinary user; returns what it reports
// ("" when all is well).
std::string AsOrdinaryUser(const std::function<std::string()>& check) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    std::string report;
    if (setgid(kOrdinaryUser) != 0 || setuid(kOrdinaryUser) != 0) {
      report = "cannot become the ordinary user";
    } else {
      try {
        report = check();
      } catch (const std::exception& e) {
        report = std::string("error: ") + e.what();
      }
    }
    (void)!write(pipeFds[1], report.data(), report.size());
    _exit(0);
  }
  close(pipeFds[1]);
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
  close(pipeFds[0]);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
    return "the child did not end normally";
  return report;
}

// Opens the database of `folder` and reports what differs from the
// expectation: kept apart or not, the criteria count, the third setting.
std::string Expect(const std::string& folder, bool apart, const std::string& settingsFile,
                   const std::string& a3) {
  store::AdoConnection connection;
  connection.SetConnectionString(store::BuildConnectionText(folder));
  connection.Open();
  std::string report;
  if (connection.SettingsKeptApart() != apart) report += "kept apart: wrong; ";
  if (connection.SettingsFile().string() != (apart ? settingsFile : ""))
    report += "settings file " + connection.SettingsFile().string() + "; ";
  store::AdoQuery query(connection);
  query.SetSql(store::kFullSelect);
  query.Open();
  if (query.RecordCount() != 2) report += "criteria: " + std::to_string(query.RecordCount()) + "; ";
  const std::vector<std::string> values = store::ReadSettingsValues(query);
  if (values.size() != 5 || values[2] != a3) report += "A3 is not " + a3 + "; ";
  return report;
}

TEST(SettingsApart, AReadOnlyDatabaseKeepsItsSettingsInTheUsersOwnFile) {
  TempDir base("zelvoran-readonly");
  chmod(base.path().c_str(), 0755);
  const std::string data = base.path() + "data/";
  std::filesystem::create_directory(data);
  ASSERT_EQ(chown(data.c_str(), kOrdinaryUser, kOrdinaryUser), 0);
  const std::string settingsFile = data + "Zelvoran/settings.db";
  const std::string savedDataHome = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";

  // How the program's folder and VARN.mdb are owned, and their modes.
  const struct {
    const char* what;
    uid_t folderOwner;
    uid_t fileOwner;
    mode_t fileMode;
    bool wal;
  } cases[] = {
      {"read-only file", kOrdinaryUser, kOrdinaryUser, 0444, false},
      {"read-only folder", 0, kOrdinaryUser, 0644, false},
      {"installed by root", 0, 0, 0644, false},
      {"write-ahead log in a read-only folder", 0, 0, 0644, true},
  };
  int k = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = base.path() + "program" + std::to_string(++k) + "/";
    std::filesystem::create_directory(folder);
    CreateVarnDb(folder, {{1, {"甲"}}, {2, {"乙"}}}, {"0", "精确", "old", "T", "1"});
    if (c.wal) ExecOnDb(folder, "pragma journal_mode=wal");
    const std::string file = folder + "VARN.mdb";
    ASSERT_EQ(chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    ASSERT_EQ(chown(file.c_str(), c.fileOwner, c.fileOwner), 0);
    ASSERT_EQ(chmod(file.c_str(), c.fileMode), 0);
    setenv("XDG_DATA_HOME", data.c_str(), 1);

    // Read as usual, saved apart, and found there at the next start.
    EXPECT_EQ(AsOrdinaryUser([&] {
                std::string report = Expect(folder, true, settingsFile, "old");
                store::AdoConnection connection;
                connection.SetConnectionString(store::BuildConnectionText(folder));
                connection.Open();
                store::AdoQuery query(connection);
                store::SaveSetting(query, "A3", "new");
                return report + Expect(folder, true, settingsFile, "new");
              }),
              "");
    EXPECT_EQ(ReadSettingsRows(folder).at(2), "old");  // VARN.mdb untouched
    EXPECT_TRUE(std::filesystem::exists(settingsFile));

    // Writable again: the settings go back and their own file goes.
    ASSERT_EQ(chown(folder.c_str(), kOrdinaryUser, kOrdinaryUser), 0);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      ASSERT_EQ(chown(entry.path().c_str(), kOrdinaryUser, kOrdinaryUser), 0);
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(AsOrdinaryUser([&] { return Expect(folder, false, settingsFile, "new"); }), "");
    EXPECT_EQ(ReadSettingsRows(folder).at(2), "new");
    EXPECT_FALSE(std::filesystem::exists(settingsFile));
  }
  setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
}

}  // namespace
