#pragma once
// A deterministic measurer: 7 pixels a byte (8 in the fixed font), 13 a line;
// wrapping breaks a paragraph into as many lines as its bytes need.
#include <algorithm>
#include <string_view>

#include "core/grid/grid_model.h"

namespace testing_support {

class FixedMeasurer final : public TextMeasurer {
 public:
  static constexpr int kByteWidth = 7;
  static constexpr int kFixedByteWidth = 8;
  static constexpr int kLineHeight = 13;

  int LineWidth(std::string_view line, CellFont font) const override {
    return static_cast<int>(line.size()) * (font == CellFont::Fixed ? kFixedByteWidth : kByteWidth);
  }
  int WrappedHeight(std::string_view text, int width, CellFont font) const override {
    const int perByte = font == CellFont::Fixed ? kFixedByteWidth : kByteWidth;
    const int perLine = std::max(width / perByte, 1);
    int lines = 0;
    size_t start = 0;
    while (true) {
      size_t end = text.find("\r\n", start);
      const size_t len = (end == std::string_view::npos ? text.size() : end) - start;
      lines += std::max<int>(1, static_cast<int>((len + perLine - 1) / perLine));
      if (end == std::string_view::npos) break;
      start = end + 2;
    }
    return lines * kLineHeight;
  }
};

}  // namespace testing_support
