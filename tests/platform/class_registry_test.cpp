// The per-user class registry, and the control module's own registration
// entries that write to it. Every test points the registry at a folder of
// its own.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/base/Excel_unit.h"
#include "platform/class_registry.h"
#include "platform/codepage.h"
#include "platform/loadable_module.h"
#include "tests/support/test_db.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

const char* const kViewer = "{433268D7-2CD4-43E6-AA24-2188672E7252}";
const char* const kOther = "{11111111-2222-3333-4444-555555555555}";

class ClassRegistry : public ::testing::Test {
 protected:
  ClassRegistry() : config_("registry-config"), home_("registry-home") {
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    if (const char* home = std::getenv("HOME")) savedHome_ = home;
    setenv("HOME", home_.path().c_str(), 1);
  }
  ~ClassRegistry() override {
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", savedHome_.c_str(), 1);
  }

  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path Folder() const { return fs::path(config_.path()) / "Zelvoran"; }

  TempDir config_;
  TempDir home_;
  std::string savedHome_;
};

TEST_F(ClassRegistry, EntriesAreAddedReplacedAndRemovedOneByOne) {
  EXPECT_EQ(platform::FindClassModule(kViewer), std::nullopt);
  EXPECT_TRUE(platform::UnregisterClassModule(kViewer));  // nothing to remove is no failure

  ASSERT_TRUE(platform::RegisterClassModule(kOther, "/opt/other/other.ocx"));
  ASSERT_TRUE(platform::RegisterClassModule(kViewer, "/opt/one/pdfview.ocx"));
  ASSERT_TRUE(platform::RegisterClassModule(kViewer, "/opt/two/pdfview.ocx"));  // replaces
  // Class identifiers are found in any letter case.
  EXPECT_EQ(platform::FindClassModule("{433268d7-2cd4-43e6-aa24-2188672e7252}"),
            fs::path("/opt/two/pdfview.ocx"));
  EXPECT_EQ(Read(Folder() / "classes"), std::string(kOther) + "\t/opt/other/other.ocx\n" + kViewer +
                                            "\t/opt/two/pdfview.ocx\n");

  ASSERT_TRUE(platform::UnregisterClassModule(kViewer));
  EXPECT_EQ(platform::FindClassModule(kViewer), std::nullopt);
  EXPECT_EQ(platform::FindClassModule(kOther), fs::path("/opt/other/other.ocx"));
  // Written through a temporary file that is renamed: nothing else is left.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Folder())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"classes", "classes.lock"}));
}

TEST_F(ClassRegistry, PathsThatWouldBreakTheFileAreRefused) {
  EXPECT_FALSE(platform::RegisterClassModule(kViewer, "relative/pdfview.ocx"));
  EXPECT_FALSE(platform::RegisterClassModule(kViewer, "/opt/new\nline/pdfview.ocx"));
  EXPECT_FALSE(platform::RegisterClassModule(kViewer, "/opt/tab\there/pdfview.ocx"));
  EXPECT_EQ(platform::FindClassModule(kViewer), std::nullopt);
  // A name with characters outside GBK is kept as it is.
  const fs::path odd = fs::path(u8"/opt/Ελληνικά 政策/pdfview.ocx");
  ASSERT_TRUE(platform::RegisterClassModule(kViewer, odd));
  EXPECT_EQ(platform::FindClassModule(kViewer), odd);
}

