// The Debian package, built from this build tree with CPack, checked as Debian
// and the desktop check it, then installed into a temporary root and run
// there the way a hospital's user runs it: the program folder read-only, an
// ordinary user with a home of their own, no display.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_processes.h"
#include "tests/support/test_db.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using std::chrono::minutes;
using std::chrono::seconds;

// Text as UTF-8 bytes, as files and the hooks' reports hold it (narrow
// literals are the program's CP936).
std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The user that desktop sessions of no one in particular run as.
constexpr uid_t kNobody = 65534;

class InstalledPackage : public ::testing::Test {
 protected:
  // Runs a tool to its end; its exit code.
  int Run(const std::string& exe, const std::vector<std::string>& args,
          minutes limit = minutes(10)) {
    const pid_t pid = children_.Start(exe, args);
    return pid > 0 ? children_.WaitForExit(pid, limit) : -1;
  }

  // A folder that belongs to the ordinary user, for nobody else.
  std::string UserFolder(const std::string& name) {
    const std::string folder = work_.path() + name + "/";
    fs::create_directories(folder);
    EXPECT_EQ(chown(folder.c_str(), kNobody, kNobody), 0);
    fs::permissions(folder, fs::perms::owner_all);
    return folder;
  }

  // Starts `exe` as the ordinary user, offscreen, with a bare environment:
  // its home, its runtime folder and the test hooks in `extra`.
  pid_t StartAsUser(const std::string& exe, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + home_,
                                    "XDG_RUNTIME_DIR=" + runtime_, "LANG=C.UTF-8",
                                    "QT_QPA_PLATFORM=offscreen"};
    env.insert(env.end(), extra.begin(), extra.end());
    return children_.Start("/usr/bin/setpriv",
                           {"--reuid=65534", "--regid=65534", "--clear-groups", "--", exe}, env);
  }

  static std::string Read(const std::string& file) {
    return fs::exists(file) ? ReadFileBytes(file) : std::string();
  }
  // Written beside and renamed into place: the program never sees half a file.
  static void Touch(const std::string& file, const std::string& text = "") {
    std::ofstream(file + ".part", std::ios::binary) << text;
    fs::rename(file + ".part", file);
  }

  // Polls `done` until it holds or `limit` has passed; whether it holds.
  static bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return done();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  // Every file and folder below `folder` with the size and a hash of its
  // bytes ("" for a folder): short enough to print when two differ.
  static std::map<std::string, std::string> ContentsUnder(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      std::string& content = contents[entry.path().lexically_relative(folder).string()];
      if (!entry.is_regular_file()) continue;
      const std::string bytes = Read(entry.path().string());
      content = std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
    }
    return contents;
  }

  // Runs one of the package's maintainer scripts on the temporary root.
  int RunScript(const std::string& root, const std::string& control, const std::string& script,
                const std::vector<std::string>& args) {
    std::vector<std::string> command = {"DPKG_ROOT=" + root, "/bin/sh", control + script};
    command.insert(command.end(), args.begin(), args.end());
    return Run("/usr/bin/env", command);
  }

  ChildProcesses children_;
  TempDir work_{"zelvoran-package"};
  std::string home_;
  std::string runtime_;
};

