#pragma once
// Keeps the program's main window out of the taskbar.
#include <cstdint>

namespace platform {

// `nativeWindow` is the window's native identifier (an X11 window, a Win32
// HWND). The window must be shown already.
void KeepOffTaskbar(std::uintptr_t nativeWindow);

}  // namespace platform
