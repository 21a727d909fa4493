#include "platform/posix/office_convert.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/file_replace.h"

extern char** environ;

namespace platform::office {
namespace fs = std::filesystem;
namespace {

bool IsExecutableFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && access(path.c_str(), X_OK) == 0;
}

// A folder of its own under the system's temporary folder, removed with
// everything in it when the object goes.
class PrivateFolder {
 public:
  PrivateFolder() {
    std::string pattern = (fs::temp_directory_path() / "zelvoran-office-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("Cannot create a temporary folder: " + std::string(strerror(errno)));
    path_ = pattern;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// file:// URL of an absolute path, every byte outside the unreserved set
// percent-encoded.
std::string FileUrl(const fs::path& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path.string()) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  return url;
}

std::string LastLines(const fs::path& log) {
  std::ifstream in(log);
  std::ostringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.size() > 400) text = "..." + text.substr(text.size() - 400);
  return text;
}

// Runs `argv` in a process group of its own with output to `log`, waits up
// to `limit`, and ends whatever is left of that group (the office suite may
// start helpers). Returns the exit status, or throws when it cannot start or
// runs out of time.
int RunInOwnGroup(const std::vector<std::string>& argv, const fs::path& log,
                  std::chrono::milliseconds limit) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);

  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0)
    throw std::runtime_error("Cannot start " + argv[0] + ": " + strerror(spawned));

  // Waits without collecting the child, so its id (and with it the group's
  // id) cannot be handed to another process before the group is ended.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool ended = false;
  while (true) {
    siginfo_t info{};
    const int rc = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (rc == 0 && info.si_pid == pid) {
      ended = true;
      break;
    }
    if (rc != 0 && errno != EINTR) break;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(-pid, SIGKILL);  // only the group this call started
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!ended)
    throw std::runtime_error("LibreOffice did not finish within " +
                             std::to_string(limit.count() / 1000) + " seconds");
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Puts the converted file `done` in place of `target` through the one
// function that replaces files, so the office result keeps the target's
// mode, owner and links like every other export.
void MoveIntoPlace(const fs::path& done, const fs::path& target) {
  std::ifstream in(done, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in || !content) throw std::runtime_error("Cannot read " + done.string());
  ReplaceFileContent(target, content.str());
}

}  // namespace

std::optional<fs::path> FindSoffice() {
  if (const char* path = std::getenv("PATH")) {
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
      size_t end = folders.find(':', start);
      if (end == std::string::npos) end = folders.size();
      const std::string folder = folders.substr(start, end - start);
      if (!folder.empty() && IsExecutableFile(fs::path(folder) / "soffice"))
        return fs::path(folder) / "soffice";
      start = end + 1;
    }
  }
  const fs::path usual = "/usr/lib/libreoffice/program/soffice";
  if (IsExecutableFile(usual)) return usual;
  return std::nullopt;
}

std::string ConversionFor(const fs::path& target) {
  std::string extension = target.extension().string();
  if (!extension.empty()) extension.erase(0, 1);
  for (char& c : extension) {
    if (!std::isalnum(static_cast<unsigned char>(c)))
      throw std::runtime_error("No file format for the extension of " + target.string());
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (extension.empty()) throw std::runtime_error("No file format for " + target.string());
  if (extension == "xls") return "xls:MS Excel 97";
  if (extension == "doc") return "doc:MS Word 97";
  return extension;
}

void SaveThroughOffice(const fs::path& soffice, const std::string& flatOdf,
                       const std::string& flatExtension, const fs::path& target,
                       std::chrono::milliseconds timeLimit) {
  const std::string conversion = ConversionFor(target);
  const std::string extension = conversion.substr(0, conversion.find(':'));
  PrivateFolder folder;
  const fs::path source = folder.path() / ("export." + flatExtension);
  {
    std::ofstream out(source, std::ios::binary);
    out.write(flatOdf.data(), static_cast<std::streamsize>(flatOdf.size()));
    out.close();
    if (!out) throw std::runtime_error("Cannot write " + source.string());
  }
  const fs::path outFolder = folder.path() / "out";
  fs::create_directory(outFolder);
  const fs::path log = folder.path() / "soffice.log";
  const int status = RunInOwnGroup(
      {soffice.string(), "--headless", "--norestore", "--nologo", "--nodefault",
       "-env:UserInstallation=" + FileUrl(folder.path() / "profile"), "--convert-to", conversion,
       "--outdir", outFolder.string(), source.string()},
      log, timeLimit);
  const fs::path converted = outFolder / ("export." + extension);
  std::error_code ec;
  if (status != 0 || !fs::is_regular_file(converted, ec) || fs::file_size(converted, ec) == 0)
    throw std::runtime_error("LibreOffice could not save " + target.string() + " (" + conversion +
                             ", exit " + std::to_string(status) + "): " + LastLines(log));
  MoveIntoPlace(converted, target);
}

}  // namespace platform::office
