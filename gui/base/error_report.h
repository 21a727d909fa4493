#pragma once
// The application's standard error report, and the guard that every event
// handler runs inside: an exception ends the handler where it arose, keeps
// what earlier steps changed, and is shown to the user.
#include <exception>
#include <string>

inline constexpr const char* kApplicationTitle = "Kestrowan软件";

// Appends "." when the last byte sorts after "." (a letter, a digit, a
// double-byte character); a message ending in ".", "!" or a blank stays, and
// so does a Chinese sentence that ends in its own full stop "。".
std::string WithFullStop(std::string message);

// Error icon, OK, caption kApplicationTitle.
void ShowErrorReport(const std::string& message);

template <typename Handler>
void RunGuarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
}
