#pragma once
// Decoding of JPEG data held in memory, straight through libjpeg. Plain C++:
// the caller turns the pixels into whatever image type it draws with.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace jpeg {

// Pixels as 8-bit red, green, blue triples, rows top to bottom without
// padding: pixel (x, y) starts at byte (y * width + x) * 3.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

// Images larger than this many pixels are refused rather than allocated.
inline constexpr std::size_t kMaxDecodedPixels = std::size_t{1} << 26;

// The decoded picture, or nothing when the data is not a complete, undamaged
// JPEG (empty, truncated, corrupt, a colour space without an RGB conversion,
// or larger than kMaxDecodedPixels). Never aborts and prints nothing.
std::optional<RgbImage> DecodeJpeg(const std::uint8_t* data, std::size_t size);

}  // namespace jpeg
