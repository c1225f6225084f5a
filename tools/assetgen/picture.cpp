// Picture storage, downsampling, the bitmap encoder and lattice noise.
#include "tools/assetgen/picture.h"

#include <cmath>
#include <cstdio>

Picture::Picture(int w, int h, float r, float g, float b)
    : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3) {
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = r;
    rgb[i + 1] = g;
    rgb[i + 2] = b;
  }
}

Picture Downsample(const Picture& big, int factor) {
  Picture small(big.width / factor, big.height / factor);
  float scale = 1.0f / (factor * factor);
  for (int y = 0; y < small.height; ++y) {
    for (int x = 0; x < small.width; ++x) {
      float sum[3] = {0, 0, 0};
      for (int sy = 0; sy < factor; ++sy) {
        for (int sx = 0; sx < factor; ++sx) {
          const float* p = big.At(x * factor + sx, y * factor + sy);
          sum[0] += p[0];
          sum[1] += p[1];
          sum[2] += p[2];
        }
      }
      float* q = small.At(x, y);
      for (int c = 0; c < 3; ++c) q[c] = sum[c] * scale;
    }
  }
  return small;
}

static void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
static void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::vector<uint8_t> EncodeBmp24(const Picture& picture) {
  const uint32_t rowBytes = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * picture.height;
  const uint32_t dataOffset = 14 + 40;
  std::vector<uint8_t> out;
  out.reserve(dataOffset + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, dataOffset + imageBytes);  // file size
  Put32(out, 0);                        // reserved
  Put32(out, dataOffset);               // offset of the pixel data
  Put32(out, 40);                       // info header size
  Put32(out, picture.width);
  Put32(out, picture.height);  // positive: bottom-up
  Put16(out, 1);               // planes
  Put16(out, 24);              // bits per pixel
  Put32(out, 0);               // uncompressed
  Put32(out, imageBytes);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);  // colours used
  Put32(out, 0);  // colours important
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const float* p = picture.At(x, y);
      for (int c = 2; c >= 0; --c) {  // stored B, G, R
        out.push_back(static_cast<uint8_t>(std::lround(Clamp01(p[c]) * 255.0f)));
      }
    }
    for (uint32_t pad = picture.width * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::fprintf(stderr, "assetgen: short write to %s\n", path.c_str());
  return ok;
}

static float LatticeValue(int x, int y, int period, uint32_t seed) {
  x = ((x % period) + period) % period;
  y = ((y % period) + period) % period;
  uint32_t h = seed ^ (static_cast<uint32_t>(x) * 0x8DA6B343u) ^ (static_cast<uint32_t>(y) * 0xD8163841u);
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return (h & 0xFFFFFF) * (1.0f / 16777215.0f);
}

float ValueNoise(float x, float y, int period, uint32_t seed) {
  int x0 = static_cast<int>(std::floor(x));
  int y0 = static_cast<int>(std::floor(y));
  float fx = x - x0, fy = y - y0;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  float a = LatticeValue(x0, y0, period, seed), b = LatticeValue(x0 + 1, y0, period, seed);
  float c = LatticeValue(x0, y0 + 1, period, seed), d = LatticeValue(x0 + 1, y0 + 1, period, seed);
  return Mix(Mix(a, b, fx), Mix(c, d, fx), fy);
}

float FractalNoise(float x, float y, int octaves, int period, uint32_t seed) {
  float sum = 0, amplitude = 0.5f, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += ValueNoise(x, y, period, seed + i * 7919u) * amplitude;
    norm += amplitude;
    amplitude *= 0.5f;
    x *= 2;
    y *= 2;
    period *= 2;
  }
  return sum / norm;
}
