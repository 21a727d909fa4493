#include "core/image/jpeg_decode.h"

#include <climits>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <cstring>
#include <new>

#include <jpeglib.h>

namespace jpeg {
namespace {

// libjpeg's own error handler prints the message and calls exit(). Ours jumps
// back to the setjmp in DecodeInto instead. Warnings jump as well: libjpeg
// warns when it has to patch up a picture (data ending early, corrupt
// entropy-coded data), and such a picture is damaged, not decoded.
struct ErrorManager {
  jpeg_error_mgr base;  // first member: libjpeg only ever sees this part
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
  if (level < 0) JumpBack(info);  // -1 is a warning; 0 and above are trace output
}

void PrintNothing(j_common_ptr) {}

// Runs the decoder over `data`; false when libjpeg gave up. Only trivially
// destructible locals live in this frame, so the long jump back into it skips
// no destructor, and none of them is read after the jump. The picture is
// written through `out`, which the caller owns.
bool DecodeInto(jpeg_decompress_struct* info, ErrorManager* errors, const std::uint8_t* data,
                std::size_t size, RgbImage* out) {
  if (setjmp(errors->jump) != 0) return false;

  jpeg_create_decompress(info);  // keeps info->err
  jpeg_mem_src(info, data, static_cast<unsigned long>(size));
  jpeg_read_header(info, TRUE);
  info->out_color_space = JCS_RGB;  // greyscale and YCbCr convert; CMYK fails
  jpeg_start_decompress(info);
  if (info->output_components != 3) return false;

  const std::size_t width = info->output_width;
  const std::size_t height = info->output_height;
  if (width == 0 || height == 0 || width * height > kMaxDecodedPixels) return false;
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(height);
  out->pixels.resize(width * height * 3);

  const std::size_t stride = width * 3;
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = out->pixels.data() + info->output_scanline * stride;
    if (jpeg_read_scanlines(info, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(info);  // reads on to the end marker, so truncation shows
  return true;
}

}  // namespace

std::optional<RgbImage> DecodeJpeg(const std::uint8_t* data, std::size_t size) {
  if (size > ULONG_MAX) return std::nullopt;

  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);  // destroying a never-created decoder is then harmless
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JumpBack;
  errors.base.emit_message = OnMessage;
  errors.base.output_message = PrintNothing;

  RgbImage image;
  bool decoded = false;
  try {
    decoded = DecodeInto(&info, &errors, data, size, &image);
  } catch (const std::bad_alloc&) {
    decoded = false;
  }
  jpeg_destroy_decompress(&info);
  if (!decoded) return std::nullopt;
  return image;
}

}  // namespace jpeg
