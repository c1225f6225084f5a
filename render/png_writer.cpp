// The PNG writer (see png_writer.h): libpng's simplified interface does the encoding.
#include "render/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstring>

bool WritePngRgb(std::FILE* file, const uint8_t* rgb, int width, int height, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  errno = 0;
  if (!png_image_write_to_stdio(&image, file, 0, rgb, 0, nullptr)) {
    // A failed write leaves errno; libpng's own message says what else went wrong.
    *error = errno ? std::strerror(errno) : image.message;
    png_image_free(&image);
    return false;
  }
  if (std::fflush(file) != 0 || std::ferror(file)) {
    *error = std::strerror(errno ? errno : EIO);
    return false;
  }
  return true;
}
