// A stand-in for the program in the process tests. The tests copy it under
// the names they need (Zelvoran.exe among them) and start it with one mode:
//   wait              prints "ready", then waits a minute at most
//   kill <name>       prints "before", ends the processes named <name>,
//                     then prints "returned <0|1>" (unless it ended itself)
//   lock <name> [hold] creates the single-instance lock, prints its outcome
//                     ("Acquired", "AlreadyRunning", "Failed"); with "hold"
//                     keeps it until its input is closed
//   folder            prints the executable's folder
// Output goes straight to the standard output handle, unbuffered, so nothing
// printed before the process ends is lost.
#include <windows.h>

#include <string>

#include "core/base/Excel_unit.h"
#include "platform/codepage.h"
#include "platform/executable.h"
#include "platform/single_instance.h"

namespace {

void Print(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
            &written, nullptr);
}

// Blocks until the standard input reaches its end (the test closed it), or a
// minute has passed, so a forgotten helper never lingers.
void WaitForEndOfInput() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  const ULONGLONG end = GetTickCount64() + 60000;
  char byte;
  DWORD read = 0;
  while (GetTickCount64() < end) {
    DWORD available = 0;
    if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) return;  // closed
    if (available > 0 && (!ReadFile(input, &byte, 1, &read, nullptr) || read == 0)) return;
    Sleep(20);
  }
}

const char* LockName(platform::InstanceLock lock) {
  switch (lock) {
    case platform::InstanceLock::Acquired: return "Acquired";
    case platform::InstanceLock::AlreadyRunning: return "AlreadyRunning";
    case platform::InstanceLock::Failed: return "Failed";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "wait") {
    Print("ready");
    Sleep(60000);
    return 5;
  }
  if (mode == "kill" && argc > 2) {
    Print("before");
    const bool result = KillProcessesByName(argv[2]);
    Print(std::string("returned ") + (result ? "1" : "0"));
    return 7;
  }
  if (mode == "lock" && argc > 2) {
    Print(LockName(platform::CreateSingleInstanceLock(argv[2])));
    if (argc > 3 && std::string(argv[3]) == "hold") WaitForEndOfInput();
    return 0;
  }
  if (mode == "folder") {
    Print(platform::PathToCp936(platform::ExecutableFolder()));
    return 0;
  }
  Print("unknown mode");
  return 2;
}
