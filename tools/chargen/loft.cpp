// Loft meshing, unwrapping and the inverse look-up used by the painters.
#include "tools/chargen/loft.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float Pi = 3.14159265358979f;

float SignedPow(float c, float e) { return c < 0 ? -std::pow(-c, e) : std::pow(c, e); }

// Corner angle of unwrap coordinate u: the back at u = 0 and 1, the front at u = 0.5,
// the right side (-Y) at u = 0.25 as when facing the figure.
float AngleOfU(const Loft& loft, float u) { return Pi + 2 * Pi * u + loft.angleOffset; }

Vec3 RingPoint(const Ring& r, float angle, float power) {
  float e = 2.0f / power;
  float c = std::cos(angle), s = std::sin(angle);
  return Vec3(r.cx + r.rx * SignedPow(c, e), r.cy + r.ry * SignedPow(s, e), r.z);
}

// Outline length from the first ring to each ring (using the mean radius), normalised.
std::vector<float> RingAlong(const Loft& loft) {
  std::vector<float> along(loft.rings.size(), 0.0f);
  for (size_t i = 1; i < loft.rings.size(); ++i) {
    const Ring& a = loft.rings[i - 1];
    const Ring& b = loft.rings[i];
    float dr = 0.5f * ((b.rx + b.ry) - (a.rx + a.ry));
    along[i] = along[i - 1] + std::sqrt(dr * dr + (b.z - a.z) * (b.z - a.z)) + 1e-4f;
  }
  for (float& a : along) a /= along.back();
  return along;
}

Ring MixRing(const Ring& a, const Ring& b, float t) {
  return {LerpF(a.z, b.z, t), LerpF(a.rx, b.rx, t), LerpF(a.ry, b.ry, t), LerpF(a.cx, b.cx, t),
          LerpF(a.cy, b.cy, t)};
}

Ring RingAt(const Loft& loft, const std::vector<float>& along, float v) {
  v = std::clamp(v, 0.0f, 1.0f);
  size_t i = 1;
  while (i + 1 < along.size() && along[i] < v) ++i;
  float span = along[i] - along[i - 1];
  float t = span > 0 ? (v - along[i - 1]) / span : 0.0f;
  return MixRing(loft.rings[i - 1], loft.rings[i], t);
}

}  // namespace

Piece BuildLoft(const Loft& loft, const Xform& place, int bone, AtlasRect rect, int atlasWidth,
                int atlasHeight) {
  Piece piece;
  piece.bone = bone;
  const int columns = loft.sides + 1;
  const std::vector<float> along = RingAlong(loft);
  for (size_t i = 0; i < loft.rings.size(); ++i) {
    for (int j = 0; j < columns; ++j) {
      float u = static_cast<float>(j) / loft.sides;
      piece.positions.push_back(place.Point(RingPoint(loft.rings[i], AngleOfU(loft, u), loft.power)));
      piece.texCoords.push_back((rect.x + u * rect.w) / atlasWidth);
      piece.texCoords.push_back((rect.y + along[i] * rect.h) / atlasHeight);
    }
  }
  auto isPole = [&](size_t i) { return loft.rings[i].rx == 0 && loft.rings[i].ry == 0; };
  for (size_t i = 0; i + 1 < loft.rings.size(); ++i) {
    for (int j = 0; j < loft.sides; ++j) {
      int a = static_cast<int>(i * columns + j), b = a + 1;
      int d = static_cast<int>((i + 1) * columns + j), c = d + 1;
      if (!isPole(i)) piece.triangles.insert(piece.triangles.end(), {a, b, c});
      if (!isPole(i + 1)) piece.triangles.insert(piece.triangles.end(), {a, c, d});
    }
  }
  return piece;
}

Loft BoxLoft(Vec3 lo, Vec3 hi) {
  Loft loft;
  loft.sides = 4;
  loft.power = 60;
  loft.angleOffset = Pi / 4;
  // The corners of a power-60 superellipse at 45 degrees sit at 0.989 of the half-extents.
  const float k = 1.0f / std::pow(std::sqrt(0.5f), 2.0f / loft.power);
  float rx = 0.5f * (hi.x - lo.x) * k, ry = 0.5f * (hi.y - lo.y) * k;
  float cx = 0.5f * (hi.x + lo.x), cy = 0.5f * (hi.y + lo.y);
  loft.rings = {{lo.z, 0, 0, cx, cy}, {lo.z, rx, ry, cx, cy}, {hi.z, rx, ry, cx, cy},
                {hi.z, 0, 0, cx, cy}};
  return loft;
}

SurfacePoint LoftPointAt(const Loft& loft, float u, float v) {
  const std::vector<float> along = RingAlong(loft);
  SurfacePoint p;
  p.u = u;
  p.v = v;
  p.along = std::clamp(v, 0.0f, 1.0f);
  float angle = AngleOfU(loft, u);
  Ring r = RingAt(loft, along, v);
  p.position = RingPoint(r, angle, loft.power);
  // Outward normal from the two surface directions (round and along).
  const float du = 0.002f, dv = 0.002f;
  Vec3 pu = RingPoint(RingAt(loft, along, v), AngleOfU(loft, u + du), loft.power) -
            RingPoint(RingAt(loft, along, v), AngleOfU(loft, u - du), loft.power);
  Vec3 pv = RingPoint(RingAt(loft, along, v + dv), angle, loft.power) -
            RingPoint(RingAt(loft, along, v - dv), angle, loft.power);
  Vec3 n = NormalizeOrZero(Cross(pu, pv));
  if (n == Vec3()) n = Vec3(0, 0, v < 0.5f ? -1.0f : 1.0f);
  p.normal = n;
  float a = std::atan2(std::sin(angle - loft.angleOffset), std::cos(angle - loft.angleOffset));
  p.angle = a;
  return p;
}
