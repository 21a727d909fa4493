// The LibreOffice conversion step of the office automation server, driven
// with stand-in soffice scripts: the arguments it gets, the move into place,
// what a failure leaves, and the time limit with every process it started.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/posix/office_convert.h"
#include "tests/support/test_db.h"

namespace {

namespace fs = std::filesystem;
using platform::office::ConversionFor;
using platform::office::SaveThroughOffice;
using testing_support::ReadFileBytes;

// Runs with its arguments one per line in args.txt beside itself, then
// writes "converted:" and the source's content where LibreOffice would put
// the result (or nothing, or waits, as `behaviour` says).
std::string Script(const std::string& folder, const std::string& behaviour) {
  return "#!/bin/sh\n"
         "for a in \"$@\"; do echo \"$a\"; done > '" + folder + "args.txt'\n"
         "out=''; to=''\n"
         "while [ $# -gt 1 ]; do\n"
         "  [ \"$1\" = --outdir ] && out=\"$2\"\n"
         "  [ \"$1\" = --convert-to ] && to=\"${2%%:*}\"\n"
         "  shift\n"
         "done\n"
         "base=$(basename \"$1\")\n" +
         behaviour + "\n";
}
constexpr const char* kConverts = "printf 'converted:%s' \"$(cat \"$1\")\" > \"$out/${base%.*}.$to\"";
constexpr const char* kWritesNothing = "exit 0";
// Leaves a helper behind and never ends by itself.
constexpr const char* kHangs = "sleep 60 & echo $! > \"$(dirname \"$0\")/helper.pid\"; sleep 60";

bool Ended(long pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t close = line.rfind(')');
    if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z') return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

class OfficeConvert : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(scratch_);
    const char* old = std::getenv("TMPDIR");
    if (old) oldTmp_ = old;
    setenv("TMPDIR", scratch_.c_str(), 1);
  }
  void TearDown() override {
    if (oldTmp_) setenv("TMPDIR", oldTmp_->c_str(), 1); else unsetenv("TMPDIR");
  }
  fs::path MakeSoffice(const char* behaviour) {
    const fs::path path = dir_.path() + "soffice";
    std::ofstream(path) << Script(dir_.path(), behaviour);
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  std::vector<std::string> Arguments() const {
    std::vector<std::string> args;
    std::istringstream lines(ReadFileBytes(dir_.path() + "args.txt"));
    for (std::string line; std::getline(lines, line);) args.push_back(line);
    return args;
  }

  testing_support::TempDir dir_;
  std::string scratch_ = dir_.path() + "tmp";
  std::optional<std::string> oldTmp_;
};

TEST_F(OfficeConvert, ConvertsInAPrivateProfileAndMovesTheResultIntoPlace) {
  const fs::path soffice = MakeSoffice(kConverts);
  const std::string target = dir_.path() + "表.XLS";
  std::ofstream(target) << "older";
  SaveThroughOffice(soffice, "<sheet/>", "fods", target);
  EXPECT_EQ(ReadFileBytes(target), "converted:<sheet/>");

  const std::vector<std::string> args = Arguments();
  ASSERT_EQ(args.size(), 10u);
  EXPECT_EQ(args[0], "--headless");
  EXPECT_EQ(args[1], "--norestore");
  // The profile lies in the server's own temporary folder, gone now.
  EXPECT_EQ(args[4].rfind("-env:UserInstallation=file://" + scratch_ + "/zelvoran-office-", 0), 0u)
      << args[4];
  EXPECT_EQ(args[5], "--convert-to");
  EXPECT_EQ(args[6], "xls:MS Excel 97");
  EXPECT_EQ(args[7], "--outdir");
  EXPECT_EQ(fs::path(args[9]).extension(), ".fods");
  EXPECT_TRUE(fs::is_empty(scratch_));

  // The result on another file system than the temporary folder: copied.
  if (fs::exists("/dev/shm") && access("/dev/shm", W_OK) == 0) {
    testing_support::TempDir elsewhere;  // the test's own temporary folder
    setenv("TMPDIR", "/dev/shm", 1);
    SaveThroughOffice(soffice, "<doc/>", "fodt", elsewhere.path() + "a.doc");
    EXPECT_EQ(ReadFileBytes(elsewhere.path() + "a.doc"), "converted:<doc/>");
    EXPECT_EQ(Arguments()[6], "doc:MS Word 97");
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere.path()), fs::directory_iterator()), 1);
  }
}

