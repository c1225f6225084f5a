// Radial glows, a star flare and a smoke puff, each a function of the position in the
// square (-1 .. 1 on both axes), averaged over 4 x 4 samples per pixel.
#include "tools/assetgen/effect_pictures.h"

#include <cmath>
#include <functional>

#include "core/vec3.h"
#include "tools/assetgen/picture.h"

namespace {

using Shader = std::function<Vec3(float x, float y)>;

// 1 in the middle, falling smoothly to exactly 0 before the edge of the square.
float Window(float r) { return 1.0f - SmoothStep(0.70f, 0.97f, r); }

float Gauss(float r, float width) { return std::exp(-(r * r) / (width * width)); }

Picture Paint(const Shader& shader) {
  Picture p(EffectSize, EffectSize);
  const int n = 4;
  for (int y = 0; y < EffectSize; ++y) {
    for (int x = 0; x < EffectSize; ++x) {
      Vec3 sum;
      for (int sy = 0; sy < n; ++sy) {
        for (int sx = 0; sx < n; ++sx) {
          float u = ((x + (sx + 0.5f) / n) / EffectSize) * 2 - 1;
          float v = ((y + (sy + 0.5f) / n) / EffectSize) * 2 - 1;
          float w = Window(std::sqrt(u * u + v * v));
          sum = sum + shader(u, v) * w;
        }
      }
      float* out = p.At(x, y);
      out[0] = Clamp01(sum.x / (n * n));
      out[1] = Clamp01(sum.y / (n * n));
      out[2] = Clamp01(sum.z / (n * n));
    }
  }
  return p;
}

// A white-hot core in a wide orange halo: the grenade in flight.
Vec3 GrenadeGlow(float x, float y) {
  float r = std::sqrt(x * x + y * y);
  float core = Gauss(r, 0.16f) * 1.4f, halo = Gauss(r, 0.45f) * 0.85f;
  return Vec3(1.0f, 0.95f, 0.85f) * core + Vec3(1.0f, 0.55f, 0.15f) * halo;
}

// A blue-white ball with a faint ring.
Vec3 PlasmaGlow(float x, float y) {
  float r = std::sqrt(x * x + y * y);
  float core = Gauss(r, 0.2f) * 1.2f, ring = Gauss(r - 0.5f, 0.08f) * 0.35f, halo = Gauss(r, 0.5f) * 0.4f;
  return Vec3(0.85f, 0.95f, 1.0f) * core + Vec3(0.3f, 0.55f, 1.0f) * (ring + halo);
}

// A small, tight, hot point: a rifle shot.
Vec3 ShotGlow(float x, float y) {
  float r = std::sqrt(x * x + y * y);
  float core = Gauss(r, 0.09f) * 1.6f, halo = Gauss(r, 0.28f) * 0.55f;
  return Vec3(1.0f, 1.0f, 0.9f) * core + Vec3(1.0f, 0.8f, 0.45f) * halo;
}

// A four-pointed flare star.
Vec3 StarFlare(float x, float y) {
  float r = std::sqrt(x * x + y * y);
  float streaks = std::exp(-std::fabs(y) / 0.025f) * Gauss(x, 0.6f) + std::exp(-std::fabs(x) / 0.025f) * Gauss(y, 0.6f);
  float core = Gauss(r, 0.12f) * 1.2f;
  return Vec3(1.0f, 0.97f, 0.9f) * (core + streaks * 0.8f) + Vec3(0.9f, 0.7f, 0.4f) * Gauss(r, 0.35f) * 0.3f;
}

// A soft round spark, nearly white so the particle's own colour shows.
Vec3 SoftSpark(float x, float y) {
  float r = std::sqrt(x * x + y * y);
  float v = Gauss(r, 0.38f) * 0.9f + Gauss(r, 0.12f) * 0.3f;
  return Vec3(1.0f, 0.98f, 0.95f) * v;
}

// A wispy, uneven puff: warped fractal noise under a soft round falloff.
Vec3 SmokePuff(float x, float y) {
  float r = std::sqrt(x * x + y * y);
  float px = (x + 1) * 2, py = (y + 1) * 2;
  float wx = FractalNoise(px + 3.1f, py, 3, 16, 71u), wy = FractalNoise(px, py + 5.7f, 3, 16, 113u);
  float n = FractalNoise(px + wx * 1.6f, py + wy * 1.6f, 4, 16, 29u);
  // A soft round body broken up by the noise into brighter wisps and holes.
  float body = Gauss(r, 0.48f);
  float v = body * (0.25f + 0.9f * SmoothStep(0.3f, 0.72f, n));
  return Vec3(0.62f, 0.63f, 0.66f) * v;
}

}  // namespace

bool WriteEffectPictures(const std::string& dir) {
  struct Item {
    const char* name;
    Shader shader;
  } items[] = {{"P1.bmp", GrenadeGlow}, {"P2.bmp", PlasmaGlow}, {"P3.bmp", ShotGlow},
               {"P4.bmp", StarFlare},   {"P5.bmp", SoftSpark},  {"P7.bmp", SmokePuff}};
  bool ok = true;
  for (const Item& item : items) ok = WriteFileBytes(dir + "/" + item.name, EncodeBmp24(Paint(item.shader))) && ok;
  return ok;
}
