#pragma once
// The per-user class registry: which module file implements a control class,
// looked up by class identifier ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// compared without regard to letter case). A module adds its class when it
// is registered and removes it when it is unregistered; a host finds the file
// to load through it.
// Only full paths are recorded or given out: a module is never looked for in
// the current folder.
//   POSIX: the file "classes" in Zelvoran/ under the user's configuration
//          folder ($XDG_CONFIG_HOME, else ~/.config), one "<id><TAB><path>"
//          line per class (LF or CR LF), replaced as a whole through
//          ReplaceFileContent (it keeps its mode; a symbolic link is followed
//          only to a regular file of this user, whose content is replaced;
//          any other file there, a FIFO say, is neither read nor written).
//   Win32: the default value of HKEY_CURRENT_USER\Software\Zelvoran\Classes\<id>.
//          The modules are no COM servers (they offer the program's own
//          factory, not DllGetClassObject), so they are recorded where only
//          this program looks, not under CLSID.
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// Records `module` (a full path) for `classId`, replacing an earlier entry.
bool RegisterClassModule(const std::string& classId, const std::filesystem::path& module);
// Removes the entry of `classId`; true also when there was none.
bool UnregisterClassModule(const std::string& classId);
// The module recorded for `classId`; nothing when the class is not registered.
std::optional<std::filesystem::path> FindClassModule(const std::string& classId);

// Where the registry is kept, for messages: its folder (POSIX) or key (Win32).
std::filesystem::path ClassRegistryPlace();
// Whether an entry can be written there now (a missing folder is made).
bool ClassRegistryWritable();

}  // namespace platform
