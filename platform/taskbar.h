#pragma once
// Keeps the program's main window out of the taskbar.
#include <cstdint>

namespace platform {

// `nativeWindow` is the window's native identifier (an X11 window, a Win32
// HWND). Called once the native window exists, before or after it is shown.
void KeepOffTaskbar(std::uintptr_t nativeWindow);

}  // namespace platform
