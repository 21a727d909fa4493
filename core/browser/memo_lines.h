#pragma once
// The lines of a multi-line edit: appending a text adds a line per CR LF
// inside it, and a line reads back as at most its first 4096 bytes.
#include <string>
#include <string_view>
#include <vector>

class MemoLines {
 public:
  static constexpr size_t kMaxLineRead = 4096;

  MemoLines() = default;
  explicit MemoLines(std::string_view initialText) { Append(initialText); }

  void Clear() { lines_.clear(); }
  void Append(std::string_view text);
  int Count() const { return static_cast<int>(lines_.size()); }
  // Line i as the edit control returns it (cut to kMaxLineRead bytes).
  std::string_view Line(int i) const;
  // Every line, each followed by CR LF but the last (the memo's text).
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};
