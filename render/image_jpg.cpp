// JPEG decoder through libjpeg(-turbo), from memory. The library's fatal errors jump back
// here and refuse the image instead of ending the process. Only three-component colour
// pictures are accepted (textures are uploaded as R, G, B); rows come top row first.
#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "render/texture.h"

namespace {

constexpr char JpgError[] = "Unable to load JPG File!";

struct ErrorManager {
  jpeg_error_mgr base;  // must come first: the library hands back a pointer to it
  std::jmp_buf jump;
};

[[noreturn]] void OnFatalError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings about damaged data are not shown: the picture still decodes. A stream that ends
// before the picture does is refused instead: the library would fill the rest with grey,
// so a few header bytes could make it decode (and allocate) a picture of any size.
void OnMessage(j_common_ptr) {}
void OnEmit(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) OnFatalError(info);
}

// The most pixels one byte of a file can cover: every 8 x 8 block costs at least one bit
// (its DC code) in the cheapest scan. A header that claims more is refused before the
// library allocates its buffers for it.
constexpr int64_t MaxPixelsPerByte = 64 * 8;

bool Fail(std::string* error) {
  if (error) *error = JpgError;
  return false;
}

// Everything that lives across setjmp is kept in this record, outside the function's own
// locals, so a jump back leaves nothing in an unspecified state.
struct Decoder {
  jpeg_decompress_struct info;
  ErrorManager errors;
  ImageData result;
  std::vector<JSAMPROW> rows;
};

// Returns false on any failure; the caller destroys the decompression object (which is safe
// on the zeroed record even when creating it failed).
bool Run(Decoder& d, const uint8_t* data, size_t size, const ImageLimits& limits) {
  if (setjmp(d.errors.jump)) return false;
  jpeg_create_decompress(&d.info);
  jpeg_mem_src(&d.info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK) return false;
  const int64_t width = d.info.image_width, height = d.info.image_height;
  if (d.info.num_components != 3 || d.info.out_color_space != JCS_RGB) return false;
  if (width < 1 || height < 1 || !limits.Allow(width, height) ||
      width * height > int64_t(size) * MaxPixelsPerByte)
    return false;
  jpeg_start_decompress(&d.info);
  if (d.info.output_components != 3) return false;
  d.result.channels = 3;
  d.result.width = int32_t(d.info.output_width);
  d.result.height = int32_t(d.info.output_height);
  const size_t stride = size_t(d.info.output_width) * 3;
  try {
    d.result.pixels.resize(stride * d.info.output_height);
    d.rows.resize(d.info.output_height);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (size_t y = 0; y < d.rows.size(); ++y) d.rows[y] = d.result.pixels.data() + y * stride;
  while (d.info.output_scanline < d.info.output_height) {
    const JDIMENSION done = d.info.output_scanline;
    if (jpeg_read_scanlines(&d.info, d.rows.data() + done, d.info.output_height - done) == 0)
      return false;
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

}  // namespace

bool DecodeJpg(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               const ImageLimits& limits) {
  *image = ImageData();
  if (size == 0) return Fail(error);
  auto d = std::make_unique<Decoder>();  // value-initialised: the library record starts zeroed
  d->info.err = jpeg_std_error(&d->errors.base);
  d->errors.base.error_exit = OnFatalError;
  d->errors.base.output_message = OnMessage;
  d->errors.base.emit_message = OnEmit;
  const bool ok = Run(*d, data, size, limits);
  jpeg_destroy_decompress(&d->info);
  if (!ok) return Fail(error);
  *image = std::move(d->result);
  return true;
}

std::unique_ptr<ImageData> LoadJpg(const char* fileName, const ImageLimits& limits) {
  return LoadImageFile(fileName, JpgError, limits, DecodeJpg);
}
