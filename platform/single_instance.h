#pragma once
// The per-logon guard that lets one copy of the program run.
#include <string>

namespace platform {

enum class InstanceLock { Acquired, AlreadyRunning, Failed };

// Creates (and holds until the process ends) the named lock. AlreadyRunning
// when another process of this user holds it; Failed for any other trouble.
// On Linux the lock is a file in the user's runtime folder ($XDG_RUNTIME_DIR,
// when it is an absolute path to a folder of this user that nobody else may
// write to), else in ~/.local/state/Zelvoran.
InstanceLock CreateSingleInstanceLock(const std::string& name);

}  // namespace platform
