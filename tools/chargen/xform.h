// Rigid placements for the character generator: three axis columns and an origin, with
// the rotations, composition and inverse that posing a skeleton needs. Angles in degrees.
#pragma once
#include <cmath>

#include "core/vec3.h"

struct Xform {
  Vec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};  // axis columns in the parent's space
  Vec3 origin;
  Vec3 Point(Vec3 p) const { return origin + x * p.x + y * p.y + z * p.z; }
  Vec3 Dir(Vec3 d) const { return x * d.x + y * d.y + z * d.z; }
};

constexpr float DegToRad = 3.14159265358979f / 180.0f;

// Child placement composed into the parent: (a * b).Point(p) == a.Point(b.Point(p)).
inline Xform operator*(const Xform& a, const Xform& b) {
  Xform r;
  r.x = a.Dir(b.x);
  r.y = a.Dir(b.y);
  r.z = a.Dir(b.z);
  r.origin = a.Point(b.origin);
  return r;
}

// Inverse of a rotation plus translation (the axes must be orthonormal).
inline Xform Inverse(const Xform& a) {
  Xform r;
  r.x = Vec3(a.x.x, a.y.x, a.z.x);
  r.y = Vec3(a.x.y, a.y.y, a.z.y);
  r.z = Vec3(a.x.z, a.y.z, a.z.z);
  r.origin = r.Dir(a.origin) * -1.0f;
  return r;
}

inline Xform Translate(Vec3 t) {
  Xform r;
  r.origin = t;
  return r;
}
// Right-handed rotations about the local axes.
inline Xform RotX(float deg) {
  float c = std::cos(deg * DegToRad), s = std::sin(deg * DegToRad);
  Xform r;
  r.y = Vec3(0, c, s);
  r.z = Vec3(0, -s, c);
  return r;
}
inline Xform RotY(float deg) {
  float c = std::cos(deg * DegToRad), s = std::sin(deg * DegToRad);
  Xform r;
  r.x = Vec3(c, 0, -s);
  r.z = Vec3(s, 0, c);
  return r;
}
inline Xform RotZ(float deg) {
  float c = std::cos(deg * DegToRad), s = std::sin(deg * DegToRad);
  Xform r;
  r.x = Vec3(c, s, 0);
  r.y = Vec3(-s, c, 0);
  return r;
}
// Scales the axes (a non-rigid placement, for vertices only, never for tags).
inline Xform Scaled(const Xform& a, float sx, float sy, float sz) {
  Xform r = a;
  r.x = a.x * sx;
  r.y = a.y * sy;
  r.z = a.z * sz;
  return r;
}

// A placement at `origin` whose +Z runs along `along` and whose +X leans toward `xHint`.
inline Xform AlongAxis(Vec3 origin, Vec3 along, Vec3 xHint) {
  Xform r;
  r.origin = origin;
  r.z = NormalizeOrZero(along);
  Vec3 x = xHint - r.z * Dot(xHint, r.z);
  if (Magnitude(x) < 1e-4f) {
    Vec3 other = std::fabs(r.z.x) < 0.9f ? Vec3(1, 0, 0) : Vec3(0, 1, 0);
    x = other - r.z * Dot(other, r.z);
  }
  r.x = Normalize(x);
  r.y = Cross(r.z, r.x);
  return r;
}

inline Vec3 Lerp(Vec3 a, Vec3 b, float t) { return a + (b - a) * t; }
inline float LerpF(float a, float b, float t) { return a + (b - a) * t; }
