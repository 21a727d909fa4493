#include "platform/processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/ascii_case.h"

namespace platform {
namespace {

// The ANSI process entry (tagPROCESSENTRY32 rather than the PROCESSENTRY32
// macro, which names the wide form when UNICODE is defined). It is 296 bytes
// in a 32-bit build and larger in a 64-bit one; dwSize is always its size.
using AnsiProcessEntry = tagPROCESSENTRY32;
static_assert(sizeof(void*) != 4 || sizeof(AnsiProcessEntry) == 296);

using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using WalkFn = BOOL(WINAPI*)(HANDLE snapshot, AnsiProcessEntry* entry);

struct SnapshotFunctions {
  CreateSnapshotFn create = nullptr;
  WalkFn first = nullptr;
  WalkFn next = nullptr;
  bool Complete() const { return create && first && next; }
};

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  // Through void(*)(), the one function pointer type that converts to every
  // other without a cast warning.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The snapshot functions are looked up once, at first use.
const SnapshotFunctions& Functions() {
  static const SnapshotFunctions functions = [] {
    SnapshotFunctions f;
    if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
      f.create = Lookup<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
      f.first = Lookup<WalkFn>(kernel, "Process32First");
      f.next = Lookup<WalkFn>(kernel, "Process32Next");
    }
    return f;
  }();
  return functions;
}

// The user that the token of `process` names, as a copy of its security
// identifier; nothing when the token cannot be read.
std::unique_ptr<unsigned char[]> TokenUserOf(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::unique_ptr<unsigned char[]> user;
  if (size > 0) {
    user = std::make_unique<unsigned char[]>(size);
    if (!GetTokenInformation(token, TokenUser, user.get(), size, &size)) user.reset();
  }
  CloseHandle(token);
  return user;
}

PSID SidOf(const std::unique_ptr<unsigned char[]>& user) {
  return reinterpret_cast<const TOKEN_USER*>(user.get())->User.Sid;
}

}  // namespace

bool VisitProcesses(const std::function<bool(const ProcessEntry&)>& visit) {
  const SnapshotFunctions& f = Functions();
  if (!f.Complete()) return false;
  const HANDLE snapshot = f.create(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  AnsiProcessEntry raw;
  std::memset(&raw, 0, sizeof raw);
  raw.dwSize = sizeof raw;
  for (BOOL read = f.first(snapshot, &raw); read; read = f.next(snapshot, &raw)) {
    ProcessEntry entry;
    entry.id = static_cast<long long>(raw.th32ProcessID);
    entry.exe.assign(raw.szExeFile, strnlen(raw.szExeFile, sizeof raw.szExeFile));
    if (!visit(entry)) break;
  }
  CloseHandle(snapshot);
  return true;
}

long long CurrentProcessId() { return static_cast<long long>(GetCurrentProcessId()); }

bool RunsForCallingUser(const ProcessEntry& entry) {
  const HANDLE process =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(entry.id));
  if (!process) return false;
  const std::unique_ptr<unsigned char[]> theirs = TokenUserOf(process);
  CloseHandle(process);
  const std::unique_ptr<unsigned char[]> mine = TokenUserOf(GetCurrentProcess());
  return theirs && mine && EqualSid(SidOf(theirs), SidOf(mine));
}

bool ExecutableNamed(const std::string& exe, const std::string& name) {
  const size_t cut = exe.find_last_of("\\/:");
  const std::string_view part =
      cut == std::string::npos ? std::string_view(exe) : std::string_view(exe).substr(cut + 1);
  return ascii::EqualIgnoringCase(part, name) || ascii::EqualIgnoringCase(exe, name);
}

// By id: the toolhelp snapshot holds no handle and tells nothing that would
// tell a later process with the same id apart, so the handle opened here
// names whichever process has the id now.
bool EndProcess(const ProcessEntry& entry) {
  const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(entry.id));
  if (!process) return false;
  // Ending the own process does not return from TerminateProcess.
  const bool ended = ::TerminateProcess(process, 0) != FALSE;
  CloseHandle(process);
  return ended;
}

}  // namespace platform
