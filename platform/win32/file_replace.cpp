#include "platform/file_replace.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

constexpr std::string_view kUndoMagic = "ZELVORAN-UNDO 1\n";
constexpr std::wstring_view kUndoPrefix = L"undo-";

bool ReadAt(HANDLE h, char* data, DWORD size, ULONGLONG offset, DWORD& got) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ReadFile(h, data, size, &got, &at) != 0;
}

bool WriteAt(HANDLE h, const char* data, DWORD size, ULONGLONG offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD written = 0;
  return WriteFile(h, data, size, &written, &at) && written == size;
}

// Copies `size` bytes through a small buffer, so a file of any size costs
// little memory.
bool CopyBytes(HANDLE from, ULONGLONG fromOffset, HANDLE to, ULONGLONG toOffset, ULONGLONG size) {
  std::string buffer(1 << 20, '\0');
  for (ULONGLONG done = 0; done < size;) {
    const DWORD want = static_cast<DWORD>(std::min<ULONGLONG>(size - done, buffer.size()));
    DWORD got = 0;
    if (!ReadAt(from, buffer.data(), want, fromOffset + done, got) || got == 0) return false;
    if (!WriteAt(to, buffer.data(), got, toOffset + done)) return false;
    done += got;
  }
  return true;
}

bool Truncate(HANDLE h, ULONGLONG size) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
}

// Undo files, as on every system: the earlier content of a file written in
// place is kept in %LOCALAPPDATA%\Zelvoran\replace until the new content is
// complete and flushed. Layout: the magic line, "<volume> <index> <size>\n",
// the target's full name (UTF-8) and "\n", then the earlier content; the
// magic line is written last. The writer holds the undo file open without
// sharing, so a file that can be opened has lost its writer.
fs::path UndoFolder() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return fs::path(buffer) / L"Zelvoran" / L"replace";
}

struct UndoHeader {
  DWORD volume = 0;
  ULONGLONG index = 0;
  ULONGLONG size = 0;
  fs::path target;
  ULONGLONG contentOffset = 0;
};

ULONGLONG FileIndex(const BY_HANDLE_FILE_INFORMATION& info) {
  return (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

std::string HeaderText(const UndoHeader& h) {
  const std::u8string name = h.target.u8string();
  return std::string(kUndoMagic) + std::to_string(h.volume) + " " + std::to_string(h.index) + " " +
         std::to_string(h.size) + "\n" + std::string(name.begin(), name.end()) + "\n";
}

std::optional<UndoHeader> ReadHeader(HANDLE h) {
  std::string text(kUndoMagic.size() + 64 + 4 * 32768, '\0');
  DWORD got = 0;
  if (!ReadAt(h, text.data(), static_cast<DWORD>(text.size()), 0, got)) return std::nullopt;
  text.resize(got);
  if (!text.starts_with(kUndoMagic)) return std::nullopt;
  const size_t numbersEnd = text.find('\n', kUndoMagic.size());
  const size_t nameEnd = numbersEnd == std::string::npos ? numbersEnd : text.find('\n', numbersEnd + 1);
  if (nameEnd == std::string::npos) return std::nullopt;
  unsigned long volume = 0;
  unsigned long long index = 0, size = 0;
  if (std::sscanf(text.c_str() + kUndoMagic.size(), "%lu %llu %llu", &volume, &index, &size) != 3)
    return std::nullopt;
  UndoHeader header;
  header.volume = volume;
  header.index = index;
  header.size = size;
  const std::string name = text.substr(numbersEnd + 1, nameEnd - numbersEnd - 1);
  header.target = fs::path(std::u8string(name.begin(), name.end()));
  header.contentOffset = nameEnd + 1;
  return header;
}

bool PutBack(HANDLE undo, const UndoHeader& h, HANDLE target) {
  return Truncate(target, 0) && CopyBytes(undo, h.contentOffset, target, 0, h.size) &&
         Truncate(target, h.size) && FlushFileBuffers(target);
}

void DeleteOnClose(HANDLE h) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
}

void RecoverOne(const fs::path& file) {
  Handle undo(CreateFileW(file.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!undo.ok()) return;  // its export still runs
  LARGE_INTEGER size{};
  const std::optional<UndoHeader> h = ReadHeader(undo.get());
  if (!h || !GetFileSizeEx(undo.get(), &size) ||
      static_cast<ULONGLONG>(size.QuadPart) < h->contentOffset + h->size) {
    DeleteOnClose(undo.get());  // never complete: the target was not touched
    return;
  }
  Handle target(CreateFileW(h->target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!target.ok()) {
    // Gone, out of reach or being written: tried again later.
    return;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(target.get(), &info)) return;
  if (info.dwVolumeSerialNumber != h->volume || FileIndex(info) != h->index) {
    DeleteOnClose(undo.get());  // replaced as a whole since
    return;
  }
  if (PutBack(undo.get(), *h, target.get())) DeleteOnClose(undo.get());
}

// Writes the content into the open file itself: its earlier content is kept
// in an undo file first, then the file is emptied, written and flushed. A
// failure puts the earlier content back; should that fail too, the undo
// file stays for the next export or start.
void WriteInPlace(const fs::path& file, HANDLE h, std::string_view content) {
  BY_HANDLE_FILE_INFORMATION info{};
  LARGE_INTEGER size{};
  if (!GetFileInformationByHandle(h, &info) || !GetFileSizeEx(h, &size))
    FailError(file, GetLastError());
  const fs::path folder = UndoFolder();
  std::error_code ignored;
  if (folder.empty() || (fs::create_directories(folder, ignored), !fs::is_directory(folder, ignored)))
    Fail(file, "no folder of the user's own to keep the earlier content in");
  static std::atomic<unsigned long long> counter{0};
  const fs::path name = folder / (std::wstring(kUndoPrefix) + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(++counter));
  Handle undo(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!undo.ok()) FailError(file, GetLastError());
  UndoHeader header;
  header.volume = info.dwVolumeSerialNumber;
  header.index = FileIndex(info);
  header.size = static_cast<ULONGLONG>(size.QuadPart);
  header.target = fs::absolute(file, ignored);
  const std::string text = HeaderText(header);
  header.contentOffset = text.size();
  const std::string blank(text.size(), '\0');
  if (!WriteAt(undo.get(), blank.data(), static_cast<DWORD>(blank.size()), 0) ||
      !CopyBytes(h, 0, undo.get(), header.contentOffset, header.size) ||
      !FlushFileBuffers(undo.get()) ||
      !WriteAt(undo.get(), text.data(), static_cast<DWORD>(text.size()), 0) ||
      !FlushFileBuffers(undo.get())) {
    const DWORD error = GetLastError();
    DeleteOnClose(undo.get());
    FailError(file, error);
  }
  if (Truncate(h, 0) && WriteAllAt(h, content) && SetEndOfFile(h) && FlushFileBuffers(h)) {
    DeleteOnClose(undo.get());
    return;
  }
  const DWORD error = GetLastError();
  if (PutBack(undo.get(), header, h)) DeleteOnClose(undo.get());
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
  RecoverInterruptedReplacements();
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

void RecoverInterruptedReplacements() {
  const fs::path folder = UndoFolder();
  std::error_code error;
  if (folder.empty() || !fs::is_directory(folder, error)) return;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (it->path().filename().wstring().starts_with(kUndoPrefix)) files.push_back(it->path());
  for (const fs::path& file : files) RecoverOne(file);
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
