#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/base/Excel_unit.h"
#include "platform/ascii_case.h"

void SplitByChar(std::string text, char delimiter, userarray& out) {
  out.assign(kUserArraySlots, std::string());
  // The working copy ends at its first NUL byte.
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  size_t start = 0;
  int slot = 0;
  for (size_t pos = text.find(delimiter); pos != std::string::npos;
       pos = text.find(delimiter, start)) {
    if (slot < kUserArraySlots) out[slot] = text.substr(start, pos - start);
    ++slot;
    start = pos + 1;
  }
  if (slot < kUserArraySlots) out[slot] = text.substr(start);
}

userarray SplitByChar(const std::string& text, char delimiter) {
  userarray out;
  SplitByChar(text, delimiter, out);
  return out;
}

bool IsSerialNumber(const std::string& text) {
  if (text.empty()) return false;
  int dots = 0;
  for (char c : text) {
    if (c == '.')
      ++dots;
    else if (c < '0' || c > '9')
      return false;
  }
  if (dots > 1 || text.front() == '.' || text.back() == '.') return false;
  // Zeros are counted in the part before the stop; without a stop that part is empty.
  size_t dot = text.find('.');
  if (dot == std::string::npos) return true;
  int zeros = 0;
  for (size_t i = 0; i < dot; ++i)
    if (text[i] == '0') ++zeros;
  return zeros <= 1;
}

std::string TrimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return std::string(text.substr(b, e - b));
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii::ToUpper(c);
  return out;
}

bool ContainsFolded(std::string_view haystack, std::string_view foldedNeedle) {
  const size_t n = foldedNeedle.size();
  if (n == 0 || n > haystack.size()) return false;
  const char first = foldedNeedle[0];
  const char firstLower = ascii::ToLower(first);
  // Candidates are the places of the first byte (in either case), found by
  // memchr, which skips the bytes between far faster than a loop compares them.
  const char* const begin = haystack.data();
  const char* const end = begin + (haystack.size() - n + 1);
  const auto next = [end](const char* from, char c) {
    const void* at = from < end ? std::memchr(from, c, static_cast<size_t>(end - from)) : nullptr;
    return at ? static_cast<const char*>(at) : end;
  };
  const char* upper = next(begin, first);
  const char* lower = first == firstLower ? end : next(begin, firstLower);
  while (upper != end || lower != end) {
    const char* at = std::min(upper, lower);
    size_t j = 1;
    while (j < n && ascii::ToUpper(at[j]) == foldedNeedle[j]) ++j;
    if (j == n) return true;
    if (at == upper) upper = next(at + 1, first);
    if (at == lower) lower = next(at + 1, firstLower);
  }
  return false;
}

int StrToInt(const std::string& text) {
  auto fail = [&]() -> int {
    throw std::runtime_error("'" + text + "' is not a valid integer value");
  };
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return fail();
  long long value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit = c >= '0' && c <= '9'                   ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f'   ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F'   ? c - 'A' + 10
                                                       : -1;
    if (digit < 0) return fail();
    value = value * base + digit;
    if (value > 2147483648LL) return fail();
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return fail();
  return static_cast<int>(value);
}