TEST_F(OfficeConvert, AFailedConversionLeavesTheOldFileAndNoTemporaryFiles) {
  const std::string target = dir_.path() + "old.xls";
  std::ofstream(target) << "older";
  EXPECT_THROW(SaveThroughOffice(MakeSoffice(kWritesNothing), "<sheet/>", "fods", target),
               std::runtime_error);
  EXPECT_EQ(ReadFileBytes(target), "older");
  EXPECT_TRUE(fs::is_empty(scratch_));
  // A folder stands where the file should go.
  fs::create_directory(dir_.path() + "dir.xls");
  EXPECT_THROW(SaveThroughOffice(MakeSoffice(kConverts), "<sheet/>", "fods", dir_.path() + "dir.xls"),
               std::runtime_error);
  EXPECT_TRUE(fs::is_directory(dir_.path() + "dir.xls"));
  EXPECT_TRUE(fs::is_empty(scratch_));
}

TEST_F(OfficeConvert, TimeLimitEndsTheConversionAndEverythingItStarted) {
  const fs::path soffice = MakeSoffice(kHangs);
  const auto start = std::chrono::steady_clock::now();
  try {
    platform::office::ConversionLimits limits;
    limits.stall = std::chrono::milliseconds(700);
    SaveThroughOffice(soffice, "<sheet/>", "fods", dir_.path() + "late.xls", limits);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("no progress"), std::string::npos) << error.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_FALSE(fs::exists(dir_.path() + "late.xls"));
  EXPECT_TRUE(fs::is_empty(scratch_));
  const std::string helper = ReadFileBytes(dir_.path() + "helper.pid");
  ASSERT_FALSE(helper.empty());
  EXPECT_TRUE(Ended(std::stol(helper))) << "the helper of the conversion still runs";
}

// LibreOffice gets a home of its own in the conversion's folder, and the
// single-instance pipe that it binds (in /tmp, whatever its home says) goes
// when the conversion is ended.
TEST_F(OfficeConvert, AnEndedConversionLeavesNoPipeAndUsedItsOwnHome) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "python3 binds the stand-in pipe";
  const std::string pipe = dir_.path() + "OSL_PIPE_0_SingleOfficeIPC_test";
  const std::string binds =
      "echo \"$HOME\" > \"$(dirname \"$0\")/home.txt\"; /usr/bin/python3 -c \"import socket, time; "
      "s = socket.socket(socket.AF_UNIX); s.bind('" + pipe + "'); s.listen(); "
      "open('" + dir_.path() + "bound', 'w').close(); time.sleep(60)\"";
  platform::office::ConversionLimits limits;
  limits.stall = std::chrono::seconds(2);
  EXPECT_THROW(SaveThroughOffice(MakeSoffice(binds.c_str()), "<sheet/>", "fods",
                                 dir_.path() + "piped.xls", limits),
               std::runtime_error);
  ASSERT_TRUE(fs::exists(dir_.path() + "bound")) << "the stand-in never bound its pipe";
  EXPECT_FALSE(fs::exists(fs::symlink_status(pipe)));
  const std::string home = ReadFileBytes(dir_.path() + "home.txt");
  EXPECT_EQ(home.rfind(scratch_ + "/zelvoran-office-", 0), 0u) << home;
  EXPECT_TRUE(fs::is_empty(scratch_));
}

