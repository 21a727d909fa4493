#pragma once
// Placing a window on the screen.
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

// Moves `window` so that its frame stands at the centre of the available
// area of its screen (the primary one when it has none yet).
inline void CentreOnScreen(QWidget& window) {
  const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}
