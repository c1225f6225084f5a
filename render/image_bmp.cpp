// Windows bitmap decoder: turns a .bmp file (with or without its 14-byte file header) into
// 24-bit R, G, B rows packed tight, in the file's own row order. Handles the 40-byte info
// header (and the longer V4/V5 forms) and the 12-byte core header; 1, 4, 8, 16, 24 and
// 32 bits per pixel; uncompressed, RLE8, RLE4 and bit-field pictures. Every size, offset,
// run and palette index is checked against the buffer before it is used.
#include <new>

#include "render/texture.h"

namespace {

constexpr char UnknownFormat[] = "Unknown DIB file format.";
constexpr char OutOfMemory[] = "Out of memory.";
constexpr char ConversionError[] = "Image file conversion error.";

constexpr uint32_t CompressionNone = 0;
constexpr uint32_t CompressionRle8 = 1;
constexpr uint32_t CompressionRle4 = 2;
constexpr uint32_t CompressionBitFields = 3;

// The most pixels a run-length stream can set per byte: a run fills at most 255 pixels for
// its two bytes. Pictures left mostly unset by deltas and end marks are refused with it.
constexpr int64_t RunLengthPixelsPerByte = 128;

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool Fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};

// One colour channel of a 16- or 32-bit pixel, described by its mask.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;  // position of the mask's lowest bit
  int bits = 0;   // width from the lowest to the highest mask bit
};

Channel MakeChannel(uint32_t mask) {
  Channel c;
  c.mask = mask;
  while (c.shift < 32 && !((mask >> c.shift) & 1u)) ++c.shift;
  uint32_t rest = mask >> c.shift;
  while (rest) {
    ++c.bits;
    rest >>= 1;
  }
  return c;
}

// Scales a channel value to 8 bits by repeating its bits (5-bit 31 -> 255, 1 -> 8), as the
// system's bitmap conversion does.
uint8_t Expand(const Channel& c, uint32_t pixel) {
  uint32_t v = (pixel & c.mask) >> c.shift;
  if (c.bits >= 8) return uint8_t(v >> (c.bits - 8));
  uint32_t r = 0;
  int filled = 0;
  while (filled < 8) {
    r = (r << c.bits) | v;
    filled += c.bits;
  }
  return uint8_t(r >> (filled - 8));
}

struct Layout {
  int64_t width = 0, height = 0;
  int bits = 0;
  uint32_t compression = CompressionNone;
  std::vector<Rgb> palette;
  Channel red, green, blue;
  size_t pixelStart = 0;
};

// Sizes the output; a failed allocation is reported, never thrown out of the decoder.
bool Allocate(ImageData* image, const Layout& l, std::string* error) {
  try {
    image->pixels.assign(size_t(l.width * l.height * 3), 0);
  } catch (const std::bad_alloc&) {
    image->pixels.clear();
    return Fail(error, OutOfMemory);
  }
  return true;
}

void Put(uint8_t* out, const Rgb& c) {
  out[0] = c.r;
  out[1] = c.g;
  out[2] = c.b;
}

bool DecodeUncompressed(const uint8_t* data, size_t size, const Layout& l, uint8_t* out,
                        std::string* error) {
  (void)size;  // the caller checked that every row is there
  const int64_t stride = (l.width * l.bits + 31) / 32 * 4;
  const int64_t paletteSize = int64_t(l.palette.size());
  for (int64_t y = 0; y < l.height; ++y) {
    const uint8_t* row = data + l.pixelStart + y * stride;
    for (int64_t x = 0; x < l.width; ++x, out += 3) {
      switch (l.bits) {
        case 1:
        case 4:
        case 8: {
          const int64_t bit = x * l.bits;
          const int shift = 8 - l.bits - int(bit % 8);
          const int index = (row[bit / 8] >> shift) & ((1 << l.bits) - 1);
          if (index >= paletteSize) return Fail(error, ConversionError);
          Put(out, l.palette[size_t(index)]);
          break;
        }
        case 16: {
          const uint32_t p = U16(row + x * 2);
          Put(out, {Expand(l.red, p), Expand(l.green, p), Expand(l.blue, p)});
          break;
        }
        case 24: {
          const uint8_t* p = row + x * 3;
          Put(out, {p[2], p[1], p[0]});
          break;
        }
        default: {
          const uint32_t p = U32(row + x * 4);
          Put(out, {Expand(l.red, p), Expand(l.green, p), Expand(l.blue, p)});
          break;
        }
      }
    }
  }
  return true;
}

