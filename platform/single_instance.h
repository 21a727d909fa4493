#pragma once
// The per-logon guard that lets one copy of the program run.
#include <string>

namespace platform {

enum class InstanceLock { Acquired, AlreadyRunning, Failed };

// Creates (and holds until the process ends) the named lock. AlreadyRunning
// when another process of this logon holds it; Failed for any other trouble.
InstanceLock CreateSingleInstanceLock(const std::string& name);

}  // namespace platform