// A conversion that keeps working goes on past its time limit; one that
// stops working is ended. Folders that a dead program left are removed by
// the next conversion, folders in use are not.
TEST_F(OfficeConvert, LimitsFollowProgressAndStaleFoldersGo) {
  platform::office::ConversionLimits limits;
  limits.base = std::chrono::milliseconds(200);
  limits.perMegabyte = std::chrono::milliseconds(0);
  limits.grace = std::chrono::seconds(1);
  limits.stall = std::chrono::seconds(20);
  // Busy for two to three seconds, far past the limit, then done.
  const std::string busy =
      std::string("end=$(( $(date +%s) + 3 )); while [ $(date +%s) -lt $end ]; do i=0; "
                  "while [ $i -lt 2000 ]; do i=$((i+1)); done; done; ") + kConverts;

  const fs::path stale = fs::path(scratch_) / "zelvoran-office-Stale1";
  fs::create_directories(stale / "profile");
  std::ofstream(stale / "owner.lock") << "";
  std::ofstream(stale / "export.fodt") << "<doc/>";
  const fs::path busyFolder = fs::path(scratch_) / "zelvoran-office-InUse1";
  fs::create_directories(busyFolder);
  const int held = open((busyFolder / "owner.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(held, LOCK_EX), 0);

  SaveThroughOffice(MakeSoffice(busy.c_str()), "<sheet/>", "fods", dir_.path() + "slow.xls", limits);
  EXPECT_EQ(ReadFileBytes(dir_.path() + "slow.xls"), "converted:<sheet/>");
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(busyFolder / "owner.lock"));
  close(held);
  fs::remove_all(busyFolder);

  // The limit grows with the size of the flat file.
  platform::office::ConversionLimits defaults;
  EXPECT_EQ(defaults.TimeLimit(0), defaults.base);
  EXPECT_EQ(defaults.TimeLimit(10 << 20), defaults.base + 10 * defaults.perMegabyte);

  // A relative TMPDIR is no place for a profile URL, nor one that is no
  // folder: /tmp is used instead.
  for (const char* tmpdir : {"relative-tmp", "", "/no/such/folder"}) {
    setenv("TMPDIR", tmpdir, 1);
    EXPECT_EQ(platform::office::TemporaryRoot(), fs::path("/tmp")) << tmpdir;
  }
}

TEST(OfficeConversion, FormatFollowsTheExtension) {
  // A name that is nothing but its extension, as the export command sees it.
  EXPECT_EQ(ConversionFor("/a/.xls"), "xls:MS Excel 97");
  EXPECT_EQ(ConversionFor("/a/.DOC"), "doc:MS Word 97");
  EXPECT_EQ(ConversionFor("/a/b.xls"), "xls:MS Excel 97");
  EXPECT_EQ(ConversionFor("/a/b.Doc"), "doc:MS Word 97");
  EXPECT_EQ(ConversionFor("/a/b.XLSX"), "xlsx");
  EXPECT_EQ(ConversionFor("/a/b.tar.odt"), "odt");
  EXPECT_THROW(ConversionFor("/a/b"), std::runtime_error);
  EXPECT_THROW(ConversionFor("/a/b."), std::runtime_error);
  EXPECT_THROW(ConversionFor("/a/b.x y"), std::runtime_error);
}

TEST(OfficeConversion, LibreOfficesOwnInstallsAreFoundByTheirHighestVersion) {
  testing_support::TempDir opt("zelvoran-opt");
  auto install = [&](const std::string& folder, fs::perms mode) {
    fs::create_directories(opt.path() + folder + "/program");
    const std::string soffice = opt.path() + folder + "/program/soffice";
    std::ofstream(soffice) << "#!/bin/sh\n";
    fs::permissions(soffice, mode);
    return fs::path(soffice);
  };
  EXPECT_FALSE(platform::office::NewestSofficeUnder(opt.path()));
  install("libreoffice7.6", fs::perms::owner_all);
  const fs::path newest = install("libreoffice24.8", fs::perms::owner_all);
  install("libreoffice25.2", fs::perms::owner_read);  // not a program
  install("openoffice4", fs::perms::owner_all);       // another suite
  EXPECT_EQ(platform::office::NewestSofficeUnder(opt.path()), newest);
}

}  // namespace
