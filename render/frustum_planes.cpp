// The view frustum: six planes taken from the combined projection and model-view matrix,
// and the point, sphere, cube and box tests the level renderer culls leaves with.
#include "core/frustum.h"

#include <GL/gl.h>

#include <cmath>

namespace {

// A corner counts as inside only when strictly in front of the plane.
bool AnyCornerInside(const float p[4], float x0, float y0, float z0, float x1, float y1, float z1) {
  const float xs[2] = {x0, x1};
  const float ys[2] = {y0, y1};
  const float zs[2] = {z0, z1};
  for (float z : zs) {
    for (float y : ys) {
      for (float x : xs) {
        if (p[0] * x + p[1] * y + p[2] * z + p[3] > 0) return true;
      }
    }
  }
  return false;
}

}  // namespace

void Frustum::CalculateFrustum() {
  float projection[16];
  float modelView[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  CalculateFromMatrices(projection, modelView);
}

void Frustum::CalculateFromMatrices(const float projection[16], const float modelView[16]) {
  const float* p = projection;
  const float* m = modelView;
  float k[16];
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      k[4 * i + j] = m[4 * i + 0] * p[j] + m[4 * i + 1] * p[4 + j] + m[4 * i + 2] * p[8 + j] +
                     m[4 * i + 3] * p[12 + j];
    }
  }
  // Row r of the clip matrix is (k[r], k[4 + r], k[8 + r], k[12 + r]).
  struct Combo {
    int row;
    float sign;
  };
  const Combo combos[6] = {{0, -1}, {0, 1}, {1, 1}, {1, -1}, {2, -1}, {2, 1}};  // right ... near
  for (int side = 0; side < 6; ++side) {
    float* plane = planes[side];
    for (int c = 0; c < 4; ++c) plane[c] = k[4 * c + 3] + combos[side].sign * k[4 * c + combos[side].row];
    const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
    for (int c = 0; c < 4; ++c) plane[c] /= length;
  }
}

bool Frustum::PointInFrustum(float x, float y, float z) const {
  for (const auto& p : planes) {
    if (p[0] * x + p[1] * y + p[2] * z + p[3] <= 0) return false;
  }
  return true;
}

bool Frustum::SphereInFrustum(float x, float y, float z, float radius) const {
  for (const auto& p : planes) {
    if (p[0] * x + p[1] * y + p[2] * z + p[3] <= -radius) return false;
  }
  return true;
}

bool Frustum::CubeInFrustum(float x, float y, float z, float size) const {
  for (const auto& p : planes) {
    if (!AnyCornerInside(p, x - size, y - size, z - size, x + size, y + size, z + size)) return false;
  }
  return true;
}

bool Frustum::BoxInFrustum(float minX, float minY, float minZ, float maxX, float maxY, float maxZ) const {
  for (const auto& p : planes) {
    if (!AnyCornerInside(p, minX, minY, minZ, maxX, maxY, maxZ)) return false;
  }
  return true;
}
