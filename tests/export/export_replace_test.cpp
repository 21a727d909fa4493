// What an export does to the file it replaces, on real files, as an ordinary
// user: mode, owner, symbolic and hard links, read-only files, folders the
// user may not write, long names, failed writes and stale temporary files.
#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

#include "gui/export/Excel_unit_export.h"
#include "core/export/csv_writer.h"
#include "core/export/fixed_width_writer.h"
#include "core/export/html_writer.h"
#include "export_test_helpers.h"
#include "platform/dispatch.h"
#include "platform/file_replace.h"
#include "tests/support/test_db.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
// Shorter than the write limit of the failing row, so that the earlier
// content can be put back under that limit.
const std::string kEarlier = "earlier\r\n";

struct stat Stat(const fs::path& file) {
  struct stat st {};
  EXPECT_EQ(lstat(file.c_str(), &st), 0) << file;
  return st;
}

void Write(const fs::path& file, const std::string& text, mode_t mode) {
  std::ofstream(file, std::ios::binary) << text;
  chmod(file.c_str(), mode);
}

// The names in `folder` that look like a replace's temporary file.
std::vector<std::string> Temporaries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".part") != std::string::npos) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A process id that no process has: a child that has ended and been reaped.
pid_t EndedProcessId() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return child;
}

class ExportReplace : public export_tests::ExportFolderTest {
 protected:
  // Who the export runs as: nobody when the suite runs as root, else the
  // suite's own user.
  bool root_ = geteuid() == 0;
  uid_t user_ = root_ ? kNobody : getuid();
  gid_t group_ = root_ ? kNogroup : getgid();

  void Own(const fs::path& path) {
    if (root_) {
      ASSERT_EQ(lchown(path.c_str(), user_, group_), 0) << path;
    }
  }

