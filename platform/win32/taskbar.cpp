#include "platform/taskbar.h"

#include <windows.h>

namespace platform {

// A window owned by a hidden tool window (extended style exactly 128) gets
// no taskbar button: the owner is the button's holder, and it is hidden.
void KeepOffTaskbar(std::uintptr_t nativeWindow) {
  static HWND owner = nullptr;
  if (!owner) {
    owner = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!owner) return;
    SetWindowLongA(owner, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    ShowWindow(owner, SW_HIDE);
  }
  HWND window = reinterpret_cast<HWND>(nativeWindow);
  const bool visible = IsWindowVisible(window) != FALSE;
  if (visible) ShowWindow(window, SW_HIDE);  // the taskbar notices a new owner on showing
  SetWindowLongPtrA(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  if (visible) ShowWindow(window, SW_SHOW);
}

}  // namespace platform
