// Cloud skies: the stages of the sky's entry drawn on a dome around the eye, behind
// everything. The dome is a sphere of DomeRadius whose top lies the cloud height above the
// eye; a direction's texture coordinates are where it meets the sphere, one repeat every
// CloudRepeat units across, moved by the stages' tcMods. It is drawn first, at the far end
// of the depth range and only where nothing has been drawn yet (bots drawn before the level
// stay in front), without writing depth; the sky faces then only write their depth
// (sky.cpp), so what lies behind them stays hidden and what stands in front stays in front.
// A sky box, when the entry also has one, is drawn on the dome under the clouds.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/game_state.h"
#include "core/level.h"
#include "level/face_arrays.h"
#include "level/stage_draw.h"

namespace {

constexpr float DomeRadius = 4096;    // level units
constexpr float CloudRepeat = 1024;   // level units of cloud per repeat of the picture
constexpr float DrawnRadius = 100;    // where the dome is drawn (its depth is pinned to the far end)
constexpr int DomeRings = 16, DomeSegments = 32;
constexpr double Pi = 3.14159265358979323846;

// The dome's vertices around the eye (y up) with their cloud coordinates, and its triangles.
void BuildDome(Vec3 eye, float height, std::vector<BspVertex>* vertices, std::vector<uint32_t>* indices) {
  vertices->clear();
  indices->clear();
  const double centreBelow = DomeRadius - std::min(height, DomeRadius - 1);  // eye above the centre
  for (int r = 0; r <= DomeRings; ++r) {
    const double elevation = Pi / 2 - Pi * r / DomeRings;  // from straight up to straight down
    for (int g = 0; g <= DomeSegments; ++g) {
      const double azimuth = 2 * Pi * g / DomeSegments;
      // Direction in the file's axes (z up).
      const double d[3] = {std::cos(elevation) * std::cos(azimuth), std::cos(elevation) * std::sin(azimuth),
                           std::sin(elevation)};
      // Where the ray from the eye meets the sphere: the eye lies centreBelow above its centre.
      const double b = centreBelow * d[2];
      const double t = -b + std::sqrt(b * b - (centreBelow * centreBelow - double(DomeRadius) * DomeRadius));
      BspVertex v{};
      v.position[0] = eye.x + static_cast<float>(d[0] * DrawnRadius);
      v.position[1] = eye.y + static_cast<float>(d[2] * DrawnRadius);
      v.position[2] = eye.z - static_cast<float>(d[1] * DrawnRadius);
      v.texCoord[0] = static_cast<float>(d[0] * t / CloudRepeat);
      v.texCoord[1] = -static_cast<float>(d[1] * t / CloudRepeat);  // stored turned over, as the level's
      std::fill(v.color, v.color + 4, uint8_t{255});
      vertices->push_back(v);
    }
  }
  for (int r = 0; r < DomeRings; ++r)
    for (int g = 0; g < DomeSegments; ++g) {
      const uint32_t a = static_cast<uint32_t>(r * (DomeSegments + 1) + g), b = a + DomeSegments + 1;
      indices->insert(indices->end(), {a, b, a + 1, a + 1, b, b + 1});
    }
}

}  // namespace

void Level::DrawCloudDome(Vec3 eye) {
  const StagedMaterial& sky = stagedMaterials[static_cast<size_t>(clouds.staged)];
  std::vector<BspVertex> dome;
  BuildDome(eye, clouds.height, &dome, &stageIndices_);

  StagePasses gl;  // puts back what the dome changes
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  glDepthRange(1, 1);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_FALSE);
  PointFaceArrays(dome.data(), false);

  // Under the clouds: the box, or the flat colour where the first cloud stage blends.
  if (skyCube != 0 || sky.blendedBase) {
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    DrawSkyBackdrop(eye, stageIndices_);
    glEnable(GL_TEXTURE_2D);
  }

  // The cloud stages, one over the other (the dome has no depth to compare: each layer is
  // drawn where the one under it was).
  const float white[4] = {1, 1, 1, 1};
  StageInputs in;
  in.originals = dome.data();
  in.indices = stageIndices_.data();
  in.indexCount = static_cast<uint32_t>(stageIndices_.size());
  in.lightmap = in.white = whiteTexture_;
  in.seconds = gGame.surfaceSeconds;
  in.tint = white;  // the sky keeps its colours, in night vision too
  in.firstDepth = in.laterDepth = GL_LEQUAL;
  in.writeDepth = false;
  stageVertices_ = dome;
  PassLimits limits = gl.Limits(white, false);
  if (!foldedStages) limits.units = 1;
  DrawStages(sky, in, limits, &stageVertices_, &stageCoords_, &gl);
  gl.Finish();
  glDepthRange(0, 1);
  PointFaceArrays(vertices.data(), false);
}