// RLE8 and RLE4: runs, end of line, end of picture, delta skips and literal runs. Pixels the
// stream never sets keep palette colour 0. As in the system's conversion, pixels past the
// end of a row are dropped (some writers encode the row padding as pixels); nothing may be
// written below the last row.
bool DecodeRunLength(const uint8_t* data, size_t size, const Layout& l, uint8_t* out,
                     std::string* error) {
  const bool four = l.compression == CompressionRle4;
  const int64_t paletteSize = int64_t(l.palette.size());
  for (int64_t i = 0; i < l.width * l.height; ++i) Put(out + i * 3, l.palette[0]);
  size_t pos = l.pixelStart;
  int64_t x = 0, y = 0;
  auto put = [&](int index) {
    if (index >= paletteSize) return false;
    if (x < l.width) Put(out + (y * l.width + x) * 3, l.palette[size_t(index)]);
    ++x;
    return true;
  };
  for (;;) {
    if (size - pos < 2) return Fail(error, ConversionError);  // stream ends without its end mark
    const int count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (y >= l.height) return Fail(error, ConversionError);
      for (int i = 0; i < count; ++i) {
        const int index = four ? ((i & 1) ? value & 15 : value >> 4) : value;
        if (!put(index)) return Fail(error, ConversionError);
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      if (++y > l.height) return Fail(error, ConversionError);
    } else if (value == 1) {  // end of picture
      return true;
    } else if (value == 2) {  // delta: skip right and up
      if (size - pos < 2) return Fail(error, ConversionError);
      x += data[pos];
      y += data[pos + 1];
      pos += 2;
      if (y >= l.height) return Fail(error, ConversionError);
    } else {  // literal run of `value` pixels, padded to an even byte count
      const int n = value;
      const size_t bytes = four ? size_t((n + 1) / 2) : size_t(n);
      const size_t padded = (bytes + 1) & ~size_t{1};
      if (size - pos < padded || y >= l.height) return Fail(error, ConversionError);
      for (int i = 0; i < n; ++i) {
        const uint8_t b = data[pos + size_t(four ? i / 2 : i)];
        const int index = four ? ((i & 1) ? b & 15 : b >> 4) : b;
        if (!put(index)) return Fail(error, ConversionError);
      }
      pos += padded;
    }
  }
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, ImageData* image, std::string* error,
               const ImageLimits& limits) {
  *image = ImageData();
  size_t info = 0;
  bool fileHeader = false;
  uint32_t pixelOffset = 0;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    if (size < 14) return Fail(error, UnknownFormat);
    fileHeader = true;
    pixelOffset = U32(data + 10);
    info = 14;
  }
  if (size - info < 4) return Fail(error, UnknownFormat);
  const uint32_t headerSize = U32(data + info);
  const bool core = headerSize == 12;
  if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
      headerSize != 124)
    return Fail(error, UnknownFormat);
  if (size - info < headerSize) return Fail(error, UnknownFormat);

  const uint8_t* h = data + info;
  Layout l;
  uint32_t colorsUsed = 0;
  if (core) {
    l.width = U16(h + 4);
    l.height = U16(h + 6);
    l.bits = U16(h + 10);
  } else {
    l.width = int32_t(U32(h + 4));
    l.height = int32_t(U32(h + 8));
    l.bits = U16(h + 14);
    l.compression = U32(h + 16);
    colorsUsed = U32(h + 32);
  }
  if (l.compression > CompressionBitFields) return Fail(error, UnknownFormat);
  // Top-down (negative height) pictures are not supported.
  if (l.width < 1 || l.height < 1) return Fail(error, ConversionError);
  if (!limits.Allow(l.width, l.height)) return Fail(error, OutOfMemory);
  const int b = l.bits;
  if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32)
    return Fail(error, ConversionError);
  if ((l.compression == CompressionRle8 && b != 8) || (l.compression == CompressionRle4 && b != 4) ||
      (l.compression == CompressionBitFields && b != 16 && b != 32))
    return Fail(error, ConversionError);

  // Masks: inside the longer headers, or three words after the 40-byte one.
  size_t tableStart = info + headerSize;
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};  // 5-5-5 when a 16-bit picture names none
  if (b == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0x00FF00;
    masks[2] = 0x0000FF;
  }
  if (l.compression == CompressionBitFields) {
    const uint8_t* m = h + 40;
    if (headerSize == 40) {
      if (size - tableStart < 12) return Fail(error, ConversionError);
      m = data + tableStart;
      tableStart += 12;
    }
    for (int i = 0; i < 3; ++i) masks[i] = U32(m + 4 * i);
    if (!masks[0] || !masks[1] || !masks[2]) return Fail(error, ConversionError);
  }
  l.red = MakeChannel(masks[0]);
  l.green = MakeChannel(masks[1]);
  l.blue = MakeChannel(masks[2]);

  // Colour table: its length, inside the file, no longer than the bit count can index.
  const uint64_t entrySize = core ? 3 : 4;
  uint64_t paletteCount = colorsUsed ? colorsUsed : (b <= 8 ? (1u << b) : 0);
  if (b <= 8 && paletteCount > (1u << b)) return Fail(error, ConversionError);
  const uint64_t tableEnd = tableStart + paletteCount * entrySize;
  if (tableEnd > size) return Fail(error, ConversionError);
  if (b <= 8) {
    l.palette.resize(size_t(paletteCount));
    for (size_t i = 0; i < l.palette.size(); ++i) {
      const uint8_t* e = data + tableStart + i * entrySize;
      l.palette[i] = {e[2], e[1], e[0]};
    }
  }

  if (fileHeader) {
    if (pixelOffset < info + headerSize) return Fail(error, ConversionError);
    l.pixelStart = pixelOffset;
  } else {
    l.pixelStart = size_t(tableEnd);
  }
  if (l.pixelStart >= size) return Fail(error, ConversionError);
  if (l.compression == CompressionNone || l.compression == CompressionBitFields) {
    // Checked before allocating: the rows must all be there (the last may lack its padding).
    const int64_t stride = (l.width * b + 31) / 32 * 4;
    if (int64_t(size - l.pixelStart) < (l.height - 1) * stride + (l.width * b + 7) / 8)
      return Fail(error, ConversionError);
  } else if (l.width * l.height > int64_t(size - l.pixelStart) * RunLengthPixelsPerByte) {
    // A picture far larger than its stream: refused before the buffer is sized for it.
    return Fail(error, ConversionError);
  }

  ImageData result;
  result.channels = 3;
  result.width = int32_t(l.width);
  result.height = int32_t(l.height);
  if (!Allocate(&result, l, error)) return false;
  const bool ok = (l.compression == CompressionRle8 || l.compression == CompressionRle4)
                      ? DecodeRunLength(data, size, l, result.pixels.data(), error)
                      : DecodeUncompressed(data, size, l, result.pixels.data(), error);
  if (!ok) return false;
  *image = std::move(result);
  return true;
}

std::unique_ptr<ImageData> LoadBmpFile(const char* fileName, const char* openFailure,
                                       const ImageLimits& limits) {
  return LoadImageFile(fileName, openFailure, limits, DecodeBmp);
}

std::unique_ptr<ImageData> LoadBmp(const char* fileName, const ImageLimits& limits) {
  return LoadBmpFile(fileName, "Unable to load BMP File!", limits);
}
