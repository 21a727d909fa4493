#pragma once
// The per-user class registry: which module file implements a control class,
// looked up by class identifier ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// compared without regard to letter case). A module adds its class when it
// is registered and removes it when it is unregistered; a host finds the file
// to load through it.
//   POSIX: the file "classes" in Zelvoran/ under the user's configuration
//          folder ($XDG_CONFIG_HOME, else ~/.config), one "<id><TAB><path>"
//          line per class, replaced as a whole (temporary file, then rename).
//   Win32: HKEY_CURRENT_USER\Software\Classes\CLSID\<id>\InprocServer32.
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

}  // namespace platform
