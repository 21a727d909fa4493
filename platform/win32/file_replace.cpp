#include "platform/file_replace.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/codepage.h"
#include "platform/replace_names.h"

namespace platform {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void Fail(const fs::path& file, const std::string& why) {
  throw std::runtime_error("Cannot write file " + PathToCp936(file) + ": " + why);
}
[[noreturn]] void FailError(const fs::path& file, DWORD error) {
  Fail(file, "system error " + std::to_string(error));
}
// The file cannot be made or opened for writing at all; the message names it
// as the user gave it.
[[noreturn]] void FailCreate(const fs::path& target) {
  throw std::runtime_error("Cannot Create file " + PathToCp936(target));
}


class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { Reset(INVALID_HANDLE_VALUE); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  void Reset(HANDLE h) {
    if (ok()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_;
};

bool WriteAllAt(HANDLE h, std::string_view data) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) return false;
  size_t done = 0;
  while (done < data.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, data.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

std::string ReadAll(HANDLE h) {
  std::string all;
  LARGE_INTEGER size{};
  LARGE_INTEGER start{};
  if (!GetFileSizeEx(h, &size) || !SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) return all;
  all.resize(static_cast<size_t>(size.QuadPart));
  size_t got = 0;
  while (got < all.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(all.size() - got, 1u << 30));
    if (!ReadFile(h, all.data() + got, chunk, &n, nullptr) || n == 0) break;
    got += n;
  }
  all.resize(got);
  return all;
}

// Writes the content into the open file itself; a write that fails puts the
// earlier content back.
void WriteInPlace(const fs::path& file, HANDLE h, std::string_view content) {
  const std::string earlier = ReadAll(h);
  if (WriteAllAt(h, content) && SetEndOfFile(h) && FlushFileBuffers(h)) return;
  const DWORD error = GetLastError();
  if (WriteAllAt(h, earlier)) SetEndOfFile(h);
  FailError(file, error);
}

// The name that an open file finally has, links followed.
fs::path FinalName(HANDLE h, const fs::path& fallback) {
  std::wstring name(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return fallback;
    if (n < name.size()) {
      name.resize(n);
      return fs::path(name);
    }
    name.resize(n + 1);
  }
  return fallback;
}

bool ProcessHasEnded(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return ended;
}

}  // namespace

void ReplaceFileContent(const fs::path& target, std::string_view content) {
  // Opening follows links; a read-only file or one the user may not write
  // cannot be opened for writing.
  Handle existing(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const bool exists = existing.ok();
  if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) FailCreate(target);
  DWORD links = 1;
  fs::path file = target;
  if (exists) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(existing.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      FailCreate(target);
    links = info.nNumberOfLinks;
    file = FinalName(existing.get(), target);
  }
  const fs::path folder = file.parent_path().empty() ? fs::path(L".") : file.parent_path();
  RemoveStaleReplacements(folder);

  if (links <= 1) {
    static std::atomic<unsigned long long> counter{0};
    const replace_names::InFlightName name(
        replace_names::TemporaryName(GetCurrentProcessId(), ++counter));
    const fs::path temporary = folder / name.name();
    Handle fresh(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (fresh.ok()) {
      const bool written = WriteAllAt(fresh.get(), content) && FlushFileBuffers(fresh.get());
      DWORD error = GetLastError();
      fresh.Reset(INVALID_HANDLE_VALUE);
      bool placed = false;
      if (written) {
        existing.Reset(INVALID_HANDLE_VALUE);
        // ReplaceFileW keeps the earlier file's attributes, security and
        // owner; a new name is taken by a plain move.
        placed = exists ? ReplaceFileW(file.c_str(), temporary.c_str(), nullptr,
                                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                        : MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_WRITE_THROUGH);
        if (!placed) error = GetLastError();
      }
      if (placed) return;
      DeleteFileW(temporary.c_str());
      FailError(file, error);
    }
  }
  // No temporary file beside it (a folder the user may not write, a name too
  // long) or several links: the file itself is written.
  if (exists) {
    WriteInPlace(file, existing.get(), content);
    return;
  }
  Handle created(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!created.ok()) FailCreate(target);
  if (WriteAllAt(created.get(), content) && FlushFileBuffers(created.get())) return;
  const DWORD error = GetLastError();
  created.Reset(INVALID_HANDLE_VALUE);
  DeleteFileW(file.c_str());
  FailError(file, error);
}

void RemoveStaleReplacements(const fs::path& folder) {
  const fs::path pattern =
      (folder.empty() ? fs::path(L".") : folder) / (std::string(replace_names::kPrefix) + "*");
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  const DWORD self = GetCurrentProcessId();
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::u8string utf8 = fs::path(found.cFileName).u8string();
    const std::string name(utf8.begin(), utf8.end());
    const std::optional<std::uint64_t> writer = replace_names::WriterOf(name);
    if (!writer || *writer > MAXDWORD) continue;
    bool stale;
    if (*writer == self) {
      stale = !replace_names::InFlightName::IsInFlight(name);
    } else {
      stale = ProcessHasEnded(static_cast<DWORD>(*writer));
    }
    if (stale) DeleteFileW((folder / found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace platform