  // Exports the grid to `file` in a child process that runs as the user
  // with umask 022 and, when `fileSizeLimit` is set, may write no more bytes
  // than that into a file. Answers the box's text, or "no user" when the
  // child could not become the user or reach the folder.
  std::string ExportAsUser(const fs::path& file, rlim_t fileSizeLimit = RLIM_INFINITY) {
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      if (root_ && (setgroups(0, nullptr) != 0 || setgid(group_) != 0 || setuid(user_) != 0))
        _exit(4);
      if (access(file.parent_path().c_str(), X_OK) != 0) _exit(4);
      umask(022);
      alarm(120);  // a hang (a FIFO waited on) ends the child instead of the test
      unsetenv("XDG_STATE_HOME");  // undo files go into the user's HOME
      // LibreOffice's private profile and folders go where the user may write.
      setenv("TMPDIR", (dir_.path() + "user-tmp").c_str(), 1);
      setenv("HOME", (dir_.path() + "user-tmp").c_str(), 1);
      if (fileSizeLimit != RLIM_INFINITY) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      ui_.messages.clear();
      ui_.nextFileName = file;
      ExportButtonClick(grid_, 0, [] {}, look_);
      if (ui_.messages.size() != 1) _exit(1);
      _exit(ui_.messages[0].text == "导出成功!" ? 0 : ui_.messages[0].text == "导出失败!" ? 3 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
    switch (WEXITSTATUS(status)) {
      case 0: return "导出成功!";
      case 3: return "导出失败!";
      case 4: return "no user";
      default: return "unexpected boxes";
    }
  }

  ExportLook look_;
  GridModel grid_ = export_tests::CriteriaGrid({{"1.1", "A,B", "医生", "书写\r\n记录", "基础", "",
                                                 "4", "x"}});
};

// What the exported file holds, by extension: exactly the writer's bytes for
// the text formats, an OLE2 compound file for the office formats.
bool HoldsExport(const fs::path& file, const GridModel& grid, const ExportLook& look) {
  const std::string bytes = ReadFileBytes(file.string());
  const std::string extension = ExportExtension(file);
  if (extension == ".CSV" || extension == ".TXT") return bytes == BuildCsv(grid);
  if (extension == ".DAT") return bytes == BuildFixedWidth(grid);
  if (extension == ".HTM") return bytes == BuildHtml(grid, look);
  return bytes.rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0;
}

// A POSIX access ACL in the system's binary form (version 2, then tag,
// permissions, id of each entry): owner rw, user 12345 rw, group r, mask rw,
// others nothing (ls shows 0660 with a +).
std::string AccessAcl() {
  const std::uint32_t words[] = {2, 0x60001, ~0u, 0x60002, 12345, 0x40004, ~0u, 0x60010, ~0u, 0x20, ~0u};
  std::string acl;
  for (const std::uint32_t w : words)
    for (int i = 0; i < 4; ++i) acl += static_cast<char>((w >> (8 * i)) & 0xFF);
  return acl;
}

std::string Xattr(const fs::path& file, const char* name) {
  std::string value(4096, '\0');
  const ssize_t n = getxattr(file.c_str(), name, value.data(), value.size());
  return n < 0 ? "(none)" : value.substr(0, static_cast<size_t>(n));
}

TEST_F(ExportReplace, KeepsWhatTheUserHadAndRefusesWhatTheUserMayNotWrite) {
  const fs::path base = dir_.path();
  chmod(base.c_str(), 0755);
  fs::create_directory(base / "user-tmp");
  Own(base / "user-tmp");
  const bool office = platform::PlatformAutomationServer().Obtain("excel.application").has_value();
  const pid_t ended = EndedProcessId();

  struct Row {
    const char* what;
    const char* exported;      // the name the user picks, in the row's folder
    const char* replaced;      // the file that must hold the export
    bool succeeds;
    bool needsRoot;            // files owned by somebody else
    bool needsOffice;
    std::function<void(const fs::path&)> prepare;
    std::function<void(const fs::path&)> check;
    rlim_t fileSizeLimit = RLIM_INFINITY;
  };
  const std::string longName = std::string(250, 'n') + ".csv";
  const std::string deadTemporary = ".zelvoran-" + std::to_string(ended) + "-7.part";
  const std::string liveTemporary = ".zelvoran-1-1.part";  // init is always running
  // Rows whose set-up the machine cannot give say why here, and are skipped.
  std::string skip;
  std::vector<fs::path> mounts;
  const std::string acl = AccessAcl();
  const Row rows[] = {
      {"a private file stays private", "p.csv", "p.csv", true, false, false,
       [&](const fs::path& f) { Write(f / "p.csv", kEarlier, 0600); Own(f / "p.csv"); },
       [&](const fs::path& f) {
         EXPECT_EQ(Stat(f / "p.csv").st_mode & 07777, 0600u);
         EXPECT_EQ(Stat(f / "p.csv").st_uid, user_);
       }},
      {"a new file gets the umask", "new.dat", "new.dat", true, false, false, nullptr,
       [&](const fs::path& f) { EXPECT_EQ(Stat(f / "new.dat").st_mode & 07777, 0644u); }},
      {"a symbolic link is followed", "link.htm", "real.htm", true, false, false,
       [&](const fs::path& f) {
         Write(f / "real.htm", kEarlier, 0640);
         Own(f / "real.htm");
         fs::create_symlink("real.htm", f / "link.htm");
       },
       [&](const fs::path& f) {
         EXPECT_TRUE(fs::is_symlink(f / "link.htm"));
         EXPECT_EQ(Stat(f / "real.htm").st_mode & 07777, 0640u);
       }},
      {"a hard link keeps its partner", "hard.txt", "partner.txt", true, false, false,
       [&](const fs::path& f) {
         Write(f / "hard.txt", kEarlier, 0664);
         Own(f / "hard.txt");
         fs::create_hard_link(f / "hard.txt", f / "partner.txt");
       },
       [&](const fs::path& f) { EXPECT_EQ(Stat(f / "hard.txt").st_nlink, 2u); }},
      {"a read-only file of the user is refused", "ro.csv", nullptr, false, false, false,
       [&](const fs::path& f) { Write(f / "ro.csv", kEarlier, 0444); Own(f / "ro.csv"); },
       [&](const fs::path& f) { EXPECT_EQ(Stat(f / "ro.csv").st_mode & 07777, 0444u); }},
      {"another user's file is refused", "root.dat", nullptr, false, true, false,
       [&](const fs::path& f) { Write(f / "root.dat", kEarlier, 0644); }, nullptr},
      {"a writable file in a folder the user may not write", "shut/w.csv", "shut/w.csv", true,
       false, false,
       [&](const fs::path& f) {
         fs::create_directory(f / "shut");
         Write(f / "shut/w.csv", kEarlier, 0666);
         Own(f / "shut/w.csv");
         if (!root_) chmod((f / "shut").c_str(), 0555);
       },
       [&](const fs::path& f) { EXPECT_TRUE(Temporaries(f / "shut").empty()); }},
      {"another user's file that the user may write keeps its owner", "shared.csv",
       "shared.csv", true, true, false,
       [&](const fs::path& f) { Write(f / "shared.csv", kEarlier, 0666); },
       [&](const fs::path& f) {
         EXPECT_EQ(Stat(f / "shared.csv").st_uid, 0u);
         EXPECT_EQ(Stat(f / "shared.csv").st_mode & 07777, 0666u);
       }},
      {"a name of 254 bytes", longName.c_str(), longName.c_str(), true, false, false,
       [&](const fs::path& f) { Write(f / longName, kEarlier, 0600); Own(f / longName); },
       [&](const fs::path& f) { EXPECT_EQ(Stat(f / longName).st_mode & 07777, 0600u); }},
      {"a failed write into a linked file puts the earlier content back", "full.csv", nullptr,
       false, false, false,
       [&](const fs::path& f) {
         Write(f / "full.csv", kEarlier, 0644);
         Own(f / "full.csv");
         fs::create_hard_link(f / "full.csv", f / "other.csv");
       },
       [&](const fs::path& f) { EXPECT_EQ(ReadFileBytes((f / "other.csv").string()), kEarlier); },
       16},
      {"stale temporary files of ended exports go", "stale.csv", "stale.csv", true, false, false,
       [&](const fs::path& f) {
         for (const std::string& name : {deadTemporary, liveTemporary, std::string("x.part")}) {
           Write(f / name, "left over", 0644);
           Own(f / name);
         }
       },
       [&](const fs::path& f) {
         EXPECT_EQ(Temporaries(f), (std::vector<std::string>{liveTemporary, "x.part"}));
       }},
      {"a workbook through a link to a private file", "book-link.xls", "book.xls", true, false,
       true,
       [&](const fs::path& f) {
         Write(f / "book.xls", kEarlier, 0600);
         Own(f / "book.xls");
         fs::create_symlink("book.xls", f / "book-link.xls");
       },
       [&](const fs::path& f) {
         EXPECT_TRUE(fs::is_symlink(f / "book-link.xls"));
         EXPECT_EQ(Stat(f / "book.xls").st_mode & 07777, 0600u);
       }},
      {"an ACL and extended attributes are kept", "acl.csv", "acl.csv", true, false, false,
       [&](const fs::path& f) {
         Write(f / "acl.csv", kEarlier, 0640);
         Own(f / "acl.csv");
         if (setxattr((f / "acl.csv").c_str(), "system.posix_acl_access", acl.data(), acl.size(),
                      0) != 0 ||
             setxattr((f / "acl.csv").c_str(), "user.origin", "ward 3", 6, 0) != 0)
           skip = "the file system takes no ACLs or user attributes";
       },
       [&](const fs::path& f) {
         EXPECT_EQ(Xattr(f / "acl.csv", "system.posix_acl_access"), acl);
         EXPECT_EQ(Xattr(f / "acl.csv", "user.origin"), "ward 3");
         EXPECT_EQ(Stat(f / "acl.csv").st_mode & 07777, 0660u);
       }},
      {"a FIFO is refused without waiting for a reader", "fifo.csv", nullptr, false, false, false,
       [&](const fs::path& f) { mkfifo((f / "fifo.csv").c_str(), 0666); Own(f / "fifo.csv"); },
       [&](const fs::path& f) { EXPECT_TRUE(S_ISFIFO(Stat(f / "fifo.csv").st_mode)); }},
      {"a bind-mounted file is written in place", "bound.csv", "bound.csv", true, true, false,
       [&](const fs::path& f) {
         Write(f / "bound.csv", "", 0644);
         Write(f / "source.csv", kEarlier, 0644);
         Own(f / "source.csv");
         if (mount((f / "source.csv").c_str(), (f / "bound.csv").c_str(), nullptr, MS_BIND,
                   nullptr) != 0)
           skip = std::string("cannot bind-mount here: ") + strerror(errno);
         else
           mounts.push_back(f / "bound.csv");
       },
       [&](const fs::path& f) { EXPECT_TRUE(HoldsExport(f / "source.csv", grid_, look_)); }},
      {"another user's link in a sticky folder is not followed", "sticky/report.csv", nullptr,
       false, true, false,
       [&](const fs::path& f) {
         std::ifstream setting("/proc/sys/fs/protected_symlinks");
         int protectedLinks = 0;
         setting >> protectedLinks;
         if (protectedLinks != 1) skip = "fs.protected_symlinks is not 1 on this machine";
         Write(f / "notes.txt", kEarlier, 0600);
         Own(f / "notes.txt");
         fs::create_directory(f / "sticky");
         chmod((f / "sticky").c_str(), 01777);
         fs::create_symlink(f / "notes.txt", f / "sticky/report.csv");
         lchown((f / "sticky/report.csv").c_str(), 4242, 4242);
       },
       [&](const fs::path& f) { EXPECT_EQ(ReadFileBytes((f / "notes.txt").string()), kEarlier); }},
      {"a read-only document is refused", "ro.doc", nullptr, false, false, true,
       [&](const fs::path& f) { Write(f / "ro.doc", kEarlier, 0444); Own(f / "ro.doc"); },
       nullptr},
  };

  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.needsRoot && !root_) {
      std::cout << "[  SKIPPED ] " << row.what << ": needs files of another owner (run as root)\n";
      continue;
    }
    if (row.needsOffice && !office) {
      std::cout << "[  SKIPPED ] " << row.what << ": LibreOffice (soffice) is not installed\n";
      continue;
    }
    const fs::path folder = base / ("row" + std::to_string(++number));
    fs::create_directory(folder);
    Own(folder);
    skip.clear();
    if (row.prepare) row.prepare(folder);
    if (!skip.empty()) {
      // Not in the form of a skipped test: the other rows ran.
      std::cout << "(row not run) " << row.what << ": " << skip << "\n";
      continue;
    }
    const fs::path exported = folder / row.exported;

