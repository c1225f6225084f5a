// The desktop icon and its PNG writer (see icon.h).
#include "tools/assetgen/icon.h"

#include <algorithm>
#include <cmath>

#include "core/crc32.h"
#include "tools/assetgen/picture.h"

namespace {

void PutBig32(std::vector<uint8_t>* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>* out, const char type[4], const std::vector<uint8_t>& data) {
  PutBig32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  PutBig32(out, Crc32(out->data() + start, out->size() - start));
}

}  // namespace

std::vector<uint8_t> EncodePngRgba(const std::vector<uint8_t>& rgba, int width, int height) {
  // Scanlines, each led by filter type 0.
  std::vector<uint8_t> raw;
  const size_t row = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgba.begin() + y * row, rgba.begin() + (y + 1) * row);
  }
  // zlib stream of stored blocks (at most 65535 bytes each), then the Adler-32 of the data.
  std::vector<uint8_t> z = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || raw.empty(); at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n >= raw.size() ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    if (raw.empty()) break;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(&z, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBig32(&header, static_cast<uint32_t>(width));
  PutBig32(&header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter choice, no interlace
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", z);
  PutChunk(&png, "IEND", {});
  return png;
}

std::vector<uint8_t> DrawIcon(int size) {
  std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
  const float c = size * 0.5f;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      // Coordinates -1..1 from the centre, sampled at the pixel's centre.
      const float u = (x + 0.5f - c) / c, v = (y + 0.5f - c) / c;
      const float r = std::sqrt(u * u + v * v);
      // The dark steel disc with a lighter rim.
      float red = Mix(0.10f, 0.22f, SmoothStep(0.80f, 0.95f, r));
      float green = Mix(0.12f, 0.25f, SmoothStep(0.80f, 0.95f, r));
      float blue = Mix(0.16f, 0.30f, SmoothStep(0.80f, 0.95f, r));
      // The burst: a hot orange glow fading out from the centre.
      const float glow = std::exp(-r * r * 9.0f);
      red = Mix(red, 1.0f, glow);
      green = Mix(green, 0.62f, glow * 0.9f);
      blue = Mix(blue, 0.15f, glow * 0.6f);
      // The crosshair: a ring and four ticks in pale green.
      const float ring = 1.0f - SmoothStep(0.02f, 0.05f, std::fabs(r - 0.55f));
      const bool onAxis = (std::fabs(u) < 0.04f || std::fabs(v) < 0.04f) && r > 0.25f && r < 0.85f;
      const float mark = std::fmax(ring, onAxis ? 1.0f : 0.0f);
      red = Mix(red, 0.70f, mark);
      green = Mix(green, 1.00f, mark);
      blue = Mix(blue, 0.75f, mark);
      const float alpha = 1.0f - SmoothStep(0.96f, 1.0f, r);
      uint8_t* p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
      p[0] = static_cast<uint8_t>(std::lround(Clamp01(red) * 255));
      p[1] = static_cast<uint8_t>(std::lround(Clamp01(green) * 255));
      p[2] = static_cast<uint8_t>(std::lround(Clamp01(blue) * 255));
      p[3] = static_cast<uint8_t>(std::lround(alpha * 255));
    }
  }
  return rgba;
}

bool WriteIcon(const std::string& path, int size) {
  return WriteFileBytes(path, EncodePngRgba(DrawIcon(size), size, size));
}
