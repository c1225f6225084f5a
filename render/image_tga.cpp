// Targa decoder: uncompressed (type 2) true colour of 16, 24 or 32 bits and run-length
// (type 10) true colour of 24 or 32 bits, into R, G, B(, A) rows in the file's own order
// (the origin bit is not looked at). Runs never pass the picture's end and every packet's
// bytes must be in the file.
#include <new>

#include "render/texture.h"

namespace {

constexpr char TgaError[] = "Unable to load TGA File!";
constexpr size_t HeaderSize = 18;
constexpr int TypeTrueColour = 2;
constexpr int TypeRunLength = 10;

bool Fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

// One stored pixel (B, G, R(, A)) written as R, G, B(, A).
void PutPixel(const uint8_t* in, int channels, uint8_t* out) {
  out[0] = in[2];
  out[1] = in[1];
  out[2] = in[0];
  if (channels == 4) out[3] = in[3];
}

bool DecodeRunLength(const uint8_t* data, size_t size, size_t pos, ImageData* image,
                     std::string* error) {
  const size_t channels = size_t(image->channels);
  const size_t total = size_t(image->width) * size_t(image->height);
  uint8_t* out = image->pixels.data();
  size_t done = 0;
  while (done < total) {
    if (pos >= size) return Fail(error, TgaError);
    const int header = data[pos++];
    const size_t count = header < 128 ? size_t(header) + 1 : size_t(header) - 127;
    if (count > total - done) return Fail(error, TgaError);  // would run past the picture
    if (header < 128) {
      if (size - pos < count * channels) return Fail(error, TgaError);
      for (size_t i = 0; i < count; ++i, pos += channels, out += channels)
        PutPixel(data + pos, int(channels), out);
    } else {
      if (size - pos < channels) return Fail(error, TgaError);
      for (size_t i = 0; i < count; ++i, out += channels) PutPixel(data + pos, int(channels), out);
      pos += channels;
    }
    done += count;
  }
  return true;
}

}  // namespace

bool DecodeTga(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               const ImageLimits& limits) {
  *image = ImageData();
  if (error) error->clear();
  if (size < HeaderSize) return Fail(error, TgaError);
  const int idLength = data[0];
  const int colourMapType = data[1];
  const int imageType = data[2];
  const int colourMapLength = data[5] | (data[6] << 8);
  const int colourMapBits = data[7];
  const int64_t width = data[12] | (data[13] << 8);
  const int64_t height = data[14] | (data[15] << 8);
  const int bits = data[16];

  // Only true colour is used for textures: other types and depths give no image, silently.
  if (imageType != TypeTrueColour && imageType != TypeRunLength) return false;
  if (imageType == TypeRunLength && bits != 24 && bits != 32) return false;
  if (imageType == TypeTrueColour && bits != 16 && bits != 24 && bits != 32) return false;
  if (width < 1 || height < 1) return Fail(error, TgaError);
  if (!limits.Allow(width, height)) return Fail(error, TgaError);

  // Identification field, then a colour map a true-colour file may carry but never uses.
  size_t pos = HeaderSize + size_t(idLength);
  if (colourMapType != 0) pos += size_t(colourMapLength) * size_t((colourMapBits + 7) / 8);
  if (pos > size) return Fail(error, TgaError);

  const int channels = bits == 32 ? 4 : 3;
  const size_t stored = size_t(bits / 8);
  const size_t total = size_t(width * height);
  // Checked before allocating: uncompressed pixels must all be there, and run-length packets
  // carry at most 128 pixels for 1 + channels bytes.
  if (imageType == TypeTrueColour ? size - pos < total * stored
                                  : size - pos < (total + 127) / 128 * (1 + stored))
    return Fail(error, TgaError);

  ImageData result;
  result.channels = channels;
  result.width = int32_t(width);
  result.height = int32_t(height);
  try {
    result.pixels.resize(total * size_t(channels));
  } catch (const std::bad_alloc&) {
    return Fail(error, TgaError);
  }

  if (imageType == TypeRunLength) {
    if (!DecodeRunLength(data, size, pos, &result, error)) return false;
  } else if (bits == 16) {
    // 5-5-5 with the top bit ignored; each channel is scaled by 8, so 31 becomes 248.
    uint8_t* out = result.pixels.data();
    for (size_t i = 0; i < total; ++i, pos += 2, out += 3) {
      const unsigned c = unsigned(data[pos] | (data[pos + 1] << 8));
      out[0] = uint8_t(((c >> 10) & 31) * 8);
      out[1] = uint8_t(((c >> 5) & 31) * 8);
      out[2] = uint8_t((c & 31) * 8);
    }
  } else {
    uint8_t* out = result.pixels.data();
    for (size_t i = 0; i < total; ++i, pos += stored, out += channels)
      PutPixel(data + pos, channels, out);
  }
  *image = std::move(result);
  return true;
}

std::unique_ptr<ImageData> LoadTga(const char* fileName, const ImageLimits& limits) {
  return LoadImageFile(fileName, "Unable to load TGA File!", limits, DecodeTga);
}