    const std::string box = ExportAsUser(exported, row.fileSizeLimit);
    if (box == "no user") {
      std::cout << "[  SKIPPED ] " << row.what
                << ": cannot run as user nobody (65534) in " << folder << "\n";
      continue;
    }
    EXPECT_EQ(box, row.succeeds ? "导出成功!" : "导出失败!");
    if (row.replaced) {
      EXPECT_TRUE(HoldsExport(folder / row.replaced, grid_, look_));
    } else if (fs::is_regular_file(exported)) {
      EXPECT_EQ(ReadFileBytes(exported.string()), kEarlier);
    }
    if (row.check) row.check(folder);
    if (std::string(row.what).find("stale") == std::string::npos) {
      EXPECT_TRUE(Temporaries(folder).empty());
    }
    chmod((folder / "shut").c_str(), 0755);  // so the folder can go
    for (const fs::path& mounted : mounts) umount2(mounted.c_str(), MNT_DETACH);
    mounts.clear();
  }
  EXPECT_TRUE(Temporaries(base / "user-tmp").empty());
}

}  // namespace

namespace {

// Undo files of the replace tests go into a folder of the test's own.
class InPlaceReplace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("XDG_STATE_HOME")) saved_ = old;
    setenv("XDG_STATE_HOME", (dir_.path() + "state").c_str(), 1);
    // Two names for one file: a rename would split them, so it is written in place.
    Write(file_, old_, 0644);
    fs::create_hard_link(file_, fs::path(dir_.path()) / "partner.csv");
  }
  void TearDown() override {
    if (saved_.empty())
      unsetenv("XDG_STATE_HOME");
    else
      setenv("XDG_STATE_HOME", saved_.c_str(), 1);
  }

  std::vector<std::string> UndoFiles() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& e : fs::directory_iterator(dir_.path() + "state/Zelvoran/replace", ignored))
      names.push_back(e.path().filename().string());
    return names;
  }

  // Replaces the file with `content` in a child, once `gate` (when given)
  // is closed, with `prepare` run there first. Answers how it ended: "done",
  // "failed" or the signal that killed it.
  pid_t StartReplace(const std::string& content, int gate, const std::function<void()>& prepare) {
    fflush(nullptr);
    const pid_t child = fork();
    if (child != 0) return child;
    if (prepare) prepare();
    char byte;
    while (gate >= 0 && read(gate, &byte, 1) < 0 && errno == EINTR) {
    }
    try {
      platform::ReplaceFileContent(file_, content);
    } catch (const std::exception&) {
      _exit(3);
    }
    _exit(0);
  }
  static std::string Ending(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGXFSZ ? "killed" : "signal";
    return WEXITSTATUS(status) == 0 ? "done" : "failed";
  }

  testing_support::TempDir dir_;
  std::string saved_;
  fs::path file_ = fs::path(dir_.path()) / "report.csv";
  const std::string old_ = std::string(1 << 20, 'o');
};

