#pragma once
// Case folding of the ASCII letters only, byte by byte: every other byte, a
// CP936 lead or trail byte included, stays as it is whatever the C locale.
// Kept here, in the lowest layer, so that the platform services, the control
// interface and the core share the one definition.
#include <string_view>

namespace ascii {

constexpr char ToUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char ToLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal once both sides are folded.
constexpr bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ToUpper(a[i]) != ToUpper(b[i])) return false;
  return true;
}

}  // namespace ascii
