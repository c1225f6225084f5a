// Leaving out, before they are sorted and batched, the faces of the visible leaves that give no
// pixel: those whose box lies wholly outside the view, those whose every triangle faces the
// side the GL culls, and those wholly beyond the depth where black fog leaves nothing
// (fog_depth.cpp). The GL would clip or cull the first two anyway; leaving them out spares the
// game thread their copying and vertex work, and spares a draw call each for faces reaching
// outside the view (which are drawn on their own). Every test keeps a margin, so a face the GL
// would draw a pixel of is never left out: the picture is the same.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/game_state.h"
#include "core/level.h"
#include "level/face_looks.h"

namespace {

// How the GL culls this frame, for the plain look and for a material seen from behind: the
// side of a triangle's plane (as its corners turn: +1 the side its normal a->b x a->c points
// to, -1 the other) from which it is culled, 0 none.
struct CulledSides {
  int plain = 0, backSided = 0;
};

CulledSides ReadCulledSides(const float modelView[16]) {
  CulledSides sides;
  if (!glIsEnabled(GL_CULL_FACE)) return sides;
  GLint mode = GL_BACK, front = GL_CCW;
  glGetIntegerv(GL_CULL_FACE_MODE, &mode);
  glGetIntegerv(GL_FRONT_FACE, &front);
  if (mode != GL_FRONT && mode != GL_BACK) return sides;
  // Turning counter-clockwise on screen is being seen from the normal's side only under a
  // perspective that does not mirror, after a model-view that does not either.
  float projection[16] = {};
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  const float* m = modelView;
  const float determinant = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[4] * (m[1] * m[10] - m[2] * m[9]) +
                            m[8] * (m[1] * m[6] - m[2] * m[5]);
  if (!(projection[0] > 0 && projection[5] > 0 && projection[11] == -1 && projection[3] == 0 &&
        projection[7] == 0 && projection[15] == 0 && determinant > 0))
    return sides;
  // The GL culls its front (counter-clockwise unless said otherwise) or its back.
  const int frontSide = front == GL_CCW ? 1 : -1;
  sides.plain = mode == GL_FRONT ? frontSide : -frontSide;
  sides.backSided = -sides.plain;
  return sides;
}

// The eye in the coordinates the model-view matrix takes from: where it maps to the origin.
bool EyeOf(const float m[16], float eye[3]) {
  const float a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
  const float determinant = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  if (!(std::fabs(determinant) > 1e-12f)) return false;
  const float t[3] = {-m[12], -m[13], -m[14]};
  // Cramer's rule on M x = t.
  eye[0] = (t[0] * (e * i - f * h) - b * (t[1] * i - f * t[2]) + c * (t[1] * h - e * t[2])) / determinant;
  eye[1] = (a * (t[1] * i - f * t[2]) - t[0] * (d * i - f * g) + c * (d * t[2] - t[1] * g)) / determinant;
  eye[2] = (a * (e * t[2] - t[1] * h) - b * (d * t[2] - t[1] * g) + t[0] * (d * h - e * g)) / determinant;
  return true;
}

// Whether the eye sees every triangle clearly from the side `culled` of its plane: further
// from each plane than a thousandth of its distance from the triangle, so rounding in the GL
// cannot turn a triangle round. A triangle without area keeps the face.
bool EveryTriangleFrom(const BspVertex* v, const uint32_t* indices, uint32_t indexCount, const float eye[3],
                       int culled) {
  for (uint32_t k = 0; k + 2 < indexCount; k += 3) {
    const float* a = v[indices[k]].position;
    const float* b = v[indices[k + 1]].position;
    const float* c = v[indices[k + 2]].position;
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0)) return false;
    const float e[3] = {eye[0] - a[0], eye[1] - a[1], eye[2] - a[2]};
    const float side = culled * (n[0] * e[0] + n[1] * e[1] + n[2] * e[2]) / length;
    const float reach = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
    if (!(side > 1e-3f * reach + 1e-2f)) return false;
  }
  return true;
}

}  // namespace

void Level::CullVisibleFaces(float fogDepth) {
  const bool fogged = fogDepth < std::numeric_limits<float>::infinity();
  if (!cullFacesApart && !fogged) return;
  float modelView[16] = {};
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  CulledSides sides;
  float eye[3] = {0, 0, 0};
  if (cullFacesApart && EyeOf(modelView, eye)) sides = ReadCulledSides(modelView);
  size_t kept = 0;
  for (int32_t f : visibleFaces_) {
    const FaceGeometry& face = faceGeometry[f];
    if (cullFacesApart) {
      const BspVertex* v = &vertices[face.firstVertex];
      float mins[3] = {v[0].position[0], v[0].position[1], v[0].position[2]};
      float maxs[3] = {mins[0], mins[1], mins[2]};
      for (int k = 1; k < face.vertexCount; ++k)
        for (int a = 0; a < 3; ++a) {
          mins[a] = std::min(mins[a], v[k].position[a]);
          maxs[a] = std::max(maxs[a], v[k].position[a]);
        }
      // A unit's margin: the frustum's planes are rounded, and a face lying along one may
      // still light a row of pixels.
      if (!gGame.frustum.BoxInFrustum(mins[0] - 1, mins[1] - 1, mins[2] - 1, maxs[0] + 1, maxs[1] + 1, maxs[2] + 1)) {
        ++facesCulledLastFrame;
        continue;
      }
      const uint8_t look = FaceLookOf(*this, faces[f]);
      const int culled = look & TwoSidedLook ? 0 : look & BackSidedLook ? sides.backSided : sides.plain;
      if (culled != 0 && EveryTriangleFrom(v, &faceIndices[face.firstIndex], face.indexCount, eye, culled)) {
        ++facesCulledLastFrame;
        continue;
      }
    }
    if (fogged && WhollyBeyond(face, modelView, fogDepth)) {
      ++facesFoggedLastFrame;
      continue;
    }
    visibleFaces_[kept++] = f;
  }
  visibleFaces_.resize(kept);
}