TEST_F(InPlaceReplace, AnInterruptedWriteEndsWithTheEarlierFileWhole) {
  const std::string fresh(4 << 20, 'n');
  const struct {
    const char* what;
    bool dies;
    bool recoverAtStart;  // else the next export puts it back
  } cases[] = {
      {"a failed write puts the earlier content back at once", false, false},
      {"a kill is repaired at the next start", true, true},
      {"a kill is repaired by the next export", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write(file_, old_, 0644);
    // At most 2 MB a file: the system stops the write there, or kills it.
    const pid_t child = StartReplace(fresh, -1, [&] {
      const rlimit noCore{0, 0}, size{2 << 20, 2 << 20};
      setrlimit(RLIMIT_CORE, &noCore);
      setrlimit(RLIMIT_FSIZE, &size);
      signal(SIGXFSZ, c.dies ? SIG_DFL : SIG_IGN);
    });
    EXPECT_EQ(Ending(child), c.dies ? "killed" : "failed");
    if (c.dies) {
      // Killed half way: the file holds part of the new content, the undo
      // file the whole earlier one.
      EXPECT_EQ(fs::file_size(file_), 2u << 20);
      EXPECT_EQ(UndoFiles().size(), 1u);
      if (c.recoverAtStart) {
        platform::RecoverInterruptedReplacements();
      } else {
        platform::ReplaceFileContent(fs::path(dir_.path()) / "other.csv", "x");
        EXPECT_EQ(ReadFileBytes((fs::path(dir_.path()) / "other.csv").string()), "x");
      }
    }
    EXPECT_EQ(ReadFileBytes(file_.string()), old_);
    EXPECT_EQ(ReadFileBytes(dir_.path() + "partner.csv"), old_);
    EXPECT_TRUE(UndoFiles().empty());
  }
  // Once it may write, the new content arrives whole, in the same file.
  platform::ReplaceFileContent(file_, fresh);
  EXPECT_EQ(ReadFileBytes(dir_.path() + "partner.csv"), fresh);
  EXPECT_TRUE(UndoFiles().empty());
}

TEST_F(InPlaceReplace, TwoWritersAtOnceLeaveOneWholeContent) {
  // Of different lengths, so that one written over the other shows.
  const std::string a(8 << 20, 'a'), b(3 << 20, 'b');
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    const auto wait = [&] { close(gate[1]); };
    const pid_t first = StartReplace(a, gate[0], wait), second = StartReplace(b, gate[0], wait);
    close(gate[0]);
    close(gate[1]);  // both start now
    EXPECT_EQ(Ending(first), "done");
    EXPECT_EQ(Ending(second), "done");  // the later one waited
    const std::string now = ReadFileBytes(file_.string());
    EXPECT_TRUE(now == a || now == b) << "size " << now.size();
    EXPECT_TRUE(UndoFiles().empty());
  }
}

}  // namespace
