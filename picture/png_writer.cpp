#include "picture/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <stdexcept>

namespace tessera {
namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

// libpng would print to standard error; a failure is reported by the caller instead.
void failQuietly(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

// Kept free of objects with destructors, which the longjmp on failure would skip.
bool writeRows(png_structp png, png_infop info, const RgbImage& image, png_bytepp rows,
               std::vector<std::uint8_t>* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, appendBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 6);
  png_set_compression_mem_level(png, 8);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_compression_window_bits(png, 15);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB | PNG_FILTER_UP);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

}  // namespace

std::vector<std::uint8_t> encodePng(const RgbImage& image) {
  if (image.width <= 0 || image.height <= 0) throw std::runtime_error("图片为空");
  // libpng only reads the rows it is given to write.
  auto* pixels = const_cast<std::uint8_t*>(image.rgb.data());
  std::vector<png_bytep> rows;
  for (int y = 0; y < image.height; ++y) rows.push_back(pixels + pixelOffset(image, 0, y));

  std::vector<std::uint8_t> bytes;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, ignoreWarning);
  if (png == nullptr) throw std::runtime_error("PNG 编码无法开始 (内存不足)");
  png_infop info = png_create_info_struct(png);
  const bool written = info != nullptr && writeRows(png, info, image, rows.data(), &bytes);
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  if (!written) throw std::runtime_error("PNG 编码失败 (内存不足)");
  return bytes;
}

}  // namespace tessera