TEST_F(ClassRegistry, FilesWrittenByHandOrLinkedElsewhereAreReadAndKept) {
  // Registries edited by hand: CR LF lines read like LF lines, and a relative
  // module path (which would load whatever the current folder holds) is no entry.
  const struct {
    std::string text;
    std::optional<fs::path> found;
  } cases[] = {
      {std::string(kViewer) + "\t/opt/a/pdfview.ocx\r\n", fs::path("/opt/a/pdfview.ocx")},
      {std::string(kOther) + "\t/opt/o.ocx\r\n" + kViewer + "\t/opt/b/pdfview.ocx\r\n",
       fs::path("/opt/b/pdfview.ocx")},
      {std::string(kViewer) + "\tpdfview.ocx\n", std::nullopt},
      {std::string(kViewer) + "\t./pdfview.ocx\r\n", std::nullopt},
      {std::string(kViewer) + "\t\r\n", std::nullopt},
  };
  fs::create_directories(Folder());
  for (const auto& c : cases) {
    std::ofstream(Folder() / "classes", std::ios::binary) << c.text;
    EXPECT_EQ(platform::FindClassModule(kViewer), c.found) << c.text;
  }
  // Rewritten, the lines lose their CR.
  std::ofstream(Folder() / "classes", std::ios::binary) << cases[1].text;
  ASSERT_TRUE(platform::RegisterClassModule(kOther, "/opt/p.ocx"));
  EXPECT_EQ(Read(Folder() / "classes"), std::string(kViewer) + "\t/opt/b/pdfview.ocx\n" + kOther + "\t/opt/p.ocx\n");
  // Nothing relative is loaded either, even with the file in the current folder.
  TempDir cwd("registry-cwd");
  const fs::path before = fs::current_path();
  fs::copy_file(PDFVIEW_MODULE, fs::path(cwd.path()) / "pdfview.ocx");
  fs::current_path(cwd.path());
  EXPECT_EQ(platform::LoadModuleForGood("pdfview.ocx").handle, nullptr);
  EXPECT_FALSE(RegisterServerFile("pdfview.ocx"));
  fs::current_path(before);

  // A registry that is a link to a file elsewhere is written through the link.
  TempDir shared("registry-shared");
  fs::remove(Folder() / "classes");
  fs::create_symlink(fs::relative(fs::path(shared.path()) / "classes", Folder()), Folder() / "classes");
  ASSERT_TRUE(platform::RegisterClassModule(kViewer, "/opt/c/pdfview.ocx"));
  EXPECT_TRUE(fs::is_symlink(Folder() / "classes"));
  EXPECT_EQ(Read(fs::path(shared.path()) / "classes"), std::string(kViewer) + "\t/opt/c/pdfview.ocx\n");
  ASSERT_TRUE(platform::UnregisterClassModule(kViewer));
  EXPECT_TRUE(fs::is_symlink(Folder() / "classes"));
  EXPECT_EQ(Read(fs::path(shared.path()) / "classes"), "");

  // A folder that cannot be made is reported as not writable, and nothing is registered.
  EXPECT_TRUE(platform::ClassRegistryWritable());
  std::ofstream(fs::path(config_.path()) / "file") << "x";
  setenv("XDG_CONFIG_HOME", (fs::path(config_.path()) / "file").c_str(), 1);
  EXPECT_FALSE(platform::ClassRegistryWritable());
  EXPECT_FALSE(platform::RegisterClassModule(kViewer, "/opt/d/pdfview.ocx"));
  EXPECT_EQ(platform::ClassRegistryPlace(), fs::path(config_.path()) / "file" / "Zelvoran");
}

TEST_F(ClassRegistry, RelativeConfigFolderIsIgnoredForTheHomeFolder) {
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  ASSERT_TRUE(platform::RegisterClassModule(kViewer, "/opt/pdfview.ocx"));
  EXPECT_TRUE(fs::exists(fs::path(home_.path()) / ".config" / "Zelvoran" / "classes"));
  EXPECT_FALSE(fs::exists("relative/config"));
}

TEST_F(ClassRegistry, ControlModuleRegistersItsOwnPath) {
  TempDir program("registry-program");
  const fs::path module = fs::path(program.path()) / "pdfview.ocx";
  fs::copy_file(PDFVIEW_MODULE, module);
  ASSERT_TRUE(RegisterServerFile(platform::Utf8ToCp936(module.string())));
  EXPECT_EQ(platform::FindClassModule(kViewer), module);
  ASSERT_TRUE(UnregisterServerFile(platform::Utf8ToCp936(module.string())));
  EXPECT_EQ(platform::FindClassModule(kViewer), std::nullopt);
}

}  // namespace

namespace {

// Whatever sits at the registry's name, the program neither waits on it nor
// writes through it unless it is a regular file of the user's own, and a
// file that is written keeps its mode.
TEST_F(ClassRegistry, OnlyARegularFileOfTheUserIsReadOrWritten) {
  fs::create_directories(Folder());
  const fs::path file = Folder() / "classes";
  TempDir elsewhere("registry-elsewhere");
  const fs::path foreign = fs::path(elsewhere.path()) / "foreign";
  std::ofstream(foreign) << kViewer << "\t/opt/foreign.ocx\n";
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
  }
  const struct {
    const char* what;
    std::function<void()> make;
    bool written;
  } cases[] = {
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }, false},
      {"a link to another user's file", [&] { fs::create_symlink(foreign, file); }, !root},
      {"a file of mode 0644", [&] { std::ofstream(file) << "x"; chmod(file.c_str(), 0644); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(file);
    c.make();
    EXPECT_EQ(platform::FindClassModule(kViewer), std::nullopt);
    EXPECT_EQ(platform::RegisterClassModule(kViewer, "/opt/new.ocx"), c.written);
    EXPECT_EQ(platform::FindClassModule(kViewer).has_value(), c.written);
  }
  // The file kept its mode, the other user's file its content.
  struct stat st {};
  ASSERT_EQ(lstat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  if (root) {
    EXPECT_EQ(Read(foreign), std::string(kViewer) + "\t/opt/foreign.ocx\n");
  }
}

}  // namespace
