#include "platform/taskbar.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
      nullptr);
  const xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
  free(reply);
  return atom;
}

}  // namespace

// Adds the freedesktop skip-taskbar state to the window: to its state
// property, which a window manager reads when the window is mapped, and by a
// request to the window manager for a window that is mapped already. Without
// a window manager nothing happens.
void KeepOffTaskbar(std::uintptr_t nativeWindow) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (!connection || xcb_connection_has_error(connection)) {
    if (connection) xcb_disconnect(connection);
    return;
  }
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = static_cast<xcb_window_t>(nativeWindow);
  event.type = Atom(connection, "_NET_WM_STATE");
  event.data.data32[0] = 1;  // add
  event.data.data32[1] = Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
  event.data.data32[2] = 0;
  event.data.data32[3] = 1;  // from an ordinary application
  if (event.type != XCB_ATOM_NONE && event.data.data32[1] != XCB_ATOM_NONE) {
    const xcb_atom_t skip = event.data.data32[1];
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, event.window, event.type, XCB_ATOM_ATOM,
                        32, 1, &skip);
  }
  if (screen && event.type != XCB_ATOM_NONE)
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
  xcb_disconnect(connection);
}

}  // namespace platform
