// Vec3: three floats, the world's y-up level units. The operations the camera,
// the physics and the tracer share.
#pragma once
#include <cmath>

struct Vec3 {
  float x = 0, y = 0, z = 0;
  Vec3() = default;
  Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 v, float s) { return {v.x * s, v.y * s, v.z * s}; }
inline Vec3 operator/(Vec3 v, float s) { return {v.x / s, v.y / s, v.z / s}; }
inline bool operator==(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(Vec3 a, Vec3 b) { return !(a == b); }

inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Magnitude(Vec3 v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
// NOTE: a zero vector gives NaNs, as the camera math expects; use NormalizeOrZero where
// a zero vector can occur.
inline Vec3 Normalize(Vec3 v) { return v / Magnitude(v); }
inline Vec3 NormalizeOrZero(Vec3 v) {
  float m = Magnitude(v);
  return m == 0.0f ? Vec3() : v / m;
}