TEST_F(InstalledPackage, InstallsAndRunsFromAReadOnlyFolderAsAnOrdinaryUser) {
  // The ordinary user must reach everything below the test's folder.
  fs::permissions(work_.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
  const std::string out = work_.path() + "out/";
  fs::create_directories(out);

  // Packed from this build tree, under the name that Debian's tools expect.
  ASSERT_EQ(Run("/usr/bin/cpack", {"--config", BUILD_DIR "/CPackConfig.cmake", "-B", out}), 0);
  const std::string deb = out + "zelvoran_" ZELVORAN_VERSION "_amd64.deb";
  ASSERT_TRUE(fs::exists(deb)) << deb;

  // What apt installs along with it, and what it only recommends.
  ASSERT_EQ(Run("/bin/sh", {"-c", "dpkg-deb -f '" + deb + "' Depends > '" + out + "depends'; " +
                                      "dpkg-deb -f '" + deb + "' Recommends > '" + out +
                                      "recommends'"}),
            0);
  const std::string depends = Read(out + "depends");
  for (const char* package : {"libqt6widgets6", "libqt6pdf6",
                              "libsqlite3-0", "libmdb3", "libjpeg62-turbo", "qt6-qpa-plugins",
                              "fonts-wqy-microhei", "qt6-translations-l10n"})
    EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
  EXPECT_EQ(depends.find("libreoffice"), std::string::npos) << depends;
  // The package lists its own folder, not /opt, which is the system's.
  ASSERT_EQ(Run("/bin/sh", {"-c", "dpkg-deb -c '" + deb + "' > '" + out + "contents'"}), 0);
  EXPECT_NE(Read(out + "contents").find(" ./opt/zelvoran/\n"), std::string::npos);
  EXPECT_EQ(Read(out + "contents").find(" ./opt/\n"), std::string::npos) << Read(out + "contents");
  EXPECT_NE(Read(out + "recommends").find("libreoffice-calc"), std::string::npos);
  EXPECT_NE(Read(out + "recommends").find("libreoffice-writer"), std::string::npos);

  // Installed into a temporary root: the program folder, the menu entry, the
  // icons and the AppStream description where the desktop looks for them.
  const std::string root = work_.path() + "root/";
  ASSERT_EQ(Run("/usr/bin/dpkg-deb", {"-x", deb, root}), 0);
  const fs::path folder = fs::path(root) / "opt/zelvoran";
  // The package's own set-up puts the demo database and document in place.
  ASSERT_EQ(Run("/usr/bin/dpkg-deb", {"-e", deb, out + "control"}), 0);
  const std::string scripts = out + "control/";
  ASSERT_EQ(RunScript(root, scripts, "postinst", {"configure"}), 0);
  for (const char8_t* file : {u8"Zelvoran", u8"pdfview.ocx", u8"VARN.mdb", u8"政策文件.pdf", u8"Data",
                              u8"system-install"})
    EXPECT_TRUE(fs::exists(folder / file)) << U8(file);
  EXPECT_EQ(Read((folder / "VARN.mdb").string()), Read((folder / "demo/VARN.mdb").string()));
  for (const char* size : {"16x16", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"})
    EXPECT_TRUE(fs::exists(fs::path(root) / "usr/share/icons/hicolor" / size /
                           "apps/org.zelvoran.Zelvoran.png"))
        << size;
  const std::string desktop = root + "usr/share/applications/org.zelvoran.Zelvoran.desktop";
  EXPECT_NE(Read(desktop).find("Exec=/opt/zelvoran/Zelvoran"), std::string::npos);
  EXPECT_NE(Read(desktop).find("StartupWMClass=Zelvoran\n"), std::string::npos);
  EXPECT_EQ(Run("/usr/bin/desktop-file-validate", {desktop}), 0);
  EXPECT_EQ(Run("/usr/bin/appstreamcli",
                {"validate", "--no-net",
                 root + "usr/share/metainfo/org.zelvoran.Zelvoran.metainfo.xml"}),
            0);
  // The suite runs as root, which lintian only accepts when told.
  const std::vector<std::string> asRoot =
      geteuid() == 0 ? std::vector<std::string>{"--allow-root"} : std::vector<std::string>{};
  std::vector<std::string> lintian = asRoot;
  lintian.insert(lintian.end(), {"--fail-on", "error,warning", deb});
  EXPECT_EQ(Run("/usr/bin/lintian", lintian), 0);

  // The test build of the program beside the installed one, so that the
  // test can drive it; then the folder is made read-only, as installed
  // files are for everyone but root.
  const fs::path testable = folder / "zelvoran_testable";
  fs::copy_file(ZELVORAN_EXE, testable);
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write |
                                      fs::perms::others_write, fs::perm_options::remove);
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write |
                              fs::perms::others_write, fs::perm_options::remove);
  const std::map<std::string, std::string> installed = ContentsUnder(folder);
  home_ = UserFolder("home");
  runtime_ = UserFolder("run");
  const std::string control = UserFolder("control");  // hooks' files
  const std::string registry = home_ + ".config/Zelvoran/classes";

  // The installed program itself starts as that user: it registers the
  // viewer control in the user's own registry. It is ended by the test (its
  // own exit sequence would end every Zelvoran of that user).
  {
    const pid_t program = StartAsUser((folder / "Zelvoran").string());
    ASSERT_GT(program, 0);
    EXPECT_TRUE(WaitUntil([&] { return Read(registry).find((folder / "pdfview.ocx").string()) != std::string::npos; },
                          minutes(2)))
        << Read(registry);
    EXPECT_TRUE(ChildProcesses::StillRuns(program));
    kill(program, SIGKILL);
    children_.WaitForExit(program, seconds(30));
  }

  // First run: fuzzy search for a keyword, export, the policy viewer, exit.
  const std::string keyword = U8(u8"医嘱");
  const std::string state = control + "state";
  const std::string messages = control + "messages.log";
  auto hooks = [&](const std::string& stateFile) {
    return std::vector<std::string>{
        "ZELVORAN_TEST_STATE=" + stateFile, "ZELVORAN_TEST_MESSAGE_LOG=" + messages,
        "ZELVORAN_TEST_CLOSE=click.cb_accurate@" + control + "fuzzy,search@" + control +
            "search," + "click.RzBitBtnExcel@" + control + "export," + "click.RzBitBtn1@" +
            control + "policy," + "exit@" + control + "quit"};
  };
  auto shows = [&](const std::string& file, const std::string& line) {
    return Read(file).find(line) != std::string::npos;
  };
  {
    const pid_t first = StartAsUser(testable.string(), hooks(state));
    ASSERT_GT(first, 0);
    ASSERT_TRUE(WaitUntil([&] { return shows(state, "window\tForm_grade_hospital\n"); }, minutes(2)))
        << Read(state) << Read(messages);
    Touch(control + "fuzzy");
    ASSERT_TRUE(WaitUntil([&] { return shows(state, "check\tcb_accurate\t1\t" + U8(u8"模糊") + "\n"); }, minutes(1)))
        << Read(state);
    Touch(control + "search", keyword);
    // The criteria that hold the keyword, in the grid under its header row.
    EXPECT_TRUE(WaitUntil(
        [&] {
          const std::string now = Read(state);
          const size_t header = now.find("\nrow\t");
          return shows(state, "search\t" + keyword + "\n") && header != std::string::npos &&
                 now.find(keyword, now.find("\nrow\t", header + 1)) != std::string::npos;
        },
        minutes(1)))
        << Read(state) << Read(messages);
    // The fill has ended (an export during it would end it and refuse the
    // unfinished grid): the bar is back at 0 and the grid holds more than
    // the one criterion that the start showed.
    EXPECT_TRUE(WaitUntil(
        [&] {
          const std::string now = Read(state);
          const size_t rows = now.find("\nrows\t");
          return now.find("\nprogress\t0\n") != std::string::npos && rows != std::string::npos &&
                 std::atoi(now.c_str() + rows + 6) > 2;
        },
        minutes(1)))
        << Read(state);
    // The save dialog starts where the user may write: not in the read-only
    // Data folder but, without a Documents folder, in the home folder.
    Touch(control + "export");
    EXPECT_TRUE(WaitUntil([&] { return shows(messages, "(save dialog)\t"); }, minutes(1)));
    EXPECT_TRUE(shows(messages, "(save dialog)\t" + fs::path(home_).parent_path().string() + "\n"))
        << Read(messages);
    // The policy viewer shows the installed document's first page.
    Touch(control + "policy");
    EXPECT_TRUE(WaitUntil([&] { return shows(state, "window\tForm2\n") && shows(state, U8(u8"第 1 / ")); },
                          minutes(1)))
        << Read(state) << Read(messages);
    Touch(control + "quit");
    EXPECT_EQ(children_.WaitForExit(first, minutes(1)), 0);
  }

  // Second run: the search text is back, and nothing was reported.
  {
    fs::remove(control + "fuzzy");
    fs::remove(control + "search");
    fs::remove(control + "export");
    fs::remove(control + "policy");
    fs::remove(control + "quit");
    const std::string again = control + "state-again";
    const pid_t second = StartAsUser(testable.string(), hooks(again));
    ASSERT_GT(second, 0);
    EXPECT_TRUE(WaitUntil(
        [&] {
          return shows(again, "search\t" + keyword + "\n") &&
                 shows(again, "check\tcb_accurate\t1\t" + U8(u8"模糊") + "\n");
        },
        minutes(2)))
        << Read(again) << Read(messages);
    Touch(control + "quit");
    EXPECT_EQ(children_.WaitForExit(second, minutes(1)), 0);
  }
  EXPECT_EQ(Read(messages), "(save dialog)\t" + fs::path(home_).parent_path().string() + "\n");

  // Root, who may write anywhere, runs the program while the ordinary user
  // has it open. Root's search is saved in root's own settings, and root's
  // exit ends root's copies only.
  {
    const pid_t users = StartAsUser(
        testable.string(), {"ZELVORAN_TEST_STATE=" + control + "state-user",
                            "ZELVORAN_TEST_CLOSE=exit@" + control + "user-quit"});
    ASSERT_GT(users, 0);
    ASSERT_TRUE(WaitUntil([&] { return shows(control + "state-user", "window\tForm_grade_hospital\n"); },
                          minutes(2)));
    const std::string rootHome = work_.path() + "root-home/";
    const std::string rootRun = work_.path() + "root-run/";
    fs::create_directories(rootHome);
    fs::create_directories(rootRun);
    fs::permissions(rootRun, fs::perms::owner_all);
    const std::string rootState = control + "state-root";
    const pid_t roots = children_.Start(
        testable.string(), {},
        {"PATH=/usr/bin:/bin", "HOME=" + rootHome, "XDG_RUNTIME_DIR=" + rootRun, "LANG=C.UTF-8",
         "QT_QPA_PLATFORM=offscreen", "ZELVORAN_TEST_STATE=" + rootState,
         "ZELVORAN_TEST_MESSAGE_LOG=" + control + "messages-root.log",
         "ZELVORAN_TEST_CLOSE=search@" + control + "root-search,exit@" + control + "root-quit"});
    ASSERT_GT(roots, 0);
    ASSERT_TRUE(WaitUntil([&] { return shows(rootState, "window\tForm_grade_hospital\n"); }, minutes(2)))
        << Read(rootState);
    Touch(control + "root-search", keyword);
    EXPECT_TRUE(WaitUntil([&] { return shows(rootState, "search\t" + keyword + "\n"); }, minutes(1)))
        << Read(rootState);
    Touch(control + "root-quit");
    EXPECT_EQ(children_.WaitForExit(roots, minutes(1)), 0);
    EXPECT_TRUE(fs::exists(rootHome + ".local/share/Zelvoran/settings.db"));
    EXPECT_TRUE(ChildProcesses::StillRuns(users));
    Touch(control + "user-quit");
    EXPECT_EQ(children_.WaitForExit(users, minutes(1)), 0);
  }
  // No run changed a byte of the program folder, root's included.
  EXPECT_EQ(ContentsUnder(folder), installed);

  // An upgrade whose demo differs: the demo copy that nobody replaced is
  // refreshed, the hospital's own document stays; the removal then takes
  // the new demo copy away and leaves the hospital's document.
  const std::string hospitalPdf = "%PDF-1.4\n% the hospital's own policy document\n";
  const fs::path pdf = folder / u8"政策文件.pdf";
  Touch(pdf.string(), hospitalPdf);
  ASSERT_EQ(RunScript(root, scripts, "preinst", {"upgrade", "1.0.0"}), 0);
  const std::string newDemo = Read((folder / "demo/VARN.mdb").string()) + "next release";
  Touch((folder / "demo/VARN.mdb").string(), newDemo);  // as dpkg unpacks it
  Touch((folder / u8"demo/政策文件.pdf").string(), "%PDF-1.4\n% next release's demo\n");
  ASSERT_EQ(RunScript(root, scripts, "postinst", {"configure", "1.0.0"}), 0);
  EXPECT_TRUE(Read((folder / "VARN.mdb").string()) == newDemo);  // not printed: a database
  EXPECT_EQ(Read(pdf.string()), hospitalPdf);
  ASSERT_EQ(RunScript(root, scripts, "prerm", {"remove"}), 0);
  ASSERT_EQ(RunScript(root, scripts, "postrm", {"remove"}), 0);
  EXPECT_FALSE(fs::exists(folder / "VARN.mdb"));
  EXPECT_EQ(Read(pdf.string()), hospitalPdf);
  EXPECT_FALSE(fs::exists(fs::path(root) / "var/lib/zelvoran"));
}

}  // namespace
