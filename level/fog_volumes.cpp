// Fog volumes: over every face seen this frame, the fog between the eye and each point is laid
// as a second coat, fog colour with an alpha of (units of the sight line inside the fog brush)
// / (the fog's distance), up to opaque, reckoned at the corners of pieces of FogCell units
// cut from the face. The eye inside a fog sees out through it alike. Faces the coat would
// not touch are left alone; the fog's own sides are never drawn (blended_faces.cpp).
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/game_state.h"
#include "core/level.h"
#include "level/draw_state.h"
#include "level/face_arrays.h"
#include "level/face_looks.h"
#include "level/fog_volumes.h"

namespace {

constexpr float FogCell = 16;   // level units: the size of the pieces the coat is reckoned on
constexpr int MaxFogCuts = 64;  // per triangle side
constexpr float FigureFogSpan = 100000;  // level units over which a figure's fog goes from none to all

}  // namespace

// The length of the segment from `eye` to `point` inside the convex brush (planes facing out).
float FogThickness(const Level& level, const BspBrush& brush, Vec3 eye, const float point[3]) {
  const float d[3] = {point[0] - eye.x, point[1] - eye.y, point[2] - eye.z};
  float enter = 0, exit = 1;
  for (int k = 0; k < brush.sideCount; ++k) {
    const BspPlane& plane = level.planes[level.brushSides[brush.firstSide + k].plane];
    const float* n = plane.normal;
    const float along = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
    const float room = plane.distance - (n[0] * eye.x + n[1] * eye.y + n[2] * eye.z);
    if (along == 0) {
      if (room < 0) return 0;  // parallel and outside
      continue;
    }
    const float t = room / along;
    if (along > 0)
      exit = std::min(exit, t);
    else
      enter = std::max(enter, t);
    if (enter >= exit) return 0;
  }
  return (exit - enter) * std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

float FogAlong(const Level& level, Vec3 eye, const float point[3], float rgb[3]) {
  float alpha = 0;
  rgb[0] = rgb[1] = rgb[2] = 0;
  for (const FogVolume& fog : level.fogs) {
    if (!(fog.distance > 0)) continue;
    const float thickness = FogThickness(level, level.brushes[fog.brush], eye, point);
    const float a = std::min(1.0f, thickness / fog.distance);
    if (a <= 0) continue;
    // Fogs one behind the other: the nearer one's share over what the farther leaves.
    for (int c = 0; c < 3; ++c) rgb[c] = rgb[c] * (1 - a) + fog.colour[c] * a;
    alpha = alpha + a * (1 - alpha);
  }
  return alpha;
}

bool FigureFog::Begin(const Level& level, Vec3 eye, Vec3 point) {
  float rgb[3];
  const float at[3] = {point.x, point.y, point.z};
  const float a = FogAlong(level, eye, at, rgb);
  if (!(a > 0)) return false;
  for (int c = 0; c < 3; ++c) rgb[c] /= a;  // the fogs' own colour, without their opacity
  wasOn_ = glIsEnabled(GL_FOG);
  glGetIntegerv(GL_FOG_MODE, &mode_);
  glGetFloatv(GL_FOG_DENSITY, &density_);
  glGetFloatv(GL_FOG_START, &start_);
  glGetFloatv(GL_FOG_END, &end_);
  glGetFloatv(GL_FOG_COLOR, colour_);
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  const float depth = std::max(0.0f, -(m[2] * point.x + m[6] * point.y + m[10] * point.z + m[14]));
  // The GL's own fog at the figure: what it keeps of the colour behind the fog volumes.
  float g = 1;
  if (wasOn_) {
    if (mode_ == GL_EXP) g = std::exp(-density_ * depth);
    if (mode_ == GL_EXP2) g = std::exp(-(density_ * depth) * (density_ * depth));
    if (mode_ == GL_LINEAR && end_ != start_) g = std::clamp((end_ - depth) / (end_ - start_), 0.0f, 1.0f);
  }
  const float keep = g * (1 - a);  // the figure's own share of its pixels
  float colour[4] = {0, 0, 0, 1};
  for (int c = 0; c < 3; ++c) colour[c] = keep < 1 ? (g * a * rgb[c] + (1 - g) * colour_[c]) / (1 - keep) : 0;
  // A linear fog whose factor is `keep` at the figure's depth and changes by a part in
  // FigureFogSpan per unit of depth: the same all over the figure.
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogf(GL_FOG_START, depth - (1 - keep) * FigureFogSpan);
  glFogf(GL_FOG_END, depth + keep * FigureFogSpan);
  glFogfv(GL_FOG_COLOR, colour);
  glEnable(GL_FOG);
  active_ = true;
  return true;
}

void FigureFog::End() {
  if (!active_) return;
  glFogi(GL_FOG_MODE, mode_);
  glFogf(GL_FOG_DENSITY, density_);
  glFogf(GL_FOG_START, start_);
  glFogf(GL_FOG_END, end_);
  glFogfv(GL_FOG_COLOR, colour_);
  if (!wasOn_) glDisable(GL_FOG);
  active_ = false;
}

void Level::DrawFogVolumes(Vec3 eye) {
  bool any = false;
  for (const FogVolume& fog : fogs) any = any || fog.distance > 0;
  if (!any || materials.size() != textures.size()) return;

  const bool offset = glIsEnabled(GL_POLYGON_OFFSET_FILL);
  SavedDrawState saved;
  saved.Save();
  const CurrentColour& colour = saved.colour;
  ActiveTextureUnit(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  ActiveTextureUnit(GL_TEXTURE0_ARB);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_FOG);
  glDepthMask(GL_FALSE);
  glDepthFunc(GL_LEQUAL);
  // The coat lies exactly on faces drawn before, by other paths: pulled a hair nearer.
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(-1, -1);
  FaceLooks looks;

  // Every face listed this frame that was drawn opaque (not set apart, nor moved by deforms).
  for (size_t word = 0; word < facesDrawn.size(); ++word) {
    for (uint32_t bits = facesDrawn[word]; bits != 0; bits &= bits - 1) {
      const int32_t f = static_cast<int32_t>(word * 32 + static_cast<size_t>(__builtin_ctz(bits)));
      const BspFace& face = faces[f];
      const SurfaceMaterial& material = materials[face.textureIndex];
      if (material.nodraw || material.sky || material.fog || material.blend != SurfaceBlend::Opaque) continue;
      if (material.staged >= 0 && (stagedMaterials[material.staged].blendedBase ||
                                   !stagedMaterials[material.staged].deforms.empty()))
        continue;
      const FaceGeometry& g = faceGeometry[f];
      // The face's triangles cut into pieces of about FogCell units, so the coat follows the
      // sight lines across large faces.
      stageVertices_.clear();
      stageIndices_.clear();
      for (uint32_t k = 0; k + 2 < g.indexCount; k += 3) {
        const float* p[3];
        for (int c = 0; c < 3; ++c) p[c] = vertices[g.firstVertex + faceIndices[g.firstIndex + k + c]].position;
        float longest = 0;
        for (int c = 0; c < 3; ++c) {
          const float* a = p[c];
          const float* b = p[(c + 1) % 3];
          longest = std::max(longest, std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                                                (a[2] - b[2]) * (a[2] - b[2])));
        }
        const int n = std::clamp(static_cast<int>(std::ceil(longest / FogCell)), 1, MaxFogCuts);
        const uint32_t first = static_cast<uint32_t>(stageVertices_.size());
        // Rows i = 0..n from corner 0 towards the edge 1-2, j = 0..i along each row.
        for (int i = 0; i <= n; ++i)
          for (int j = 0; j <= i; ++j) {
            const float a = 1.0f - static_cast<float>(i) / n, b = static_cast<float>(i - j) / n, c = static_cast<float>(j) / n;
            BspVertex v = {};
            for (int axis = 0; axis < 3; ++axis) v.position[axis] = a * p[0][axis] + b * p[1][axis] + c * p[2][axis];
            stageVertices_.push_back(v);
          }
        auto at = [first](int i, int j) { return first + static_cast<uint32_t>(i * (i + 1) / 2 + j); };
        for (int i = 0; i < n; ++i)
          for (int j = 0; j <= i; ++j) {
            stageIndices_.insert(stageIndices_.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            if (j < i) stageIndices_.insert(stageIndices_.end(), {at(i, j), at(i + 1, j + 1), at(i, j + 1)});
          }
      }
      bool touched = false;
      for (BspVertex& v : stageVertices_) {
        float rgb[3];
        const float alpha = FogAlong(*this, eye, v.position, rgb);
        touched = touched || alpha > 0;
        for (int c = 0; c < 3; ++c)
          v.color[c] = static_cast<uint8_t>(std::clamp(rgb[c] / std::max(alpha, 1e-6f) * colour.rgba[c], 0.0f, 1.0f) * 255 + 0.5f);
        v.color[3] = static_cast<uint8_t>(std::clamp(alpha, 0.0f, 1.0f) * 255 + 0.5f);
      }
      if (!touched) continue;
      PointFaceArrays(stageVertices_.data(), true);
      looks.Apply(LookOf(material) & ~uint8_t{3});
      glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(stageIndices_.size()), GL_UNSIGNED_INT, stageIndices_.data());
    }
  }
  looks.Restore();
  glPolygonOffset(0, 0);
  if (!offset) glDisable(GL_POLYGON_OFFSET_FILL);
  saved.Restore();
  PointFaceArrays(vertices.data(), false);
  LevelTextureUnits();
}
