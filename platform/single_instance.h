#pragma once
// The per-logon guard that lets one copy of the program run.
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

enum class InstanceLock { Acquired, AlreadyRunning, Failed };

// Creates (and holds until the process ends) the named lock. AlreadyRunning
// when another process of this user holds it; Failed for any other trouble.
// On Linux the lock's places follow from the user's id alone, never from the
// environment, so that every copy of one user meets the same lock: the
// system's runtime folder of the user (/run/user/<uid>, when it is the
// user's own and nobody else may write to it) and ~/.local/state/Zelvoran in
// the home folder that the user database names. The lock is taken in each
// place that can hold it; it is held elsewhere when any place says so.
InstanceLock CreateSingleInstanceLock(const std::string& name);

#ifndef _WIN32
// The same lock in the given folders instead (the test build of the program
// uses a folder of its test). The last folder is made (mode 0700) when
// missing, with the folders above it.
InstanceLock CreateSingleInstanceLockIn(const std::vector<std::filesystem::path>& folders,
                                        const std::string& name);
#endif

}  // namespace platform
