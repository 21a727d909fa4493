#include "platform/single_instance.h"

#include <windows.h>

namespace platform {

InstanceLock CreateSingleInstanceLock(const std::string& name) {
  // A name without a namespace prefix is local to the current logon. The
  // handle is never closed: the mutex lives as long as the process.
  const HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  const DWORD error = GetLastError();
  if (!mutex) return InstanceLock::Failed;
  return error == ERROR_ALREADY_EXISTS ? InstanceLock::AlreadyRunning : InstanceLock::Acquired;
}

}  // namespace platform
