#include "core/image/jpeg_decode.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/windows/Unit1.h"

namespace {

std::optional<jpeg::RgbImage> Decode(const QByteArray& bytes) {
  return jpeg::DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()));
}

TEST(DecodeJpeg, EmbeddedPictureGivesRgbPixelsInRowOrder) {
  const QByteArray bytes = ProgressPictureJpeg();
  ASSERT_FALSE(bytes.isEmpty());
  const auto image = Decode(bytes);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 367);
  EXPECT_EQ(image->height, 243);
  ASSERT_EQ(image->pixels.size(), 367u * 243u * 3u);
  auto at = [&](int x, int y, int c) { return int(image->pixels[(y * 367 + x) * 3 + c]); };
  // The medical cross near the top right is red; the sky behind it is pale.
  EXPECT_GT(at(310, 38, 0), 180);
  EXPECT_LT(at(310, 38, 1), 100);
  EXPECT_LT(at(310, 38, 2), 100);
  EXPECT_GT(at(5, 5, 2), 200);
}

TEST(DecodeJpeg, DamagedOrTruncatedDataIsAFailure) {
  const QByteArray good = ProgressPictureJpeg();
  ASSERT_GT(good.size(), 1000);
  QByteArray earlyEnd = good;
  earlyEnd.replace(good.size() / 2, 2, "\xFF\xD9");  // an end marker in the middle of the scan
  const std::pair<const char*, QByteArray> cases[] = {
      {"empty", QByteArray()},
      {"garbage", QByteArray(5000, '\x5A')},
      {"start marker then garbage", QByteArray("\xFF\xD8") + QByteArray(400, '\x11')},
      {"header only", good.left(300)},
      {"half", good.left(good.size() / 2)},
      {"end marker missing", good.left(good.size() - 2)},
      {"end marker in the scan", earlyEnd},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Decode(bytes));
  }
  EXPECT_FALSE(jpeg::DecodeJpeg(nullptr, 0));
}

}  // namespace
