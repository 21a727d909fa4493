#include "core/browser/memo_lines.h"

void MemoLines::Append(std::string_view text) {
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string_view::npos; start = at + 2)
    lines_.emplace_back(text.substr(start, at - start));
  lines_.emplace_back(text.substr(start));
}

std::string_view MemoLines::Line(int i) const {
  std::string_view line = lines_.at(static_cast<size_t>(i));
  return line.size() > kMaxLineRead ? line.substr(0, kMaxLineRead) : line;
}

std::string MemoLines::Text() const {
  std::string out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i) out += "\r\n";
    out += lines_[i];
  }
  return out;
}
