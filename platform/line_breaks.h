#pragma once
// Lines of a text in which CR LF, a lone CR and a lone LF each break the
// line. Works on bytes; in CP936 text no trail byte is a CR or LF, so it is
// safe on the program's text. Kept here, in the lowest layer, so that the
// office model, the grid model, the exports and the grid view share it.
#include <string_view>
#include <vector>

// The lines between the breaks; a text without breaks is one line, an empty
// text one empty line, and a break at the end gives a last, empty line.
inline std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

// The first line of a text: everything before its first line break. The
// grid's width fitting and the fixed-width export both take it.
inline std::string_view FirstLine(std::string_view text) {
  const size_t end = text.find_first_of("\r\n");
  return end == std::string_view::npos ? text : text.substr(0, end);
}
