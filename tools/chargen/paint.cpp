// The atlas painter (regions painted through their surface points with a baked light),
// the shared loft shapes and the small colour helpers the figures use.
#include <algorithm>
#include <cmath>

#include "tools/chargen/figure.h"

int Part::Add(const Loft& loft, AtlasRect rect, PaintFn paint, const Xform& place) {
  regions.push_back({loft, place, rect, std::move(paint)});
  return static_cast<int>(regions.size()) - 1;
}

void Part::Attach(int region, int bone) { pieces.push_back({region, bone, regions[region].place}); }

void Part::Attach(int region, int bone, const Xform& place) {
  pieces.push_back({region, bone, place});
}

namespace {

// The light baked into the paint: from the front, a little from the left, mostly above,
// in bone space of the standing pose (all bones start upright, facing +X).
const Vec3 BakedLight = Normalize(Vec3(0.45f, 0.35f, 0.82f));

Vec3 Shade(Vec3 colour, Vec3 normal) {
  float diffuse = std::max(0.0f, Dot(normal, BakedLight));
  float sky = 0.5f + 0.5f * normal.z;
  float light = 0.40f + 0.52f * diffuse + 0.16f * sky;
  return Vec3(Clamp01(colour.x * light), Clamp01(colour.y * light), Clamp01(colour.z * light));
}

}  // namespace

Picture PaintAtlas(const Part& part) {
  const int size = part.atlasSize;
  Picture atlas(size, size, 0.3f, 0.3f, 0.3f);
  const int margin = 3;
  for (const Region& region : part.regions) {
    const AtlasRect& r = region.rect;
    for (int py = r.y - margin; py < r.y + r.h + margin; ++py) {
      for (int px = r.x - margin; px < r.x + r.w + margin; ++px) {
        if (px < 0 || py < 0 || px >= size || py >= size) continue;
        Vec3 sum;
        for (int sy = 0; sy < 2; ++sy) {
          for (int sx = 0; sx < 2; ++sx) {
            float u = Clamp01((px + 0.25f + 0.5f * sx - r.x) / r.w);
            float v = Clamp01((py + 0.25f + 0.5f * sy - r.y) / r.h);
            SurfacePoint p = LoftPointAt(region.loft, u, v);
            sum = sum + Shade(region.paint(p), region.place.Dir(p.normal));
          }
        }
        float* out = atlas.At(px, py);
        out[0] = sum.x * 0.25f;
        out[1] = sum.y * 0.25f;
        out[2] = sum.z * 0.25f;
      }
    }
  }
  return atlas;
}

Loft Blob(float z0, float z1, float rx, float ry, int sides, int rings, float cx, float cy) {
  Loft loft;
  loft.sides = sides;
  const float centre = 0.5f * (z0 + z1), half = 0.5f * (z1 - z0);
  for (int k = 0; k < rings; ++k) {
    float phi = -1.5707963f + 3.14159265f * k / (rings - 1);
    float c = k == 0 || k == rings - 1 ? 0.0f : std::cos(phi);
    loft.rings.push_back({centre + half * std::sin(phi), rx * c, ry * c, cx, cy});
  }
  return loft;
}

Loft Limb(float length, const std::vector<float>& radii, int sides, float depthScale) {
  Loft loft;
  loft.sides = sides;
  const int n = static_cast<int>(radii.size());
  const float bottomCap = radii.front() * 0.6f, topCap = radii.back() * 0.6f;
  loft.rings.push_back({-length - bottomCap, 0, 0});
  loft.rings.push_back({-length - bottomCap * 0.6f, radii.front() * 0.75f * depthScale,
                        radii.front() * 0.75f});
  for (int i = 0; i < n; ++i) {
    float z = -length + length * i / (n - 1);
    loft.rings.push_back({z, radii[i] * depthScale, radii[i]});
  }
  loft.rings.push_back({topCap * 0.6f, radii.back() * 0.75f * depthScale, radii.back() * 0.75f});
  loft.rings.push_back({topCap, 0, 0});
  return loft;
}

Xform AlongX() {
  Xform r;
  r.x = Vec3(0, 0, 1);
  r.y = Vec3(0, -1, 0);
  r.z = Vec3(1, 0, 0);
  return r;
}

float Grain(const SurfacePoint& p, float scale, uint32_t seed) {
  const int period = std::max(2, static_cast<int>(scale));
  return FractalNoise(p.u * period, p.v * scale, 3, period, seed);
}

Vec3 MixColour(Vec3 a, Vec3 b, float t) { return a + (b - a) * Clamp01(t); }

float Band(float value, float lo, float hi, float soft) {
  return SmoothStep(lo - soft, lo + soft, value) * (1.0f - SmoothStep(hi - soft, hi + soft, value));
}
