#include "platform/processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>

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
